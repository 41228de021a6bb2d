// The exports of a graded exam, written by kestrelo-export and read back by
// independent readers: python3-xlrd for the spreadsheets, unrtf for the
// document (through tests/export/read_export.py).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/DecimalText.h"
#include "common/TableFile.h"
#include "export/StatisticsReport.h"
#include "grading/ResultRecords.h"
#include "grading/Scoring.h"
#include "tests/common/TempFolder.h"
#include "tests/setup/ExamFixture.h"

namespace kestrelo {
namespace {

struct Outcome {
  int Status = -1;
  std::string Output;
};

Outcome Shell(const std::string& command) {
  Outcome run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[4096];
  std::size_t n = 0;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.Output.append(buf, n);
  const int status = pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// unrtf shows a run of blanks as one; the exact bytes are checked elsewhere.
std::string CollapseBlanks(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

std::string Quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Reads an exported file; skips the test when the reader is not installed.
#define READ_EXPORT(out, kind, file)                                                           \
  Outcome out =                                                                                \
      Shell("/usr/bin/python3 " KESTRELO_SOURCE_DIR "/tests/export/read_export.py " kind " " + \
            Quoted(file));                                                                     \
  if (out.Status == 3) GTEST_SKIP() << out.Output;                                             \
  ASSERT_EQ(out.Status, 0) << out.Output

class ExportReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    exam = MakeExam(6, "A类-标准6题卡");
    AddRanges(exam, {{"判断题", 2, 5}, {"单选题", 2, 5}, {"多选题", 2, 10, 0, 5}});
    SetAnswers(exam, {"A", "B", "C", "D", "AB", "ACD"});
    key = CompileKey(exam.AnswerCD, prompt);
    dsDB = MakeResultsTable();
    BuildResultsTable(dsDB, TypeRangeNames(exam.ClientDataSet1), exam.CardQuestionCount, prompt);
    state.RosterNames.Add("0815", "张三");
    state.RosterNames.Add("0003", "李四");
    state.RosterNames.Add("0120", "王五");
    Record("0815", {"A", "B", "C", "D", "AB", "ACD"});
    Record("0003", {"A", "A", "C", " ", "A", "ACD"});
    Record("0120", {"B", "B", "C", "D", "ABC", "AC"});

    SaveTableFile(exam.AnswerCD, dir / "k.score");
    SaveTableFile(exam.ClientDataSet1, dir / "k.score.x");
    SaveTableFile(dsDB, dir / "results.table");
  }

  // Grades one sheet and records it as reading does.
  void Record(const std::string& number, const std::vector<std::string>& answers) {
    TRecArray cells = MakeCells(dsDB);
    const SheetGrade grade = GradeSheet(answers, key, GradeOptions{}, cells);
    cells.Set(0, "成功");
    cells.Set(1, number);
    cells.Set(2, state.RosterNames.Value(number));
    cells.Set(3, ScoreText(grade.Total));
    for (std::size_t j = 0; j < grade.TypeList.size(); ++j) {
      cells.Set(4 + j, ScoreText(grade.TypeList[j].Total));
    }
    WriteResultInput input;
    input.TargetRow = DecideTargetRow(state, dsDB, number);
    input.ExamineeNumber = number;
    input.Cells = &cells;
    WriteResult(dsDB, state, input, false, prompt);
  }

  Outcome Export(const std::string& options) {
    return Shell(std::string(KESTRELO_PROGRAM_DIR) + "/kestrelo-export " +
                 Quoted(dir / "results.table") + " " + Quoted(dir / "k.score") + " " + options);
  }

  TempFolder dir;
  ScriptedPrompt prompt;
  ExamTables exam;
  CompiledKey key;
  DataTable dsDB;
  RecordingState state;
};

TEST_F(ExportReaders, ResultsSpreadsheetDecodesToTheResultsInNumberOrder) {
  const Outcome run = Export("--xls " + Quoted(dir / "a.xls"));
  ASSERT_EQ(run.Status, 0) << run.Output;
  READ_EXPORT(back, "xls", dir / "a.xls");

  const std::vector<std::vector<std::string>> rows{
      {"序号", "状态", "考号", "姓名", "得分", "判断题", "单选题", "多选题", "1", "2", "3", "4",
       "5", "6"},
      {"2.0", "成功", "0003", "李四", "25", "5", "5", "15", "A(√) ", "A(×) ", "C(√) ", " (×) ",
       "A(漏) ", "ACD(√) "},
      {"3.0", "成功", "0120", "王五", "20", "5", "10", "5", "B(×) ", "B(√) ", "C(√) ", "D(√) ",
       "ABC(多) ", "AC(漏) "},
      {"1.0", "成功", "0815", "张三", "40", "10", "10", "20", "A(√) ", "B(√) ", "C(√) ", "D(√) ",
       "AB(√) ", "ACD(√) "},
  };
  std::string expected = "encoding\tcp936\nsize\t4\t14\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const bool number = r > 0 && c == 0;  // "序号" is the one number column
      expected += std::to_string(r) + "\t" + std::to_string(c) + "\t" +
                  (number ? "number" : "text") + "\t" + rows[r][c] + "\n";
    }
  }
  EXPECT_EQ(back.Output, expected);
}

