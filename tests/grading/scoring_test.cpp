#include "grading/Scoring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/DecimalText.h"
#include "common/Error.h"
#include "common/GbkText.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/setup/ExamFixture.h"

namespace kestrelo {
namespace {

CompiledKey Compile(ExamTables& exam) {
  ScriptedPrompt prompt;
  return CompileKey(exam.AnswerCD, prompt);
}

// 单选题 ×3 (2, extra 0.5), 多选题 ×3 (4, missed 1), 未用题目 ×1.
CompiledKey MixedKey() {
  ExamTables exam = MakeExam(7);
  AddRanges(exam, {{"单选题", 3, 2, 0.5, 0}, {"多选题", 3, 4, 0, 1}, {"未用题目", 1, 0}});
  SetAnswers(exam, {"B", "B", "D", "ABC", "BD", "ACD", "X"});
  return Compile(exam);
}
const std::vector<std::string> kMixedReads = {"B", "AB", "A", "A", " ", "ACD", " "};

TEST(CompareAnswer, GivesTheFourResults) {
  struct Case {
    const char* read;
    const char* key;
    const char* result;
  };
  const Case cases[] = {
      {"ABD", "ABD", "正确"}, {"AB", "ABD", "漏选"}, {"BD", "ABD", "漏选"}, {"AD", "ABD", "错误"},
      {"ABC", "AB", "多选"},  {"ABC", "AC", "错误"}, {" ", "A", "错误"},    {"", "", "错误"},
      {"", "A", "错误"},      {"A", "", "错误"},     {"B", "B", "正确"},    {"AB", "B", "多选"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(CompareAnswer(c.read, c.key), c.result)
        << "'" << c.read << "' against '" << c.key << "'";
  }
}

TEST(GradeSheet, MarksScoresAndNotesPerResult) {
  const CompiledKey key = MixedKey();
  TRecArray cells(4 + 3 + 7);
  const SheetGrade g = GradeSheet(kMixedReads, key, {}, cells);

  const char* marks[] = {"B(√) ", "AB(多) ", "A(×) ", "A(漏) ", " (×) ", "ACD(√) ", " (×) "};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(cells[3 + 4 + i], marks[i]) << "question " << i + 1;
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(cells[i], "") << "cell " << i << " is not grading's";

  EXPECT_EQ(g.Total, 7.5f);  // 2 + extra 0.5 + missed 1 + 4
  ASSERT_EQ(g.TypeList.size(), 3u);
  EXPECT_EQ(g.TypeList[0].Total, 2.5f);
  EXPECT_EQ(g.TypeList[1].Total, 5.0f);
  EXPECT_EQ(g.TypeList[2].Total, 0.0f);
  EXPECT_EQ(key.KeyTypeRuns[0].Total, 0.0f);  // the key's own runs stay at 0
  EXPECT_EQ(g.MultiAsSingleNote, "多选题 单选！");
  EXPECT_EQ(g.SingleAsMultiNote, "单选题 多选！");

  // An empty multiple-choice answer is wrong and sets no note.
  TRecArray quiet(14);
  const SheetGrade none = GradeSheet({"B", "B", "D", " ", "BD", "ACD", " "}, key, {}, quiet);
  EXPECT_EQ(none.MultiAsSingleNote, "");
  EXPECT_EQ(none.SingleAsMultiNote, "");
  EXPECT_EQ(quiet[7 + 3], " (×) ");
}

TEST(GradeSheet, DetailLinesFollowTheOptions) {
  const CompiledKey key = MixedKey();
  struct Case {
    bool right, wrong;
    const char* detail;
  };
  const Case cases[] = {
      {false, false, "\r\n\r\n\r\n\r\n"},
      {true, true, "1、B(√) 2、AB(多) 3、A(×) \r\n\r\n4、A(漏) 5、 (×) 6、ACD(√) \r\n\r\n7、 (×) "},
      {true, false, "1、B(√) 2、AB(多) \r\n\r\n4、A(漏) 6、ACD(√) \r\n\r\n"},
      {false, true, "3、A(×) \r\n\r\n5、 (×) \r\n\r\n7、 (×) "},
  };
  for (const Case& c : cases) {
    TRecArray cells(14);
    const SheetGrade g = GradeSheet(
        kMixedReads, key, {.ShowRightDetail = c.right, .ShowWrongDetail = c.wrong}, cells);
    EXPECT_EQ(g.Detail, c.detail) << c.right << c.wrong;
  }
}

TEST(GradeSheet, TotalsAreSummedInSinglePrecision) {
  ExamTables exam = MakeExam(3);
  AddRanges(exam, {{"判断题", 3, 1.2}});
  SetAllAnswers(exam, "A");
  TRecArray cells(4 + 1 + 3);
  const SheetGrade g = GradeSheet({"A", "A", "A"}, Compile(exam), {}, cells);
  EXPECT_EQ(ScoreText(g.Total), "3.60000014305115");
  EXPECT_EQ(ScoreText(g.TypeList[0].Total), "3.60000014305115");
  cells.Set(3, ScoreText(g.Total));
  EXPECT_EQ(cells[3], "3.60000014");
}

TEST(GradeSheet, NeverWritesOutsideTheCellsOrTheRuns) {
  const CompiledKey key = MixedKey();
  TRecArray few(9);  // too few for the last questions
  GradeSheet(kMixedReads, key, {}, few);
  EXPECT_EQ(few[8], "AB(多) ");  // question 2, the last that fits
  EXPECT_FALSE(few.Set(9, "x"));

  // Rows without a type make no run; their scores count in the total only.
  ExamTables exam = MakeExam(2);
  exam.AnswerCD.First();
  exam.AnswerCD.Edit();
  exam.AnswerCD.SetString("SType", "");
  exam.AnswerCD.SetFloat("RightScore", 3);
  exam.AnswerCD.SetString("Answer", "A");
  exam.AnswerCD.Post();
  TRecArray cells(8);
  const CompiledKey untyped = Compile(exam);
  EXPECT_EQ(untyped.AnswerKey[0].TypeIndex, -1);
  EXPECT_EQ(GradeSheet({"A", " "}, untyped, {}, cells).Total, 3.0f);

  EXPECT_THROW(GradeSheet({"A"}, key, {}, cells), Error);
}

TEST(GradeSheet, SelectionMarksAreShortAndNeverLookWrong) {
  for (const char* mark : {kMarkExtra, kMarkMissed, kMarkCorrect}) {
    EXPECT_EQ(std::string(mark).find("×"), std::string::npos) << mark;
    EXPECT_EQ(GbkLength(std::string("ABCDE") + mark), TRecArray::kCellBytes) << mark;
  }
  EXPECT_NE(std::string(kMarkExtra), kMarkMissed);
}

}  // namespace
}  // namespace kestrelo
