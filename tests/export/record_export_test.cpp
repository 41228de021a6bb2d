#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "export/RecordExport.h"
#include "export/XLSFile.h"
#include "grading/ResultRecords.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

// Fields after "序号" in order: 状态, 考号, 姓名, 得分, the types, the questions.
void AddResult(DataTable& dsDB, const std::vector<std::string>& cells) {
  dsDB.Append();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    dsDB.Set(static_cast<int>(i) + 1, Value::Text(cells[i]));
  }
  dsDB.Post();
}

// Three examinees recorded out of number order, two types, four questions.
DataTable ThreeResults() {
  ScriptedPrompt prompt;
  DataTable dsDB = MakeResultsTable();
  BuildResultsTable(dsDB, {"判断题", "单选题"}, 4, prompt);
  AddResult(dsDB,
            {"成功", "0815", "张三", "85", "10", "75", "A(√) ", "B(×) ", "AB(多) ", "C(漏) "});
  AddResult(dsDB, {"成功", "0003", "李四", "100", "20", "80", "A(√) ", "C(√) ", "D(√) ", "B(√) "});
  AddResult(dsDB, {"成功", "0120", "王五", "0", "0", "0", " (×) ", "B(×) ", "B(×) ", "A(×) "});
  return dsDB;
}

std::vector<std::string> NumbersInOrder(const DataTable& dsDB) {
  std::vector<std::string> out;
  for (int r = 1; r <= dsDB.RecordCount(); ++r) out.push_back(dsDB.ValueAt(r, "考号").AsString());
  return out;
}

const std::vector<std::string> kSorted{"0003", "0120", "0815"};

TEST(ResultsDocText, ListsHeaderItemsWithColonsAndQuestionsWithDots) {
  DataTable dsDB = ThreeResults();
  dsDB.SortBy("考号");
  EXPECT_EQ(ResultsDocText(dsDB, true),
            "阅卷记录\r\n"
            "考号:0003 姓名:李四 得分:100 判断题:20 单选题:80 "
            "1.A(√)  2.C(√)  3.D(√)  4.B(√)  \r\n"
            "考号:0120 姓名:王五 得分:0 判断题:0 单选题:0 "
            "1. (×)  2.B(×)  3.B(×)  4.A(×)  \r\n"
            "考号:0815 姓名:张三 得分:85 判断题:10 单选题:75 "
            "1.A(√)  2.B(×)  3.AB(多)  4.C(漏)  \r\n");
  // Only wrong answers: correct, extra and missed marks are all left out, and
  // an examinee without wrong answers keeps only the header items.
  EXPECT_EQ(ResultsDocText(dsDB, false),
            "阅卷记录\r\n"
            "考号:0003 姓名:李四 得分:100 判断题:20 单选题:80 \r\n"
            "考号:0120 姓名:王五 得分:0 判断题:0 单选题:0 "
            "1. (×)  2.B(×)  3.B(×)  4.A(×)  \r\n"
            "考号:0815 姓名:张三 得分:85 判断题:10 单选题:75 2.B(×)  \r\n");
}

TEST(ResultsDocText, WithoutQuestionColumnsEveryColumnFromTheNumberIsAQuestion) {
  ScriptedPrompt prompt;
  DataTable dsDB = MakeResultsTable();
  BuildResultsTable(dsDB, {"判断题"}, 0, prompt);
  AddResult(dsDB, {"成功", "0815", "张三", "85", "10"});
  AddResult(dsDB, {"成功", "0816", "李四", "B(×) ", "0"});
  EXPECT_EQ(ResultsDocText(dsDB, true),
            "阅卷记录\r\n考号.0815 姓名.张三 得分.85 判断题.10 \r\n"
            "考号.0816 姓名.李四 得分.B(×)  判断题.0 \r\n");
  EXPECT_EQ(ResultsDocText(dsDB, false), "阅卷记录\r\n\r\n得分.B(×)  \r\n");
}

