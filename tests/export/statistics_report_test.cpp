#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "export/StatisticsReport.h"
#include "export/XLSFile.h"
#include "grading/ResultRecords.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// A results table whose rows give 得分, then the type fields, then the questions.
DataTable Results(const std::vector<std::string>& types, int questions, const Rows& rows) {
  ScriptedPrompt prompt;
  DataTable dsDB = MakeResultsTable();
  BuildResultsTable(dsDB, types, questions, prompt);
  int number = 0;
  for (const auto& row : rows) {
    dsDB.Append();
    dsDB.SetString("状态", "成功");
    dsDB.SetString("考号", std::to_string(++number));
    for (std::size_t i = 0; i < row.size(); ++i) {
      dsDB.Set(kResultHeadFields - 1 + static_cast<int>(i), Value::Text(row[i]));
    }
    dsDB.Post();
  }
  return dsDB;
}

std::vector<TTypeRec> Runs(const std::vector<std::string>& names) {
  std::vector<TTypeRec> runs;
  for (const std::string& n : names) {
    TTypeRec r;
    r.Index = static_cast<std::int32_t>(runs.size());
    r.Name = n;
    runs.push_back(r);
  }
  return runs;
}

// Each report row as its cells joined by "|", empty cells at the end left off.
std::vector<std::string> Render(const DataTable& report) {
  std::vector<std::string> out;
  for (int r = 1; r <= report.RecordCount(); ++r) {
    std::vector<std::string> cells;
    for (int c = 0; c < report.FieldCount(); ++c) cells.push_back(report.ValueAt(r, c).AsString());
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c) line += (c ? "|" : "") + cells[c];
    out.push_back(line);
  }
  return out;
}

TEST(StatisticsReport, HasItsThreeSections) {
  const DataTable dsDB = Results({"判断题", "单选题"}, 2,
                                 {{"85", "10", "75", "A(√) ", "B(×) "},
                                  {"90", "15", "75", "AB(多) ", "C(漏) "},
                                  {"100", "20", "80", "B(×) ", "A(×) "}});
  const DataTable report = BuildStaticDB(dsDB, Runs({"判断题", "单选题"}), 2);
  ASSERT_EQ(report.FieldCount(), 101);
  EXPECT_EQ(report.Field(100).Name, "A100");
  const std::vector<std::string> expected{
      "  ",
      "************各种题型平均分************ ",
      "|全部题目均分|判断题均分|单选题均分",
      "|91.7|15|76.7",
      "  ",
      "************分值范围************ ",
      "|总人数|00_09人数|10_19人数|20_29人数|30_39人数|40_49人数|50_59人数|60_69人数|70_79人数|"
      "80_89人数|90_99人数",
      "|3|0|0|0|0|0|0|0|0|1|2",
      "|比例|0%|0%|0%|0%|0%|0%|0%|0%|33.3%|66.7%",
      "  ",
      "************单项正确率统计************ ",
      "|题号|总人数|正确人数|正确比例",
      "|题1|3|2|66.7%",
      "|题2|3|1|33.3%",
  };
  EXPECT_EQ(Render(report), expected);

  const std::string bytes = DataSetBytes(report);
  EXPECT_EQ(static_cast<unsigned char>(bytes[16 + 10]), 102) << "dimensions: 102 columns";
}

TEST(StatisticsReport, BandsRoundScoresToEvenAndRatiosToOneDecimal) {
  struct Case {
    std::vector<std::string> Scores;
    const char* Counts;
    const char* Ratios;
  };
  const std::vector<std::string> sixteen = [] {
    std::vector<std::string> s(15, "5");
    s.push_back("95");
    return s;
  }();
  const Case cases[] = {
      // 5 is band 00; 89.5 rounds to 90, 88.5 to 88; 250 joins the top band;
      // a negative total (penalties) counts in the lowest band.
      {{"5", "89.5", "88.5", "-3", "250"},
       "|5|2|0|0|0|0|0|0|0|1|2",
       "|比例|40%|0%|0%|0%|0%|0%|0%|0%|20%|40%"},
      // 93.75% and 6.25% are ties at one decimal: to the even tenth.
      {sixteen, "|16|15|0|0|0|0|0|0|0|0|1", "|比例|93.8%|0%|0%|0%|0%|0%|0%|0%|0%|6.2%"},
  };
  for (const Case& c : cases) {
    Rows rows;
    for (const std::string& s : c.Scores) rows.push_back({s});
    const std::vector<std::string> report = Render(BuildStaticDB(Results({}, 0, rows), {}, 0));
    ASSERT_GE(report.size(), 9u);
    EXPECT_EQ(report[7], c.Counts);
    EXPECT_EQ(report[8], c.Ratios);
  }
}

