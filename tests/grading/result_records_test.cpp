#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/DecimalText.h"
#include "grading/ResultRecords.h"
#include "grading/Scoring.h"
#include "setup/Roster.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/setup/ExamFixture.h"

namespace kestrelo {
namespace {

std::vector<std::string> FieldNames(const DataTable& t) {
  std::vector<std::string> out;
  for (const FieldDef& f : t.Fields()) out.push_back(f.Name);
  return out;
}

TEST(BuildResultsTable, HasFixedTypeAndQuestionFields) {
  DataTable dsDB = MakeResultsTable();
  ScriptedPrompt prompt;
  BuildResultsTable(dsDB, {"判断题", "单选题", "多选题"}, 45, prompt);
  EXPECT_TRUE(prompt.Asked.empty());
  const std::vector<std::string> names = FieldNames(dsDB);
  ASSERT_EQ(names.size(), 53u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 9),
            (std::vector<std::string>{"序号", "状态", "考号", "姓名", "得分", "判断题", "单选题",
                                      "多选题", "1"}));
  EXPECT_EQ(names.back(), "45");

  struct Expect {
    int field;
    FieldType type;
    int size;
    int width;
  };
  const Expect expects[] = {{0, FieldType::AutoInc, 0, 28}, {1, FieldType::String, 80, 50},
                            {2, FieldType::String, 10, 50}, {4, FieldType::String, 10, 30},
                            {5, FieldType::String, 10, 50}, {8, FieldType::String, 10, 40}};
  for (const Expect& e : expects) {
    EXPECT_EQ(dsDB.Field(e.field).Type, e.type) << e.field;
    EXPECT_EQ(dsDB.Field(e.field).Size, e.size) << e.field;
    EXPECT_EQ(dsDB.Field(e.field).DisplayWidth, e.width) << e.field;
  }
  EXPECT_TRUE(dsDB.Active());
  EXPECT_EQ(dsDB.RecordCount(), 0);

  BuildResultsTable(dsDB, {}, 0, prompt);
  EXPECT_EQ(FieldNames(dsDB), (std::vector<std::string>{"序号", "状态", "考号", "姓名", "得分"}));
}

TEST(BuildResultsTable, ARepeatedTypeNameIsReportedAndLeftOut) {
  DataTable dsDB = MakeResultsTable();
  ScriptedPrompt prompt;
  BuildResultsTable(dsDB, {"单选题", "判断题", "单选题", "得分"}, 2, prompt);
  EXPECT_EQ(FieldNames(dsDB), (std::vector<std::string>{"序号", "状态", "考号", "姓名", "得分",
                                                        "单选题", "判断题", "1", "2"}));
  ASSERT_EQ(prompt.Asked.size(), 2u);
  EXPECT_EQ(prompt.Asked[0].Text, "题型“单选题” 重复，不影响阅卷，但可能会导致分项统计不准。");
  EXPECT_EQ(prompt.Asked[0].Icon, PromptIcon::Error);
  EXPECT_EQ(prompt.Asked[0].Buttons, PromptButtons::Ok);
}

// A reading as the read thread records it: decide the row, fill the cells,
// write.
class Recording : public testing::Test {
 protected:
  void SetUp() override {
    dsDB = MakeResultsTable();
    ScriptedPrompt prompt;
    BuildResultsTable(dsDB, {"单选题"}, 1, prompt);
  }

  WriteAnswer Read(const std::string& number, const std::string& score, bool warn = true) {
    const int target = DecideTargetRow(state, dsDB, number);
    TRecArray cells = MakeCells(dsDB);
    cells.Set(0, "成功");
    cells.Set(1, number);
    cells.Set(2, state.RosterNames.Value(number));
    cells.Set(3, score);
    const WriteResultInput input{"detail " + score, target, number, &cells};
    return WriteResult(dsDB, state, input, warn, prompt, hooks);
  }