TEST(RecordExports, SortByExamineeNumberAndKeepThatOrder) {
  TempFolder dir;
  ScriptedPrompt prompt;
  DataTable xlsTable = ThreeResults();
  ASSERT_TRUE(ExportResultsXls(xlsTable, dir / "a.xls", prompt));
  EXPECT_EQ(NumbersInOrder(xlsTable), kSorted);
  EXPECT_EQ(ReadWholeFile(dir / "a.xls"), DataSetBytes(xlsTable));

  DataTable docTable = ThreeResults();
  ASSERT_TRUE(ExportResultsDoc(docTable, dir / "a.doc", false, prompt));
  EXPECT_EQ(NumbersInOrder(docTable), kSorted);
  EXPECT_EQ(ReadWholeFile(dir / "a.doc"), RtfDocument(ResultsDocText(docTable, false)));
  EXPECT_TRUE(prompt.Asked.empty());
}

TEST(RecordExports, WithoutResultsTellTheUserAndWriteNothing) {
  TempFolder dir;
  ScriptedPrompt prompt;
  DataTable dsDB = MakeResultsTable();
  EXPECT_FALSE(ExportResultsXls(dsDB, dir / "a.xls", prompt));
  EXPECT_FALSE(ExportResultsDoc(dsDB, dir / "a.doc", true, prompt));
  ASSERT_EQ(prompt.Asked.size(), 2u);
  EXPECT_EQ(prompt.Asked[0].Text, "没有成绩数据！");
  EXPECT_EQ(prompt.Asked[0].Buttons, PromptButtons::Ok);
  EXPECT_FALSE(std::filesystem::exists(dir / "a.xls"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.doc"));
}

TEST(RtfDocument, EscapesSpecialCharactersAndEveryGbkByte) {
  // 乗 is 81 5c in GBK: its trail byte is a backslash and must not act as one.
  EXPECT_EQ(RtfDocument("a{b}\\c\r\n乗\tx"),
            "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052"
            "{\\fonttbl{\\f0\\fnil\\fcharset134 \xcb\xce\xcc\xe5;}}\r\n"
            "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 a\\{b\\}\\\\c\\par\r\n"
            "\\'81\\'5c\\tab x}\r\n");
}

TEST(ExportQuestions, AskAllQuestionsAndOfferToOpen) {
  ScriptedPrompt ask({PromptAnswer::No, PromptAnswer::Yes});
  EXPECT_FALSE(AskAllQuestions(ask));
  EXPECT_TRUE(AskAllQuestions(ask));
  const PromptRequest& q = ask.Asked[0];
  EXPECT_EQ(q.Text, "默认仅输出回答错误的题目信息，\r\n\r\n是否要输出答案正确的题目信息？");
  EXPECT_EQ(q.Caption, "提示");
  EXPECT_EQ(q.Buttons, PromptButtons::YesNo);
  EXPECT_EQ(q.Icon, PromptIcon::Question);
  EXPECT_TRUE(q.SystemModal && q.Topmost);

  struct OpenCase {
    const char* File;
    const char* Extension;
    PromptAnswer Answer;
    const char* Opened;  // nullptr: nothing opened
  };
  const OpenCase cases[] = {
      {"/r/阅卷记录.xls", ".xls", PromptAnswer::Ok, "/r/阅卷记录.xls"},
      {"/r/A.XLS", ".xls", PromptAnswer::Ok, "/r/A.XLS"},
      {"/r/a", ".doc", PromptAnswer::Ok, "/r/a.doc"},
      {"/r/a.doc.bak", ".doc", PromptAnswer::Ok, "/r/a.doc.bak"},
      {"/r/a.xls", ".xls", PromptAnswer::Cancel, nullptr},
  };
  for (const OpenCase& c : cases) {
    ScriptedPrompt prompt({c.Answer});
    const auto opened = OfferToOpen(c.File, c.Extension, prompt);
    EXPECT_EQ(opened ? opened->string() : "(nothing)", c.Opened ? c.Opened : "(nothing)") << c.File;
    ASSERT_EQ(prompt.Asked.size(), 1u);
    EXPECT_EQ(prompt.Asked[0].Text, "保存成功\r\n是否打开文件？");
    EXPECT_EQ(prompt.Asked[0].Caption, "Confirm");
    EXPECT_EQ(prompt.Asked[0].Buttons, PromptButtons::OkCancel);
  }
}

}  // namespace
}  // namespace kestrelo
