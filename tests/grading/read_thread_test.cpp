#include "grading/ReadThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "analysis/CardTemplate.h"
#include "tests/analysis/PhotographCard.h"
#include "tests/analysis/SyntheticCard.h"
#include "tests/common/ScriptedPrompt.h"

namespace kestrelo {
namespace {

// 12 rows of 10 columns of boxes; question c+1 runs down column c.
test::CardPlan Card() {
  test::CardPlan s;
  s.Rows = 12;
  s.Cols = 10;
  s.PitchX = 40;
  s.PitchY = 28;
  s.BoxW = 28;
  s.BoxH = 18;
  s.Outline = 2;
  s.LineThick = 5;
  s.Margin = 40;
  s.Inset = 10;
  s.Filled = {{0, 0}, {3, 1}, {11, 2}, {5, 3}, {1, 4}, {7, 5},
              {2, 6}, {9, 7}, {4, 8},  {6, 9}, {8, 9}};
  return s;
}

// Read: A D L F B H C J E GI. The key gets questions 1-3 and 10 right.
CompiledKey Key(std::size_t count = 10) {
  const char* letters[] = {"A", "D", "L", "A", "A", "A", "A", "A", "A", "GI"};
  CompiledKey k;
  for (std::size_t i = 0; i < count; ++i) {
    TAnswer a;
    a.Item = static_cast<int>(i + 1);
    a.TypeIndex = 0;
    a.RightScore = 2;
    a.Answer = letters[i % 10];
    a.IsMulti = i == 9;
    k.AnswerKey.push_back(a);
  }
  TTypeRec run;
  run.Name = "选择";
  run.RightScore = 2;
  k.KeyTypeRuns.push_back(run);
  return k;
}

class TestDisplay : public ReadDisplay {
 public:
  int JudgeValue() override { return 0; }
  void ShowStatus(const std::string& t) override { statuses.push_back(t); }
  void ShowSamples(const Picture&, const TMarginRecord&, const TMarginRecord&) override {}
  void ShowSheet(const Picture&, const TRect&) override { ++sheets; }
  void ShowDebugImages(const Picture&, const Picture&) override {}
  void ShowDetail(const std::string&) override {
    if (failDetail) throw std::runtime_error("the memo is gone");
  }
  void HoldFrames(bool) override {}
  void Beep() override { ++beeps; }
  void ReadDone(const ReadOutcome& o) override { outcomes.push_back(o); }

  std::vector<std::string> statuses;
  std::vector<ReadOutcome> outcomes;
  int sheets = 0, beeps = 0;
  bool failDetail = false;
};

class ReadThreadTest : public ::testing::Test {
 public:
  ReadThreadTest()
      : key(Key()),
        dsDB(MakeResultsTable()),
        session{state, cfg, ui, display, prompt, key, dsDB, recording} {
    state.DisplayHold = false;
    BuildResultsTable(dsDB, {"选择"}, 10, prompt);
  }

  ReadHandOff HandOff(double angle = 3) {
    static const test::Card card = test::DrawCard(Card());
    static const std::string text =
        CardTemplate::FromText(test::CardTemplateText(Card())).ToText();
    test::Located l = test::Locate(test::Photograph(card.Sheet, 1.2, angle, 11), text, cfg);
    EXPECT_TRUE(l.Location.Accepted) << l.Location.Message;
    return std::move(l.HandOff);
  }