TEST_F(ExportReaders, DocumentDecodesToTheTextInItsFont) {
  for (const bool all : {false, true}) {
    const auto file = dir / (all ? "all.doc" : "wrong.doc");
    const Outcome run = Export("--doc " + Quoted(file) + (all ? " --all-questions" : ""));
    ASSERT_EQ(run.Status, 0) << run.Output;
    READ_EXPORT(back, "rtf", file);
    const std::string wrongOnly =
        "阅卷记录\n"
        "考号:0003 姓名:李四 得分:25 判断题:5 单选题:5 多选题:15 2.A(×)  4. (×)  \n"
        "考号:0120 姓名:王五 得分:20 判断题:5 单选题:10 多选题:5 1.B(×)  \n"
        "考号:0815 姓名:张三 得分:40 判断题:10 单选题:10 多选题:20 \n";
    const std::string allQuestions =
        "阅卷记录\n"
        "考号:0003 姓名:李四 得分:25 判断题:5 单选题:5 多选题:15 "
        "1.A(√)  2.A(×)  3.C(√)  4. (×)  5.A(漏)  6.ACD(√)  \n"
        "考号:0120 姓名:王五 得分:20 判断题:5 单选题:10 多选题:5 "
        "1.B(×)  2.B(√)  3.C(√)  4.D(√)  5.ABC(多)  6.AC(漏)  \n"
        "考号:0815 姓名:张三 得分:40 判断题:10 单选题:10 多选题:20 "
        "1.A(√)  2.B(√)  3.C(√)  4.D(√)  5.AB(√)  6.ACD(√)  \n";
    EXPECT_EQ(back.Output,
              "font\t宋体\nsize\t9\ntext\n" + CollapseBlanks(all ? allQuestions : wrongOnly));
  }
}

TEST_F(ExportReaders, StatisticsDecodeToTheReportAsTextCells) {
  const Outcome run = Export("--stats " + Quoted(dir / "s.xls"));
  ASSERT_EQ(run.Status, 0) << run.Output;
  READ_EXPORT(back, "xls", dir / "s.xls");

  const DataTable report = BuildStaticDB(dsDB, key.KeyTypeRuns, 6);
  std::string expected =
      "encoding\tcp936\nsize\t" + std::to_string(report.RecordCount() + 1) + "\t101\n";
  for (int r = 0; r <= report.RecordCount(); ++r) {
    for (int c = 0; c < report.FieldCount(); ++c) {
      const std::string text = r == 0 ? report.Field(c).Name : report.ValueAt(r, c).AsString();
      expected += std::to_string(r) + "\t" + std::to_string(c) + "\ttext\t" + text + "\n";
    }
  }
  EXPECT_EQ(back.Output, expected);
  // Spot checks of what the report says about this exam.
  EXPECT_NE(back.Output.find("4\t1\ttext\t28.3\n"), std::string::npos);
  EXPECT_NE(back.Output.find("4\t2\ttext\t6.7\n"), std::string::npos);  // 判断题
  EXPECT_NE(
      back.Output.find("13\t1\ttext\t题1\n13\t2\ttext\t3\n13\t3\ttext\t2\n13\t4\ttext\t66.7%\n"),
      std::string::npos);
}

TEST_F(ExportReaders, ResultsThatDoNotFitTheKeyAreRefusedByName) {
  // The key file is no results table.
  const Outcome run =
      Shell(std::string(KESTRELO_PROGRAM_DIR) + "/kestrelo-export " + Quoted(dir / "k.score") +
            " " + Quoted(dir / "k.score") + " --xls " + Quoted(dir / "a.xls"));
  EXPECT_EQ(run.Status, 2) << run.Output;
  EXPECT_NE(run.Output.find("k.score"), std::string::npos) << run.Output;
  EXPECT_FALSE(std::filesystem::exists(dir / "a.xls"));
}

}  // namespace
}  // namespace kestrelo
