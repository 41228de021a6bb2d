// The demo data the build lays into the program folder: every sheet reads,
// as the program reads it, to its examinee's number and intended answers,
// grades under the demo key to what those answers earn, and its number finds
// the examinee in the demo roster.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/ProgramFolder.h"
#include "grading/Scoring.h"
#include "imaging/BmpFile.h"
#include "setup/AnswerKey.h"
#include "setup/Roster.h"
#include "tests/common/ScriptedPrompt.h"
#include "tools/synth/DemoData.h"
#include "tools/synth/FrameReading.h"

namespace kestrelo::synth {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::vector<std::string>& answers) {
  std::vector<std::string> lines;
  for (const std::string& a : answers) lines.push_back(a.empty() ? " " : a);
  return lines;
}

TEST(DemoData, SheetsReadToTheIntendedResults) {
  const fs::path program = KESTRELO_PROGRAM_DIR;
  const DemoDescription demo =
      LoadDemoDescription(fs::path(KESTRELO_SOURCE_DIR) / "data" / "synth" / "demo.json");
  ASSERT_EQ(demo.Examinees.size(), 5u);

  // As the setup dialog does it: choose the card, then load the key.
  ExamTables exam;
  ScriptedPrompt prompt;
  exam.CardName = demo.Card;
  ASSERT_TRUE(SetQuestionCount(exam, static_cast<int>(demo.Key.size()), prompt));
  const ProgramFolder folder(program);
  ASSERT_TRUE(LoadKeyFiles(
      exam, folder.Score() / Utf8Path(demo.KeyName + "_" + demo.Card + ".score"), prompt));
  const CompiledKey key = CompileKey(exam.AnswerCD, prompt);
  ASSERT_EQ(key.AnswerKey.size(), demo.Key.size());
  std::vector<std::string> runs;
  for (const TTypeRec& r : key.KeyTypeRuns) runs.push_back(r.Name);
  EXPECT_EQ(runs, (std::vector<std::string>{"判断题", "单选题", "多选题"}));

  DataTable roster = MakeRosterTable();
  LoadRoster(roster, folder.Roster() / Utf8Path(demo.RosterName + ".名册"));
  NameValueList names, rows;
  BuildRosterLookups(roster, names, rows);

  const std::string templateText =
      ReadWholeFile(program / "PaperTemplate" / Utf8Path(demo.Card + ".Config"));
  float best = 0;
  for (std::size_t i = 0; i < demo.Examinees.size(); ++i) {
    const DemoExaminee& e = demo.Examinees[i];
    SCOPED_TRACE("TestPaper/" + std::to_string(i + 1) + ".bmp, " + e.Name);
    const FrameReading r =
        ReadFrame(ReadBmp(program / "TestPaper" / (std::to_string(i + 1) + ".bmp")), templateText,
                  key.AnswerKey, Tcfg{});
    ASSERT_TRUE(r.Located) << r.LocateMessage;
    ASSERT_TRUE(r.Analysed) << r.Status << " " << r.Reason;
    EXPECT_EQ(r.ExamNo, e.Number);
    EXPECT_EQ(r.Answers, e.Answers.Answers);
    EXPECT_EQ(names.Value(r.ExamNo), e.Name);

    TRecArray readCells, meantCells;
    const SheetGrade read = GradeSheet(Lines(r.Answers), key, GradeOptions{}, readCells);
    const SheetGrade meant = GradeSheet(Lines(e.Answers.Answers), key, GradeOptions{}, meantCells);
    EXPECT_EQ(read.Total, meant.Total);
    best = std::max(best, meant.Total);
  }
  // The examinee with every answer right earns the whole paper.
  EXPECT_FLOAT_EQ(best, 20 * 1 + 40 * 1.5f + 20 * 2);
}

}  // namespace
}  // namespace kestrelo::synth