  ReadingState state;
  Tcfg cfg;
  UiDispatcher ui;
  TestDisplay display;
  ScriptedPrompt prompt;
  CompiledKey key;
  DataTable dsDB;
  RecordingState recording;
  ReadSession session;
};

TEST_F(ReadThreadTest, RecordsGradesAndShowsAReadSheet) {
  const ReadOutcome o = ExecuteReading(session, HandOff());
  ASSERT_EQ(o.Status, kAnalysisSuccess) << o.Reason;
  EXPECT_TRUE(o.Recorded);
  EXPECT_EQ(o.Answers, (std::vector<std::string>{"A", "D", "L", "F", "B", "H", "C", "J", "E",
                                                 "GI"}));
  EXPECT_FLOAT_EQ(o.Total, 8);
  EXPECT_EQ(dsDB.RecordCount(), 1);
  EXPECT_EQ(display.sheets, 1);
  ASSERT_EQ(display.outcomes.size(), 1u);
  EXPECT_EQ(o.Detail.rfind("考号：", 0), 0u);
  EXPECT_NE(o.Detail.find("总得分： 8  分"), std::string::npos);
  EXPECT_FALSE(state.DisplayHold.load());
  EXPECT_EQ(state.DemoPictureNo.load(), 2);
}

TEST_F(ReadThreadTest, FailedReadingsRecordNothingAndSayWhy) {
  struct Case {
    const char* name;
    std::function<ReadHandOff(ReadThreadTest&)> handOff;
    std::size_t keyLength;
    std::string error;  // the status panel's text
  };
  const std::vector<Case> cases{
      {"unreadable frame",
       [](ReadThreadTest& t) {
         ReadHandOff h = t.HandOff();
         h.Frame = Picture(h.Frame.Width(), h.Frame.Height());  // all black
         return h;
       },
       10, kAnalysisFailed},
      {"key of another length", [](ReadThreadTest& t) { return t.HandOff(); }, 11,
       std::string(kCountMismatch) + "10 11"},
      {"malformed template",
       [](ReadThreadTest& t) {
         ReadHandOff h = t.HandOff();
         h.TemplateText = "{not json";
         return h;
       },
       10, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    key = Key(c.keyLength);
    display.statuses.clear();
    const ReadOutcome o = ExecuteReading(session, c.handOff(*this));
    EXPECT_FALSE(o.Recorded);
    EXPECT_EQ(dsDB.RecordCount(), 0);
    ASSERT_FALSE(display.statuses.empty());
    EXPECT_EQ(display.statuses.back(), c.error);
  }
}

TEST_F(ReadThreadTest, RepeatedSheetsAndHeldDisplay) {
  for (bool ignore : {true, false}) {
    SCOPED_TRACE(ignore ? "repeats ignored" : "repeats recorded");
    cfg.SetFIgnoreRepeatSheet(ignore);
    session.LastSheetSignature.clear();
    BuildResultsTable(dsDB, {"选择"}, 10, prompt);
    recording = RecordingState{};
    ASSERT_TRUE(ExecuteReading(session, HandOff()).Recorded);
    const ReadOutcome again = ExecuteReading(session, HandOff(-2));
    EXPECT_EQ(again.Slots.RepeatNote, kRepeatNote);
    EXPECT_NE(display.statuses.back().find(kRepeatNote), std::string::npos);
    EXPECT_EQ(again.Recorded, !ignore);
    // This card has no examinee number, and a sheet without one always
    // takes a new row.
    EXPECT_EQ(dsDB.RecordCount(), ignore ? 1 : 2);
  }
  // A reading that finds another sheet being recorded is dropped silently.
  state.DisplayHold = true;
  const ReadOutcome held = ExecuteReading(session, HandOff());
  EXPECT_TRUE(held.Dropped);
  EXPECT_FALSE(held.Recorded);
  EXPECT_EQ(display.statuses.back(), "");
  EXPECT_TRUE(state.DisplayHold.load());  // left alone
}

TEST_F(ReadThreadTest, AnErrorWhileRecordingBeepsAndReleasesTheDisplay) {
  display.failDetail = true;
  const ReadOutcome o = ExecuteReading(session, HandOff());
  EXPECT_FALSE(o.Recorded);
  EXPECT_EQ(o.Slots.ErrorText, kRecordFailed);
  EXPECT_EQ(display.statuses.back(), kRecordFailed);
  EXPECT_EQ(display.beeps, 1);
  EXPECT_FALSE(state.DisplayHold.load());
}

TEST(StatusPanelText, EachPartIsCutToItsWidth) {
  ReadStatus s{"多选题 单选！", "单选题 多选！", std::string(200, 'e'), kRepeatNote};
  const std::string t = StatusPanelText(s);
  EXPECT_EQ(t.rfind("多选题 单选！单选题 多选！eee", 0), 0u);
  EXPECT_EQ(GbkLength(t), 120 + GbkLength(kRepeatNote));  // the error text stops at 120
  EXPECT_EQ(StatusPanelText({"", "", "x", kRepeatNote}), std::string("x") + kRepeatNote);
}

TEST_F(ReadThreadTest, ThreadsRunOneAtATimeAndShutDownWhileWaitingOnTheUi) {
  TReadThreads threads(session);
  threads.Launch(HandOff());
  EXPECT_EQ(state.ReadThreadsAlive.load(), 1);
  ASSERT_TRUE(threads.WaitIdle(20000));
  EXPECT_EQ(dsDB.RecordCount(), 1);
  EXPECT_EQ(display.outcomes.size(), 1u);

  // The thread now waits for the UI thread, which never serves it.
  session.LastSheetSignature.clear();
  threads.Launch(HandOff());
  const auto start = std::chrono::steady_clock::now();
  threads.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(state.ReadThreadsAlive.load(), 0);
  EXPECT_EQ(display.outcomes.size(), 1u);  // the stopped run touched nothing more
  EXPECT_FALSE(state.DisplayHold.load());
}

}  // namespace
}  // namespace kestrelo