TEST(StatisticsReport, AveragesOfTypes) {
  struct Case {
    const char* Name;
    std::vector<std::string> Types;  // fields of the results table
    std::vector<std::string> Runs;   // runs of the key
    Rows Values;                     // 得分 and type fields per row
    const char* Labels;
    const char* Averages;
  };
  const Case cases[] = {
      {"two results",
       {"判断题"},
       {"判断题"},
       {{"10", "10"}, {"15", "15"}},
       "|全部题目均分|判断题均分",
       "|12.5|12.5"},
      {"two runs of one name read the one column",
       {"判断题", "单选题"},
       {"判断题", "单选题", "判断题"},
       {{"30", "10", "20"}, {"40", "15", "25"}},
       "|全部题目均分|判断题均分|单选题均分|判断题均分",
       "|35|12.5|22.5|12.5"},
      {"missing column and text that is no number are skipped",
       {"判断题"},
       {"判断题", "多选题"},
       {{"10", "10"}, {"0", "abc"}},
       "|全部题目均分|判断题均分|多选题均分",
       "|5|5|0"},
      {"halves of tenths go to the even tenth",
       {"判断题", "单选题"},
       {"判断题", "单选题"},
       {{"0", "0.5", "1.5"}, {"0", "0", "0"}},
       "|全部题目均分|判断题均分|单选题均分",
       "|0|0.2|0.8"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> report =
        Render(BuildStaticDB(Results(c.Types, 0, c.Values), Runs(c.Runs), 0));
    ASSERT_GE(report.size(), 4u);
    EXPECT_EQ(report[2], c.Labels) << c.Name;
    EXPECT_EQ(report[3], c.Averages) << c.Name;
  }
}

TEST(StatisticsReport, CountsEveryQuestionOfLongKeys) {
  Rows rows(1, std::vector<std::string>{"50"});
  for (int q = 1; q <= 120; ++q) rows[0].push_back(q == 120 ? "B(×) " : "A(√) ");
  std::vector<std::string> runNames;
  for (int k = 0; k < 150; ++k) runNames.push_back("t" + std::to_string(k));
  const DataTable report = BuildStaticDB(Results({}, 120, rows), Runs(runNames), 120);
  const std::vector<std::string> lines = Render(report);
  ASSERT_EQ(lines.size(), 12u + 120u);
  EXPECT_EQ(lines[12 + 100], "|题101|1|1|100%");
  EXPECT_EQ(lines.back(), "|题120|1|0|0%");
  // 151 averages need columns up to A151.
  EXPECT_EQ(report.FieldCount(), 152);
  EXPECT_EQ(report.ValueAt(3, 151).AsString(), "t149均分");
}

TEST(StatisticsReport, BadScoresAndMissingQuestionsEndTheExportUnwritten) {
  TempFolder dir;
  ScriptedPrompt prompt;
  const auto file = dir / "s.xls";
  for (const char* score : {"", "abc"}) {
    const DataTable dsDB = Results({}, 1, {{"85", "A(√) "}, {score, "A(√) "}});
    EXPECT_THROW(ExportStatistics(dsDB, {}, 1, file, prompt), Error) << score;
  }
  const DataTable twoQuestions = Results({}, 2, {{"85", "A(√) ", "B(√) "}});
  EXPECT_THROW(ExportStatistics(twoQuestions, {}, 3, file, prompt), Error);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(prompt.Asked.empty());

  EXPECT_FALSE(ExportStatistics(Results({}, 2, {}), {}, 2, file, prompt));
  ASSERT_EQ(prompt.Asked.size(), 1u);
  EXPECT_EQ(prompt.Asked[0].Text, "没有成绩数据！");
  EXPECT_FALSE(std::filesystem::exists(file));

  ASSERT_TRUE(ExportStatistics(twoQuestions, {}, 2, file, prompt));
  EXPECT_EQ(ReadWholeFile(file), DataSetBytes(BuildStaticDB(twoQuestions, {}, 2)));
}

}  // namespace
}  // namespace kestrelo
