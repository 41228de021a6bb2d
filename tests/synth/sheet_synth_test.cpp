// The sheet synthesiser: the same order draws the same frame; the truth says
// what was drawn; every condition keeps the printed frame inside the picture
// and its corners within the corner search's reach; bad material is refused
// with the file named; and the acceptance rule for ambiguous marks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "tests/common/TempFolder.h"
#include "tools/synth/BuildTree.h"
#include "tools/synth/Jpeg.h"
#include "tools/synth/SheetSynth.h"

namespace kestrelo::synth {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCardA = "A类-标准45题卡(荐)";
constexpr const char* kCardB = "B类-无考号100题卡";

SheetSynth& Synth() {
  static SheetSynth synth(BuildTreeSources());
  return synth;
}

TEST(SheetSynth, SameOrderSameFrameOtherSeedOtherFrame) {
  SheetOrder order;
  order.Card = kCardA;
  order.Cond = Condition::Messy;
  order.Seed = 7;
  const SynthSheet a = Synth().Make(order);
  const SynthSheet b = Synth().Make(order);
  EXPECT_EQ(a.Frame.Width(), 800);
  EXPECT_EQ(a.Frame.Height(), 600);
  EXPECT_TRUE(a.Frame == b.Frame);
  EXPECT_EQ(TruthJson(a.Truth), TruthJson(b.Truth));
  order.Seed = 8;
  const SynthSheet c = Synth().Make(order);
  EXPECT_FALSE(a.Frame == c.Frame);
  EXPECT_NE(a.Truth.Answers, c.Truth.Answers);
}

TEST(SheetSynth, TruthRecordsTheGivenAnswersAndEveryIntendedMark) {
  const SynthCard& card = Synth().Card(kCardA);
  SheetAnswers given;
  given.ExamNumber = "20231";
  given.Answers.assign(card.Questions.size(), "B");
  given.Answers[0] = "";
  given.Answers[44] = "ACD";
  SheetOrder order;
  order.Card = kCardA;
  order.ExamNumber = given.ExamNumber;
  order.Answers = given.Answers;
  order.Seed = 3;
  const GroundTruth t = Synth().Make(order).Truth;
  EXPECT_EQ(t.ExamNumber, "20231");
  EXPECT_EQ(t.Answers, given.Answers);
  // Clean sheets have no ambiguous marks: one intended mark per letter and digit.
  std::string marked, digits(5, '?');
  for (const TruthMark& m : t.Marks) {
    EXPECT_TRUE(m.Intended);
    EXPECT_FALSE(m.Ambiguous);
    if (m.Position > 0) digits[static_cast<std::size_t>(m.Position - 1)] = m.Letter[0];
    if (m.Question == 45) marked += m.Letter;
  }
  EXPECT_EQ(digits, "20231");
  EXPECT_EQ(marked, "ACD");
  EXPECT_EQ(t.Marks.size(), 5u + 43u + 3u);
}

TEST(SheetSynth, MessySheetsMarkTheirAmbiguousLettersInTheTruth) {
  int ambiguous = 0;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    SheetOrder order;
    order.Card = kCardB;
    order.Cond = Condition::Messy;
    order.Seed = seed;
    const GroundTruth t = Synth().Make(order).Truth;
    for (const TruthMark& m : t.Marks) {
      if (!m.Ambiguous) continue;
      ++ambiguous;
      ASSERT_GT(m.Question, 0);
      EXPECT_NE(t.Ambiguous[static_cast<std::size_t>(m.Question - 1)].find(m.Letter),
                std::string::npos);
    }
  }
  EXPECT_GE(ambiguous, 4);
}

// The frame fits and its corners are within reach for every condition, on a
// card as wide as the set has and on one of the narrowest, across coverages.
TEST(SheetSynth, EveryConditionKeepsTheFrameWithinReach) {
  for (const char* name : {kCardA, kCardB}) {
    const SynthCard& card = Synth().Card(name);
    for (Condition c : AllConditions()) {
      for (std::uint32_t seed = 1; seed <= 25; ++seed) {
        SheetOrder order;
        order.Card = name;
        order.Cond = c;
        order.Seed = seed;
        const SheetPlan plan = PlanSheet(card, order);
        SCOPED_TRACE(std::string(name) + " " + ConditionName(c) + " seed " + std::to_string(seed));
        EXPECT_TRUE(FrameFits(CornersInFrame(card, plan.Scene), plan.Scene, 8));
        EXPECT_GE(plan.Scene.Coverage, order.CoverageLo);
        EXPECT_LE(plan.Scene.Coverage, order.CoverageHi);
        if (c == Condition::Turned && !plan.Reduced) {
          EXPECT_GE(std::abs(plan.Scene.Angle), 4.0);
        }
        if (c == Condition::Edges) {
          EXPECT_TRUE(plan.Place.EdgeSide >= 0 || plan.Scene.Hand >= 0);
        }
      }
    }
  }
}

