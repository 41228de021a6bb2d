#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/TableFile.h"
#include "setup/RecentFiles.h"
#include "setup/Roster.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/common/TempFolder.h"
#include "tests/setup/ExamFixture.h"

namespace kestrelo {
namespace {

ExamTables Accepted() {
  ExamTables exam = MakeExam(45, "A类-标准45题卡(荐)");
  AddRanges(exam, {{"判断题", 10, 2}, {"单选题", 20, 2}, {"多选题", 15, 2}});
  SetAllAnswers(exam, "B");
  ScriptedPrompt prompt;
  PasteRoster(exam.NameLstCD, "0815\t张三\n0816\t李四", 2, prompt);
  return exam;
}

TEST(RecentFiles, RestoreTheAcceptedSetupAfterARestart) {
  TempFolder dir;
  const ProgramFolder folder(dir.Path());
  SaveRecent(Accepted(), folder);
  EXPECT_EQ(ReadWholeFile(folder.Recent() / "recent.paper"),
            "ItemCountText=A类-标准45题卡(荐)\r\nItemCount=45\r\n");

  ExamTables exam;  // a fresh start
  std::vector<std::string> templates;
  ScriptedPrompt prompt;
  ASSERT_TRUE(LoadRecent(
      exam, folder, [&](const std::string& card) { templates.push_back(card); }, prompt));
  EXPECT_TRUE(prompt.Asked.empty());
  EXPECT_EQ(templates, (std::vector<std::string>{"A类-标准45题卡(荐)"}));
  EXPECT_EQ(exam.CardName, "A类-标准45题卡(荐)");
  EXPECT_EQ(exam.CardQuestionCount, 45);
  EXPECT_EQ(exam.AnswerCD.RecordCount(), 45);
  EXPECT_EQ(exam.AnswerCD.ValueAt(45, "Answer").AsString(), "B");
  EXPECT_EQ(TypeRangeNames(exam.ClientDataSet1),
            (std::vector<std::string>{"判断题", "单选题", "多选题"}));
  EXPECT_EQ(exam.NameLstCD.ValueAt(2, "Name").AsString(), "李四");
  EXPECT_TRUE(CheckSetup(exam, R"({"Questions": []})", false, prompt));
}

TEST(RecentFiles, MissingPaperFileStopsAtTheQuestionCount) {
  TempFolder dir;
  const ProgramFolder folder(dir.Path());
  SaveRecent(Accepted(), folder);
  std::filesystem::remove(folder.Recent() / "recent.paper");

  ExamTables exam = MakeExam(30, "A类-标准30题卡");
  ScriptedPrompt prompt;
  std::vector<std::string> templates;
  EXPECT_FALSE(LoadRecent(
      exam, folder, [&](const std::string& card) { templates.push_back(card); }, prompt));
  ASSERT_EQ(prompt.Asked.size(), 1u);
  EXPECT_EQ(prompt.Asked[0].Text, "'' is not a valid integer value");
  EXPECT_EQ(templates, (std::vector<std::string>{""}));
  EXPECT_EQ(exam.CardName, "");
  EXPECT_EQ(exam.CardQuestionCount, 30);
  EXPECT_EQ(exam.AnswerCD.RecordCount(), 30);
}

TEST(RecentFiles, ABadTableFileLoadsNoTableAtAll) {
  TempFolder dir;
  const ProgramFolder folder(dir.Path());
  SaveRecent(Accepted(), folder);
  std::ofstream(folder.Recent() / "recent.名册", std::ios::binary) << "garbage";

  ExamTables exam = MakeExam(30, "A类-标准30题卡");
  ScriptedPrompt prompt;
  EXPECT_FALSE(LoadRecent(exam, folder, {}, prompt));
  ASSERT_EQ(prompt.Asked.size(), 1u);
  EXPECT_NE(prompt.Asked[0].Text.find("recent.名册"), std::string::npos) << prompt.Asked[0].Text;
  EXPECT_EQ(exam.CardQuestionCount, 30);
  EXPECT_EQ(exam.AnswerCD.RecordCount(), 30);
  EXPECT_EQ(exam.ClientDataSet1.RecordCount(), 0);
}

TEST(RecentFiles, OnlyExistingTablesAreReplaced) {
  TempFolder dir;
  const ProgramFolder folder(dir.Path());
  SaveRecent(Accepted(), folder);
  std::filesystem::remove(folder.Recent() / "recent.名册");
  ExamTables exam;
  ScriptedPrompt prompt;
  PasteRoster(exam.NameLstCD, "1\tkept", 2, prompt);
  ASSERT_TRUE(LoadRecent(exam, folder, {}, prompt));
  EXPECT_EQ(exam.NameLstCD.ValueAt(1, "Name").AsString(), "kept");
  EXPECT_EQ(exam.AnswerCD.RecordCount(), 45);
}

}  // namespace
}  // namespace kestrelo
