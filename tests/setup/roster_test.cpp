#include "setup/Roster.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Error.h"
#include "common/TableFile.h"
#include "setup/ExamTables.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

constexpr int kClassColumn = 1;
constexpr int kNumberColumn = 2;

struct Person {
  std::string classId, number, name;
  bool operator==(const Person&) const = default;
};

std::vector<Person> Rows(const DataTable& roster) {
  std::vector<Person> out;
  for (int r = 1; r <= roster.RecordCount(); ++r) {
    out.push_back({roster.ValueAt(r, "ClassID").AsString(), roster.ValueAt(r, "TestNo").AsString(),
                   roster.ValueAt(r, "Name").AsString()});
  }
  return out;
}

DataTable RosterOf(const std::vector<Person>& people) {
  DataTable t = MakeRosterTable();
  for (const Person& p : people) {
    t.Append();
    t.SetString("ClassID", p.classId);
    t.SetString("TestNo", p.number);
    t.SetString("Name", p.name);
    t.Post();
  }
  return t;
}

TEST(PasteRoster, SplitsCellsAtTabsDroppingEmptyOnes) {
  struct Case {
    const char* line;
    std::vector<std::string> cells;
  };
  const Case cases[] = {
      {"0815\t张三", {"0815", "张三"}},
      {"0815\t\t张三", {"0815", "张三"}},
      {"  0815\t  张三 ", {"0815", "张三 "}},
      {"\"a\tb\"\tc", {"a\tb", "c"}},
      {"\"say \"\"hi\"\"\"\tx", {"say \"hi\"", "x"}},
      {"\"\"\t\"open", {"open"}},
      {"\t\t", {}},
      {"", {}},
      {"张 三", {"张 三"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitPastedLine(c.line), c.cells) << c.line;
}

TEST(PasteRoster, FillsFromTheClickedColumnAndAppendsAsNeeded) {
  DataTable roster = MakeRosterTable();
  ScriptedPrompt prompt;
  ASSERT_TRUE(PasteRoster(roster, "\r\n0815\t张三\r\n0816\t李四\t多余\n0817\t\t王五\r\n\r\n",
                          kNumberColumn, prompt));
  EXPECT_EQ(Rows(roster), (std::vector<Person>{
                              {"", "0815", "张三"}, {"", "0816", "李四"}, {"", "0817", "王五"}}));
  EXPECT_TRUE(roster.ValueAt(1, "ClassID").IsNull());
  EXPECT_EQ(roster.ValueAt(3, "ID").AsInteger(), 3);

  // From row 2 on: rows 2 and 3 are overwritten, the fourth line appends.
  roster.MoveTo(2);
  ASSERT_TRUE(PasteRoster(roster, "1班\tA2\n1班\tA3\n2班\tA4\tN4", kClassColumn, prompt));
  EXPECT_EQ(Rows(roster), (std::vector<Person>{{"", "0815", "张三"},
                                               {"1班", "A2", "李四"},
                                               {"1班", "A3", "王五"},
                                               {"2班", "A4", "N4"}}));

  // Nothing clicked, or the number column: the first text field.
  roster.MoveTo(4);
  ASSERT_TRUE(PasteRoster(roster, "3班", 0, prompt));
  EXPECT_EQ(roster.ValueAt(4, "ClassID").AsString(), "3班");
  EXPECT_TRUE(prompt.Asked.empty());
}

TEST(PasteRoster, NoTextOnTheClipboardChangesNothing) {
  DataTable roster = RosterOf({{"", "1", "a"}});
  ScriptedPrompt prompt;
  EXPECT_FALSE(PasteRoster(roster, std::nullopt, kNumberColumn, prompt));
  ASSERT_EQ(prompt.Asked.size(), 1u);
  EXPECT_EQ(prompt.Asked[0].Text, "无效数据！");
  EXPECT_EQ(Rows(roster), (std::vector<Person>{{"", "1", "a"}}));
}

TEST(Roster, CutToLastTwoKeepsTheLastTwoCharacters) {
  struct Case {
    const char* number;
    const char* cut;
  };
  const Case cases[] = {{"0815", "15"},     {"7", "7"}, {" 0815 ", "15"},
                        {"张三丰", "三丰"}, {"", ""},   {"12", "12"}};
  std::vector<Person> people;
  for (const Case& c : cases) people.push_back({"", c.number, "n"});
  DataTable roster = RosterOf(people);
  roster.SetActiveIndex("TestNo");  // editing numbers reorders this index
  CutToLastTwo(roster);
  roster.SetActiveIndex("ID");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(roster.ValueAt(static_cast<int>(i) + 1, "TestNo").AsString(), cases[i].cut)
        << cases[i].number;
  }
}

TEST(Roster, LookupsAreTrimmedAndTheFirstOfADuplicateWins) {
  DataTable roster =
      RosterOf({{"", " 0815 ", " 张三 "}, {"", "0003", "李四"}, {"", "0815", "王五"}});
  roster.SetActiveIndex("TestNo");
  NameValueList names, rows;
  rows.Add("stale", "9");
  BuildRosterLookups(roster, names, rows);
  // In the order of the active index (" 0815 " sorts first), trimmed.
  using Lines = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(names.Lines(), (Lines{{"0815", "张三"}, {"0003", "李四"}, {"0815", "王五"}}));
  EXPECT_EQ(names.Value("0815"), "张三");
  EXPECT_EQ(names.Value("9999"), "");
  EXPECT_EQ(rows.Value("0815"), "-1");
  EXPECT_FALSE(rows.Find("stale").has_value());

  rows.SetValue("0815", "4");
  rows.SetValue("1234", "5");
  EXPECT_EQ(rows.Value("0815"), "4");
  EXPECT_EQ(rows.Count(), 4u);
}

TEST(Roster, FilesGetTheirExtensionAndRoundTrip) {
  TempFolder dir;
  DataTable roster = RosterOf({{"1班", "0815", "张三"}, {"", "0816", "李四"}});
  roster.MoveTo(1);
  roster.Delete();
  const std::filesystem::path file = SaveRoster(roster, dir / "三年级");
  EXPECT_EQ(file, dir / "三年级.名册");
  EXPECT_EQ(SaveRoster(roster, dir / "x.tbl"), dir / "x.tbl");

  DataTable loaded = MakeRosterTable();
  LoadRoster(loaded, file);
  EXPECT_EQ(Rows(loaded), (std::vector<Person>{{"", "0816", "李四"}}));
  EXPECT_EQ(loaded.ValueAt(1, "ID").AsInteger(), 2);
  loaded.Append();
  loaded.Post();
  EXPECT_EQ(loaded.AsInteger("ID"), 3);  // numbering goes on after the file's rows

  DataTable key = MakeAnswerTable();
  EXPECT_THROW(LoadTableFile(key, file), FileError);
}

}  // namespace
}  // namespace kestrelo