  // 序号, 考号 and 得分 of every row in the visible order.
  std::vector<std::string> Rows() const {
    std::vector<std::string> out;
    for (int r = 1; r <= dsDB.RecordCount(); ++r) {
      out.push_back(dsDB.ValueAt(r, "序号").AsString() + ":" + dsDB.ValueAt(r, "考号").AsString() +
                    ":" + dsDB.ValueAt(r, "得分").AsString());
    }
    return out;
  }

  DataTable dsDB;
  RecordingState state;
  ScriptedPrompt prompt;
  WriteResultHooks hooks;
};

TEST_F(Recording, RepeatedNumbersReplaceTheirRowAndAskUnlessJustWritten) {
  state.RosterNames.Add("0815", "张三");
  std::vector<std::string> shown;
  std::vector<bool> holds;
  hooks.ShowDetail = [&](const std::string& d) { shown.push_back(d); };
  hooks.HoldFrames = [&](bool h) { holds.push_back(h); };

  EXPECT_EQ(Read("0815", "1"), WriteAnswer::Written);
  EXPECT_EQ(Read("0815", "2"), WriteAnswer::Written);  // at once: replaced silently
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:0815:2"}));
  EXPECT_TRUE(prompt.Asked.empty());

  EXPECT_EQ(Read("0003", "3"), WriteAnswer::Written);
  prompt.Script(PromptAnswer::No);
  EXPECT_EQ(Read("0815", "4"), WriteAnswer::Declined);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:0815:2", "2:0003:3"}));
  ASSERT_EQ(prompt.Asked.size(), 1u);
  const PromptRequest& q = prompt.Asked[0];
  EXPECT_EQ(q.Text,
            "已存在考生0815号张三的成绩,\r\n\r\n是否替换成绩数据？\r\n\r\n "
            "(若不要替换，请移开当前试卷并点击否)\r\n"
            " (可修改右侧阅卷设置：考号重复时提示)\r\n");
  EXPECT_EQ(q.Caption, "提示");
  EXPECT_EQ(q.Buttons, PromptButtons::YesNo);
  EXPECT_EQ(q.Default, PromptAnswer::No);
  EXPECT_EQ(q.Icon, PromptIcon::Warning);
  EXPECT_TRUE(q.SystemModal && q.Topmost);
  EXPECT_EQ(holds, (std::vector<bool>{true, false}));

  prompt.Script(PromptAnswer::Yes);
  EXPECT_EQ(Read("0815", "5"), WriteAnswer::Written);
  EXPECT_EQ(Read("0815", "6"), WriteAnswer::Written);  // confirmed row: not asked again
  EXPECT_EQ(prompt.Asked.size(), 2u);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:0815:6", "2:0003:3"}));
  EXPECT_EQ(state.LastWrittenRow, "1");

  EXPECT_EQ(Read("", "7"), WriteAnswer::Written);
  EXPECT_EQ(Read("", "8"), WriteAnswer::Written);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:0815:6", "2:0003:3", "3::7", "4::8"}));
  EXPECT_EQ(shown.size(), 8u);
  EXPECT_EQ(shown.back(), "detail 8");
}

TEST_F(Recording, WithoutTheOptionARepeatedNumberAlwaysReplacesSilently) {
  for (const char* n : {"0815", "0003", "0815", "0003", "0815"}) {
    EXPECT_EQ(Read(n, n, false), WriteAnswer::Written);
  }
  EXPECT_TRUE(prompt.Asked.empty());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:0815:0815", "2:0003:0003"}));
}

TEST_F(Recording, RosterNumbersStartUnrecordedAndNamesComeFromTheRoster) {
  DataTable roster = MakeRosterTable();
  ScriptedPrompt paste;
  PasteRoster(roster, "0815\t张三\n0003\t李四", 2, paste);
  BuildRosterLookups(roster, state.RosterNames, state.RosterRows);
  state.RosterRows.SetValue("junk", "abc");

  Read("0003", "1");
  Read("junk", "2");
  EXPECT_EQ(dsDB.ValueAt(1, "姓名").AsString(), "李四");
  EXPECT_EQ(state.RosterRows.Value("0003"), "1");
  EXPECT_EQ(state.RosterRows.Value("junk"), "2");
  EXPECT_EQ(state.RosterRows.Value("0815"), "-1");
}

TEST_F(Recording, AfterSortingByNumberRowsAreStillFoundByTheirOwnNumber) {
  for (const char* n : {"0815", "0003", "0120"}) Read(n, n);
  dsDB.SortBy("考号");  // what the exports do
  EXPECT_EQ(Rows(), (std::vector<std::string>{"2:0003:0003", "3:0120:0120", "1:0815:0815"}));

  prompt.Script(PromptAnswer::Yes);
  EXPECT_EQ(Read("0815", "again"), WriteAnswer::Written);  // asks: 0815 was not the last written
  EXPECT_EQ(prompt.Asked.size(), 1u);
  EXPECT_EQ(Read("0500", "new"), WriteAnswer::Written);
  EXPECT_EQ(Rows(),
            (std::vector<std::string>{"2:0003:0003", "3:0120:0120", "4:0500:new", "1:0815:again"}));
  EXPECT_EQ(dsDB.StoredRow(3)[2], Value::Text("0500"));  // appended at the end of insertion order
  EXPECT_EQ(state.RosterRows.Value("0500"), "4");
}

TEST_F(Recording, ARowTheTableNoLongerHoldsIsRecordedAnew) {
  Read("0815", "1");
  ScriptedPrompt p;
  BuildResultsTable(dsDB, {"单选题"}, 1, p);  // results discarded, lookups kept
  EXPECT_EQ(Read("0815", "2"), WriteAnswer::Written);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:0815:2"}));
}

TEST(ResultRecords, AnAcceptedSetupGradesIntoTheFieldsItsCellsBelongTo) {
  ExamTables exam = MakeExam(6);
  AddRanges(exam, {{"单选题", 2, 2}, {"判断题", 2, 1}, {"单选题", 2, 3}});
  SetAnswers(exam, {"A", "B", "A", "B", "C", "D"});
  ScriptedPrompt prompt;
  ASSERT_TRUE(CheckSetup(exam, R"({"Questions": []})", true, prompt));

  DataTable dsDB = MakeResultsTable();
  BuildResultsTable(dsDB, TypeRangeNames(exam.ClientDataSet1), exam.CardQuestionCount, prompt);
  const CompiledKey key = CompileKey(exam.AnswerCD, prompt);
  ASSERT_TRUE(ResultsTableMatchesKey(dsDB, key));
  EXPECT_TRUE(prompt.Asked.empty());

  TRecArray cells = MakeCells(dsDB);
  const SheetGrade g = GradeSheet({"A", "C", "A", "B", "C", " "}, key, {}, cells);
  cells.Set(0, "成功");
  cells.Set(1, "0815");
  cells.Set(3, ScoreText(g.Total));
  for (std::size_t j = 0; j < g.TypeList.size(); ++j)
    cells.Set(4 + j, ScoreText(g.TypeList[j].Total));
  RecordingState state;
  WriteResult(dsDB, state, {"", DecideTargetRow(state, dsDB, "0815"), "0815", &cells}, true,
              prompt);

  const struct {
    const char* field;
    const char* value;
  } expect[] = {{"得分", "7"},    {"单选题", "2"}, {"判断题", "2"},
                {"单选题1", "3"}, {"2", "C(×) "},  {"6", " (×) "}};
  for (const auto& e : expect) EXPECT_EQ(dsDB.ValueAt(1, e.field).AsString(), e.value) << e.field;

  // A key whose runs differ from the table's type fields is told apart.
  ResetKey(exam, 6);
  EXPECT_FALSE(ResultsTableMatchesKey(dsDB, CompileKey(exam.AnswerCD, prompt)));
}

}  // namespace
}  // namespace kestrelo