TEST(SheetSynth, AmbiguousLettersMayBeReadEitherWay) {
  GroundTruth t;
  t.Answers = {"B", "AC", "", "D"};
  t.Ambiguous = {"", "C", "A", "D"};
  struct Case {
    std::size_t Q;
    const char* Read;
    bool Accepted;
  };
  for (const Case& c :
       {Case{0, "B", true}, Case{0, "", false}, Case{0, "BC", false}, Case{1, "AC", true},
        Case{1, "CA", true}, Case{1, "A", true}, Case{1, "C", false}, Case{1, "ACD", false},
        Case{2, "", true}, Case{2, "A", true}, Case{2, "B", false}, Case{3, "", true},
        Case{3, "D", true}, Case{3, "A D", false}, Case{9, "", false}}) {
    EXPECT_EQ(AnswerAccepted(t, c.Q, c.Read), c.Accepted) << c.Q << " " << c.Read;
  }
}

TEST(SheetSynth, AnswersThatDoNotFitTheCardAreRefused) {
  const SynthCard& card = Synth().Card(kCardA);
  SheetAnswers a;
  a.ExamNumber = "12345";
  a.Answers.assign(card.Questions.size(), "A");
  EXPECT_NO_THROW(CheckAnswers(card, a));
  struct Case {
    const char* Number;
    std::size_t Count;
    const char* Answer;
  };
  for (const Case& c : {Case{"1234", 45, "A"}, Case{"1234X", 45, "A"}, Case{"12345", 44, "A"},
                        Case{"12345", 45, "E"}}) {
    SheetAnswers bad;
    bad.ExamNumber = c.Number;
    bad.Answers.assign(c.Count, c.Answer);
    EXPECT_THROW(CheckAnswers(card, bad), Error) << c.Number << " " << c.Count << " " << c.Answer;
  }
  SheetAnswers numbered;
  numbered.ExamNumber = "1";
  numbered.Answers.assign(Synth().Card(kCardB).Questions.size(), "A");
  EXPECT_THROW(CheckAnswers(Synth().Card(kCardB), numbered), Error);
}

TEST(SheetSynth, BadCardMaterialNamesTheFile) {
  const SynthSources real = BuildTreeSources();
  TempFolder tmp;
  const std::string name = kCardA;
  fs::copy_file(real.Geometry / Utf8Path(name + ".json"), tmp / Utf8Path(name + ".json"));
  const std::string good = ReadWholeFile(tmp / Utf8Path(name + ".json"));
  struct Case {
    std::string Text;
    const char* Says;
  };
  // The frame moved far to the right of the picture.
  std::string moved = good;
  const std::size_t at = moved.find("\"frame\":[") + 9;
  moved.replace(at, moved.find(',', at) - at, "9000");
  for (const Case& c :
       {Case{"{\"family\":", "not valid JSON"}, Case{"{}", "not a card geometry record"},
        Case{moved, "outside the card picture"}}) {
    WriteFileAtomically(tmp / Utf8Path(name + ".json"), c.Text);
    try {
      LoadSynthCard(real.Templates, tmp.Path(), name);
      ADD_FAILURE() << c.Says;
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(name + ".json"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.Says), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(LoadSynthCard(real.Templates, tmp.Path(), "no such card"), FileError);
}

TEST(SheetSynth, CompressionKeepsFlatAreasAndSoftensEdges) {
  Picture p(64, 48);
  p.Fill(120, 130, 140);
  for (int y = 0; y < 48; ++y) {
    for (int x = 30; x < 64; ++x) p.Pixel(x, y)[0] = p.Pixel(x, y)[1] = p.Pixel(x, y)[2] = 20;
  }
  Picture q = p.Clone();
  CompressLikeJpeg(q, 50, 3, 5);
  int worstFlat = 0;
  bool changed = false;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      for (int k = 0; k < 3; ++k) {
        const int d = std::abs(q.Pixel(x, y)[k] - p.Pixel(x, y)[k]);
        if (x < 20 || x > 40) worstFlat = std::max(worstFlat, d);
        changed = changed || d > 2;
      }
    }
  }
  EXPECT_LE(worstFlat, 3);  // colour rounding through YCbCr only
  EXPECT_TRUE(changed);     // the edge rings
}

}  // namespace
}  // namespace kestrelo::synth
