#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "common/TableFile.h"
#include "setup/AnswerKey.h"
#include "tests/common/ScriptedPrompt.h"
#include "tests/common/TempFolder.h"
#include "tests/setup/ExamFixture.h"

namespace kestrelo {
namespace {

const std::string kTemplate = R"({"Questions": [], "LineQuestionCount": 5})";

// A complete 45-question exam: 判断题 ×10, 单选题 ×20, 多选题 ×15.
ExamTables Standard45() {
  ExamTables exam = MakeExam(45);
  AddRanges(exam, {{"判断题", 10, 2}, {"单选题", 20, 2}, {"多选题", 15, 2, 0, 1}});
  SetAllAnswers(exam, "A");
  return exam;
}

std::vector<std::string> Column(const DataTable& t, const char* field) {
  std::vector<std::string> out;
  for (int r = 1; r <= t.RecordCount(); ++r) out.push_back(t.ValueAt(r, field).AsString());
  return out;
}

TEST(NormalizeAnswer, KeepsEachLetterOnceInAlphabeticalOrder) {
  struct Case {
    const char* in;
    const char* out;
    bool warns;
  };
  const Case cases[] = {
      {"bda", "ABD", false}, {"A A", "A", false}, {"a, c", "AC", false},
      {"x", "X", false},     {"", "", false},     {"AF", "AF", true},
      {"1b2B3", "B", false}, {"zz", "Z", true},   {"答案C", "C", false},
  };
  for (const Case& c : cases) {
    ScriptedPrompt prompt;
    EXPECT_EQ(NormalizeAnswer(c.in, prompt), c.out) << c.in;
    EXPECT_EQ(prompt.Asked.size(), c.warns ? 1u : 0u) << c.in;
  }
  ScriptedPrompt prompt;
  NormalizeAnswer("af", prompt);
  ASSERT_EQ(prompt.Asked.size(), 1u);
  EXPECT_EQ(prompt.Asked[0].Text, "AF\r\n\r\n可能存在不正确的答案！");
  EXPECT_EQ(prompt.Asked[0].Caption, "警告");
  EXPECT_EQ(prompt.Asked[0].Icon, PromptIcon::Warning);
  EXPECT_TRUE(prompt.Asked[0].Topmost);
}

TEST(CompileKey, MakesOneRunPerBlockOfEqualTypes) {
  ExamTables exam = Standard45();
  SetAnswers(exam, {"ba", "c"});
  exam.AnswerCD.MoveTo(40);
  ScriptedPrompt prompt;
  const CompiledKey key = CompileKey(exam.AnswerCD, prompt);

  ASSERT_EQ(key.AnswerKey.size(), 45u);
  ASSERT_EQ(key.KeyTypeRuns.size(), 3u);
  const char* names[] = {"判断题", "单选题", "多选题"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(key.KeyTypeRuns[i].Index, i);
    EXPECT_EQ(key.KeyTypeRuns[i].Name, names[i]);
    EXPECT_EQ(key.KeyTypeRuns[i].Total, 0.0f);
  }
  EXPECT_EQ(key.AnswerKey[0].Answer, "AB");
  EXPECT_EQ(key.AnswerKey[0].Item, 1);
  EXPECT_EQ(key.AnswerKey[9].TypeIndex, 0);
  EXPECT_EQ(key.AnswerKey[10].TypeIndex, 1);
  EXPECT_EQ(key.AnswerKey[44].TypeIndex, 2);
  EXPECT_FALSE(key.AnswerKey[29].IsMulti);
  EXPECT_TRUE(key.AnswerKey[30].IsMulti);
  EXPECT_EQ(key.AnswerKey[44].SelScareScore, 1.0f);
  EXPECT_EQ(exam.AnswerCD.RecNo(), 1);
}

TEST(CompileKey, SeparateBlocksOfOneTypeAreSeparateRunsScoredByTheirFirstRow) {
  ExamTables exam = MakeExam(6);
  const struct {
    const char* type;
    double score;
  } rows[] = {{"单选题", 2}, {"单选题", 9},   {"判断题", 1},
              {"单选题", 3}, {"未用题目", 0}, {"未用题目", 0}};
  for (int r = 0; r < 6; ++r) {
    exam.AnswerCD.MoveTo(r + 1);
    exam.AnswerCD.Edit();
    exam.AnswerCD.SetString("SType", rows[r].type);
    exam.AnswerCD.SetFloat("RightScore", rows[r].score);
    exam.AnswerCD.Post();
  }
  ScriptedPrompt prompt;
  const CompiledKey key = CompileKey(exam.AnswerCD, prompt);
  ASSERT_EQ(key.KeyTypeRuns.size(), 4u);
  EXPECT_EQ(key.KeyTypeRuns[0].Name, "单选题");
  EXPECT_EQ(key.KeyTypeRuns[0].RightScore, 2.0f);  // not 9: the run's first row decides
  EXPECT_EQ(key.KeyTypeRuns[2].Name, "单选题");
  EXPECT_EQ(key.KeyTypeRuns[2].RightScore, 3.0f);
  EXPECT_EQ(key.AnswerKey[1].RightScore, 9.0f);  // the question keeps its own score
  EXPECT_EQ(key.AnswerKey[3].TypeIndex, 2);
  EXPECT_TRUE(key.AnswerKey[4].IsUnused);
  EXPECT_EQ(key.AnswerKey[5].TypeIndex, 3);
}

TEST(ResetKey, KeepsQuestionsOneToNWithTheirAnswers) {
  ExamTables exam = Standard45();
  std::vector<std::string> answers;
  for (int q = 1; q <= 45; ++q) answers.push_back(std::string(1, static_cast<char>('A' + q % 4)));
  SetAnswers(exam, answers);
  exam.AnswerCD.MoveTo(1);  // where the cursor usually is

  ResetKey(exam, 40);
  EXPECT_EQ(exam.AnswerCD.ValueAt(40, "SelScareScore").AsFloat(), 1);  // partial scores stay
  ResetKey(exam, 30);
  EXPECT_EQ(exam.ClientDataSet1.RecordCount(), 0);
  ASSERT_EQ(exam.AnswerCD.RecordCount(), 30);
  for (int r = 1; r <= 30; ++r) {
    EXPECT_EQ(exam.AnswerCD.ValueAt(r, "Item").AsInteger(), r);
    EXPECT_EQ(exam.AnswerCD.ValueAt(r, "SType").AsString(), "未设置");
    EXPECT_EQ(exam.AnswerCD.ValueAt(r, "RightScore").AsFloat(), 0);
    EXPECT_EQ(exam.AnswerCD.ValueAt(r, "Answer").AsString(), answers[r - 1]) << "question " << r;
  }

  ResetKey(exam, 32);
  ASSERT_EQ(exam.AnswerCD.RecordCount(), 32);
  EXPECT_EQ(exam.AnswerCD.ValueAt(32, "Item").AsInteger(), 32);
  EXPECT_EQ(exam.AnswerCD.ValueAt(32, "SType").AsString(), "未设置");
  EXPECT_TRUE(exam.AnswerCD.ValueAt(32, "Answer").IsNull());
}

TEST(SetQuestionCount, AsksBeforeClearingRangesAndCancelKeepsThem) {
  ExamTables exam = Standard45();
  ScriptedPrompt cancel({PromptAnswer::Cancel});
  EXPECT_FALSE(SetQuestionCount(exam, 30, cancel));
  ASSERT_EQ(cancel.Asked.size(), 1u);
  const PromptRequest& q = cancel.Asked[0];
  EXPECT_EQ(q.Text, "该操作会清空题型、分值，但答案会保留\r\n要继续吗？");
  EXPECT_EQ(q.Caption, "Comfirm");
  EXPECT_EQ(q.Buttons, PromptButtons::OkCancel);
  EXPECT_EQ(q.Default, PromptAnswer::Cancel);
  EXPECT_EQ(q.Icon, PromptIcon::Question);
  EXPECT_TRUE(q.SystemModal && q.Topmost);
  EXPECT_EQ(exam.CardQuestionCount, 30);
  EXPECT_EQ(exam.AnswerCD.RecordCount(), 30);  // cut all the same
  EXPECT_EQ(exam.ClientDataSet1.RecordCount(), 3);
  EXPECT_EQ(exam.AnswerCD.ValueAt(30, "SType").AsString(), "单选题");
  ScriptedPrompt quiet;
  EXPECT_FALSE(CheckSetup(exam, kTemplate, false, quiet));  // ranges no longer fit the key

  ScriptedPrompt ok({PromptAnswer::Ok});
  EXPECT_TRUE(SetQuestionCount(exam, 100, ok));
  EXPECT_EQ(exam.AnswerCD.RecordCount(), 100);
  EXPECT_EQ(exam.ClientDataSet1.RecordCount(), 0);
  EXPECT_EQ(exam.AnswerCD.RecNo(), 1);
  EXPECT_EQ(exam.AnswerCD.ValueAt(100, "SType").AsString(), "未设置");

  ScriptedPrompt none;
  EXPECT_TRUE(SetQuestionCount(exam, 45, none));
  EXPECT_TRUE(none.Asked.empty());  // nothing to lose, nothing to ask
}

TEST(CheckSetup, ListsWhatIsMissing) {
  struct Case {
    const char* name;
    std::function<void(ExamTables&, std::string&)> spoil;
    const char* message;  // empty: complete
    bool plain;
  };
  const Case cases[] = {
      {"complete", [](ExamTables&, std::string&) {}, "", false},
      {"no card", [](ExamTables&, std::string& t) { t = "  {}  "; }, "答题卡尚未选择！\r", true},
      {"no card, short key",
       [](ExamTables& e, std::string& t) {
         t.clear();
         e.CardQuestionCount = 60;
       },
       "答题卡尚未选择！\r标准答案尚未设置好！\r", true},
      {"answers 1 to 12 missing",
       [](ExamTables& e, std::string&) { SetAnswers(e, std::vector<std::string>(12, " ")); },
       "下列题目答案未设置：\r    1,2,3,4,5,6,7,8,9,10 …!\r", false},
      {"one type and one score missing",
       [](ExamTables& e, std::string&) {
         e.AnswerCD.MoveTo(3);
         e.AnswerCD.Edit();
         e.AnswerCD.SetString("SType", "未设置");
         e.AnswerCD.Post();
         e.AnswerCD.MoveTo(7);
         e.AnswerCD.Edit();
         e.AnswerCD.SetFloat("RightScore", 0.5);  // rounds to 0
         e.AnswerCD.Post();
       },
       "下列题目题型未设置：\r    3, …!\r下列题目分值未设置：\r    7, …!\r", false},
      {"ranges out of step with the key",
       [](ExamTables& e, std::string&) {
         e.ClientDataSet1.MoveTo(2);
         e.ClientDataSet1.Delete();
       },
       "题型设置与各题的题型不一致，请点击“清空重设”后重新设置题型！\r", false},
  };
  for (const Case& c : cases) {
    ExamTables exam = Standard45();
    std::string text = kTemplate;
    c.spoil(exam, text);
    ScriptedPrompt silent;
    const bool complete = std::string(c.message).empty();
    EXPECT_EQ(CheckSetup(exam, text, false, silent), complete) << c.name;
    EXPECT_TRUE(silent.Asked.empty()) << c.name;

    ScriptedPrompt shown;
    CheckSetup(exam, text, true, shown);
    if (complete) {
      EXPECT_TRUE(shown.Asked.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(shown.Asked.size(), 1u) << c.name;
    EXPECT_EQ(shown.Asked[0].Text, c.message) << c.name;
    EXPECT_EQ(shown.Asked[0].Caption, c.plain ? "" : "提示") << c.name;
    EXPECT_EQ(shown.Asked[0].Icon, c.plain ? PromptIcon::None : PromptIcon::Error) << c.name;
  }
}

TEST(CheckSetup, UnusedQuestionsNeedNoScore) {
  ExamTables exam = MakeExam(4);
  AddRanges(exam, {{"单选题", 2, 5}, {"未用题目", 2, 0}});
  SetAnswers(exam, {"A", "B", "X", "X"});
  ScriptedPrompt prompt;
  EXPECT_TRUE(CheckSetup(exam, kTemplate, true, prompt));
  EXPECT_TRUE(prompt.Asked.empty());
}

TEST(TypeRanges, RepeatedTypesAreNumberedAndStayOneToOneWithTheKey) {
  ExamTables exam = MakeExam(40);
  AddRanges(exam, {{"单选题", 10, 2}, {"判断题", 10, 1}, {"单选题", 10, 2}, {"单选题", 10, 3}});
  EXPECT_EQ(TypeRangeNames(exam.ClientDataSet1),
            (std::vector<std::string>{"单选题", "判断题", "单选题1", "单选题2"}));
  EXPECT_TRUE(TypeRangesMatchKey(exam.AnswerCD, exam.ClientDataSet1));
  EXPECT_EQ(exam.ClientDataSet1.ValueAt(4, "Statics").AsFloat(), 30);

  // A range row that repeats type and sequence is refused by the table.
  exam.ClientDataSet1.Append();
  exam.ClientDataSet1.SetString("sType", "单选题");
  exam.ClientDataSet1.SetInteger("Sequence", 1);
  EXPECT_THROW(exam.ClientDataSet1.Post(), Error);
}

TEST(TypeRanges, StaticsIsCountTimesScoreToOneDecimal) {
  struct Case {
    int count;
    double score;
    double statics;
  };
  // 7 × 0.35 is 2.45000005 in single precision (2.4499999 in double); 5 × 0.25
  // = 1.25 ties to 1.2.
  const Case cases[] = {{10, 5, 50}, {3, 1.15, 3.4}, {5, 0.25, 1.2}, {7, 0.35, 2.5}, {0, 5, 0}};
  DataTable t = MakeTypeRangeTable();
  for (const Case& c : cases) {
    t.Append();
    t.SetInteger("sCount", c.count);
    t.SetFloat("sScore", c.score);
    EXPECT_NEAR(t.AsFloat("Statics"), c.statics, 1e-9) << c.count << " × " << c.score;
    t.Cancel();
  }
}

TEST(KeyFiles, SaveDerivesTheNameFromTheChosenFileAndTheCard) {
  struct Case {
    const char* chosen;
    const char* written;
  };
  const Case cases[] = {
      {"期中_旧.score", "期中_A类-标准45题卡(荐).score"},
      {"期中.SCORE", "期中_A类-标准45题卡(荐).score"},
      {"期中", "期中_A类-标准45题卡(荐).score"},
      {"a.score.Score_x", "a_A类-标准45题卡(荐).score"},
      {"_x.score", "_A类-标准45题卡(荐).score"},
  };
  for (const Case& c : cases) {
    TempFolder dir;
    const std::filesystem::path folder = dir / "my_exams";
    std::filesystem::create_directory(folder);
    ScriptedPrompt prompt;
    const std::filesystem::path written = SaveKeyFiles(Standard45(), folder / c.chosen, prompt);
    EXPECT_EQ(written, folder / c.written) << c.chosen;
    EXPECT_TRUE(std::filesystem::exists(folder / c.written)) << c.chosen;
    EXPECT_TRUE(std::filesystem::exists(folder / (std::string(c.written) + ".x"))) << c.chosen;
  }
}

TEST(KeyFiles, AsksBeforeOverwriting) {
  TempFolder dir;
  ExamTables exam = Standard45();
  ScriptedPrompt prompt;
  const std::filesystem::path file = SaveKeyFiles(exam, dir / "期中.score", prompt);
  ASSERT_FALSE(file.empty());
  EXPECT_TRUE(prompt.Asked.empty());

  ResetKey(exam, 45);
  ScriptedPrompt no({PromptAnswer::No});
  EXPECT_TRUE(SaveKeyFiles(exam, dir / "期中.score", no).empty());
  ASSERT_EQ(no.Asked.size(), 1u);
  EXPECT_EQ(no.Asked[0].Text, "文件已存在\r\n要覆盖吗？");
  EXPECT_EQ(no.Asked[0].Caption, "Comfirm");
  EXPECT_EQ(no.Asked[0].Buttons, PromptButtons::YesNo);
  EXPECT_EQ(ReadTableFile(file, exam.AnswerCD).ValueAt(1, "SType").AsString(), "判断题");

  ScriptedPrompt yes({PromptAnswer::Yes});
  EXPECT_EQ(SaveKeyFiles(exam, dir / "期中.score", yes), file);
  EXPECT_EQ(ReadTableFile(file, exam.AnswerCD).ValueAt(1, "SType").AsString(), "未设置");
}

TEST(KeyFiles, LoadReplacesBothTablesOrNeither) {
  TempFolder dir;
  ScriptedPrompt prompt;
  ExamTables source = Standard45();
  SetAnswers(source, {"ABC"});
  const std::filesystem::path file = SaveKeyFiles(source, dir / "期中.score", prompt);
  std::filesystem::path rangeFile = file;
  rangeFile += ".x";

  const auto current = [] {
    ExamTables exam = MakeExam(45);
    AddRanges(exam, {{"多选题", 45, 4}});
    return exam;
  };
  const auto unchanged = [](const ExamTables& exam, const std::string& what) {
    EXPECT_EQ(exam.AnswerCD.ValueAt(1, "SType").AsString(), "多选题") << what;
    EXPECT_TRUE(exam.AnswerCD.ValueAt(1, "Answer").IsNull()) << what;
    ASSERT_EQ(exam.ClientDataSet1.RecordCount(), 1) << what;
  };

  {
    ExamTables exam = current();
    ScriptedPrompt p;
    EXPECT_TRUE(LoadKeyFiles(exam, file, p));
    EXPECT_TRUE(p.Asked.empty());
    EXPECT_EQ(Column(exam.AnswerCD, "Answer")[0], "ABC");
    EXPECT_EQ(TypeRangeNames(exam.ClientDataSet1),
              (std::vector<std::string>{"判断题", "单选题", "多选题"}));
    EXPECT_TRUE(CheckSetup(exam, kTemplate, false, p));
  }
  {
    ExamTables exam = current();
    ScriptedPrompt noAsk;
    SetQuestionCount(exam, 30, noAsk);  // the card now has 30 questions
    ScriptedPrompt p;
    EXPECT_FALSE(LoadKeyFiles(exam, file, p));
    ASSERT_EQ(p.Asked.size(), 1u);
    EXPECT_EQ(p.Asked[0].Text, "与当前所选答题卡题数不符！无法载入。");
    EXPECT_EQ(p.Asked[0].Icon, PromptIcon::Error);
    EXPECT_EQ(exam.AnswerCD.RecordCount(), 30);
  }

  const auto spoilRanges = [&](const char* how) {
    std::filesystem::remove(rangeFile);
    if (std::string(how) == "corrupt") std::ofstream(rangeFile) << "not a table";
    if (std::string(how) == "key table") std::filesystem::copy_file(file, rangeFile);
  };
  for (const char* how : {"missing", "corrupt", "key table"}) {
    spoilRanges(how);
    ExamTables exam = current();
    ScriptedPrompt p;
    EXPECT_FALSE(LoadKeyFiles(exam, file, p)) << how;
    ASSERT_EQ(p.Asked.size(), 1u) << how;
    EXPECT_NE(p.Asked[0].Text.find(rangeFile.string()), std::string::npos) << p.Asked[0].Text;
    unchanged(exam, how);
  }

  ExamTables exam = current();
  ScriptedPrompt p;
  EXPECT_FALSE(LoadKeyFiles(exam, rangeFile, p));  // a ".score.x" chosen as the key
  unchanged(exam, "range file as key");
}

}  // namespace
}  // namespace kestrelo
