// Mark reading: the mark test of one cell, the darkness measure, the result
// line and colours of a block under each option, the examinee number, the
// verification strips, and the whole analysis of a drawn card.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/CardTemplate.h"
#include "analysis/PaperRectDevide.h"
#include "analysis/RectAnalyse.h"
#include "analysis/SortCellRect.h"
#include "setup/AnswerKey.h"
#include "tests/analysis/SyntheticCard.h"

namespace kestrelo {
namespace {

struct BlockPlan {
  std::string Id;
  int Line = 1;   // from 1
  int Colum = 1;  // from 1
  int Count = 4;
  std::string Orient = "LeftRight";
  std::string Letters = "ABCD";
  int BackAnswerNum = 0;
};

std::string BlocksJson(const std::vector<BlockPlan>& blocks) {
  std::string s;
  for (const BlockPlan& b : blocks) {
    if (!s.empty()) s += ",";
    s += R"({"Id":")" + b.Id + R"(","PaperRects_ID":1,"StartPosLine":)" + std::to_string(b.Line) +
         R"(,"StartPosColum":)" + std::to_string(b.Colum) + R"(,"GridNum":)" +
         std::to_string(b.Count) + R"(,"Orient":")" + b.Orient + R"(","BackValue":")" + b.Letters +
         R"(","BackAnswerNum":)" + std::to_string(b.BackAnswerNum) + "}";
  }
  return "[" + s + "]";
}

std::string TemplateJson(int rows, int cols, const std::vector<BlockPlan>& testNo,
                         const std::vector<BlockPlan>& questions,
                         const std::vector<BlockPlan>& verifys = {}) {
  const std::string r = std::to_string(rows);
  const std::string c = std::to_string(cols);
  return R"({"DevidePaper":{"LinesThreadCount":2,"ColumsThreadCount":2,"LineCount":)" + r +
         R"(,"ColumCount":)" + c +
         R"(,"ClearRects":[],"PaperRects":{"PaperRect1":{"Left":0,"Top":0,"Right":1,"Bottom":1,
         "LineCount":)" +
         r + R"(,"ColumCount":)" + c +
         R"(,"FirstCellLine":1,"FirstCellColum":1}}},"SplitConfig":{"TestNoAreaBlank":-1},
         "TestNo":)" +
         BlocksJson(testNo) + R"(,"Questions":)" + BlocksJson(questions) + R"(,"Verifys":)" +
         BlocksJson(verifys) + "}";
}

// A grid of 40 x 30 pixel cells laid out by hand (no frame lines, no layout
// step): a mark is a solid box 28 x 18 inside its cell whose ink has a given
// grey level. The cell records are measured from the picture.
class MarkSheet {
 public:
  static constexpr int kW = 40;
  static constexpr int kH = 30;
  static constexpr int kInset = 6;

  MarkSheet(int rows, int cols, const std::string& templateText)
      : rows_(rows),
        cols_(cols),
        tmpl_(CardTemplate::FromText(templateText)),
        pic_(cols * kW, rows * kH) {
    grey_.assign(static_cast<std::size_t>(rows * kH),
                 TIntDynaArr(static_cast<std::size_t>(cols * kW), 255));
    bmp_.LoadBitmap(pic_);
    division_.SetPaperConfig(tmpl_);
  }

  Tcfg cfg;

  static TRect CellRect(int r, int c) {
    return TRect{c * kW, r * kH, c * kW + kW - 1, r * kH + kH - 1};
  }

  void Mark(int r, int c, int greyLevel) {
    const TRect cell = CellRect(r, c);
    for (int y = cell.Top + kInset; y <= cell.Bottom - kInset; ++y) {
      for (int x = cell.Left + kInset; x <= cell.Right - kInset; ++x) {
        bmp_.SetPixel(y, x, kBlack);
        grey_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = greyLevel;
      }
    }
  }

  // The analyser with every cell measured.
  TRectAnalyse& Analyser() {
    if (!analyse_) {
      analyse_ = std::make_unique<TRectAnalyse>(TRect{0, 0, cols_ * kW - 1, rows_ * kH - 1}, rows_,
                                                cols_, cfg);
      analyse_->PaperDevide = &division_;
      analyse_->Bmp = &bmp_;
      analyse_->GreyPlane = &grey_;
      for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < cols_; ++c) analyse_->MakeCellInfo(r, c, CellRect(r, c));
      }
    }
    return *analyse_;
  }

  const CardTemplate& Template() const { return tmpl_; }
  const Picture& Pic() const { return pic_; }

  TColorTriple At(int x, int y) const {
    const std::uint8_t* p = pic_.Pixel(x, y);
    return TColorTriple{p[0], p[1], p[2]};
  }
  // The middle of the mark, the paper between mark and frame, the frame.
  TColorTriple Ink(int r, int c) const { return At(c * kW + kW / 2, r * kH + kH / 2); }
  TColorTriple Paper(int r, int c) const { return At(c * kW + 4, r * kH + 4); }
  TColorTriple Frame(int r, int c) const { return At(c * kW + 2, r * kH + 2); }

 private:
  int rows_;
  int cols_;
  CardTemplate tmpl_;
  Picture pic_;
  TIntBmp bmp_;
  TIntDynaArrArr grey_;
  TPaperRectDevide division_;
  std::unique_ptr<TRectAnalyse> analyse_;
};

// --- the mark test of one cell ----------------------------------------------

TCellInfo Cell(TRect rect, TRect content, int dark, int maxRowDark, bool filled) {
  TCellInfo c;
  c.Rect = rect;
  c.ContentRect = content;
  c.DarkCount = dark;
  c.ContentArea = TIntBmp::PixelCount(content);
  c.MaxRowDark = maxRowDark;
  c.Filled = filled;
  return c;
}

TEST(IsMarked, AutomaticJudgementNeedsAllSevenTests) {
  const TRect cell40{0, 0, 39, 39};  // W = 39
  struct Case {
    const char* Name;
    TCellInfo Info;
    bool Marked;
  };
  const Case cases[] = {
      {"30x30 content, 500 ink", Cell(cell40, {5, 5, 34, 34}, 500, 25, true), true},
      {"40 % ink missed: 300 of 900", Cell(cell40, {5, 5, 34, 34}, 300, 25, true), false},
      {"taller than wide (29 x 37)", Cell(cell40, {5, 1, 34, 38}, 700, 25, true), false},
      {"no row with more than 10", Cell(cell40, {5, 5, 34, 34}, 500, 10, true), false},
      {"a third of a wide cell", Cell({0, 0, 87, 39}, {5, 5, 34, 34}, 500, 25, true), false},
      {"50 ink pixels", Cell({0, 0, 20, 20}, {2, 2, 12, 12}, 50, 11, true), false},
      {"51 ink pixels", Cell({0, 0, 20, 20}, {2, 2, 12, 12}, 51, 11, true), true},
      {"ink 11 columns wide", Cell({0, 0, 20, 20}, {2, 2, 12, 9}, 60, 11, true), true},
      {"ink 10 columns wide", Cell({0, 0, 20, 20}, {2, 2, 11, 9}, 60, 11, true), false},
      {"middle columns not all inked", Cell(cell40, {5, 5, 34, 34}, 500, 25, false), false},
      {"empty cell", Cell(cell40, {0, 0, 0, 0}, 0, 0, false), false},
  };
  MarkSheet sheet(1, 1, TemplateJson(1, 1, {}, {}));
  TRectAnalyse& a = sheet.Analyser();
  for (const Case& c : cases) {
    a.Cells[0][0] = c.Info;
    EXPECT_EQ(a.IsMarked(0, 0, TReadMode::Answer), c.Marked) << c.Name;
  }
}

TEST(IsMarked, ManualThresholdComparesTheInkCount) {
  MarkSheet sheet(1, 1, TemplateJson(1, 1, {}, {}));
  sheet.cfg.SetFAutoJudge(false);
  TRectAnalyse& a = sheet.Analyser();
  a.JudgeValue = 75;
  // Shapes that automatic judgement refuses do not matter here.
  a.Cells[0][0] = Cell({0, 0, 39, 39}, {5, 1, 8, 38}, 75, 2, false);
  EXPECT_FALSE(a.IsMarked(0, 0, TReadMode::Answer));
  a.Cells[0][0].DarkCount = 76;
  EXPECT_TRUE(a.IsMarked(0, 0, TReadMode::Answer));
  a.Cells[0][0].ContentArea = 0;
  EXPECT_FALSE(a.IsMarked(0, 0, TReadMode::Answer));
}

TEST(IsMarked, MarginRecordsKeepTheClosestCellsOfAnswerBlocksOnly) {
  MarkSheet sheet(1, 4, TemplateJson(1, 4, {}, {}));
  sheet.cfg.SetFAutoJudge(false);
  TRectAnalyse& a = sheet.Analyser();
  a.JudgeValue = 200;
  EXPECT_EQ(a.LightestMarked.DarkCount, 10000);
  EXPECT_EQ(a.DarkestUnmarked.DarkCount, 0);
  const int dark[] = {500, 400, 150, 100};
  for (int c = 0; c < 4; ++c) a.Cells[0][static_cast<std::size_t>(c)].DarkCount = dark[c];
  for (int c = 0; c < 4; ++c) a.IsMarked(0, c, TReadMode::Answer);
  EXPECT_EQ(a.LightestMarked.DarkCount, 400);
  EXPECT_EQ(a.LightestMarked.Colum, 1);
  EXPECT_EQ(a.LightestMarked.Rect, MarkSheet::CellRect(0, 1));
  EXPECT_EQ(a.DarkestUnmarked.DarkCount, 150);
  EXPECT_EQ(a.DarkestUnmarked.Colum, 2);

  // Verification cells leave them alone.
  a.Cells[0][0].DarkCount = 201;
  a.Cells[0][3].DarkCount = 199;
  a.IsMarked(0, 0, TReadMode::Verify);
  a.IsMarked(0, 3, TReadMode::Verify);
  EXPECT_EQ(a.LightestMarked.DarkCount, 400);
  EXPECT_EQ(a.DarkestUnmarked.DarkCount, 150);
}

// --- the darkness measure -----------------------------------------------------

TEST(CellDarkness, MeanGreyOfPureBlackOffTheRowLines) {
  struct Case {
    const char* Name;
    std::vector<int> Greys;  // one black pixel each, 10000 a row-line marker
    int PaintedLime;         // extra pixels painted lime (first byte 0, not ink)
    int Want;
  };
  const Case cases[] = {
      {"50 pixels are too few", std::vector<int>(50, 40), 0, 200},
      {"51 pixels of grey 40", std::vector<int>(51, 40), 0, 40},
      {"row markers are left out",
       [] {
         auto v = std::vector<int>(51, 40);
         v[7] = 10000;
         return v;
       }(),
       0, 200},
      {"painted cells are left out", std::vector<int>(50, 40), 30, 200},
      {"40.5 rounds to 40",
       [] {
         auto v = std::vector<int>(26, 40);
         v.resize(52, 41);
         return v;
       }(),
       0, 40},
      {"41.5 rounds to 42",
       [] {
         auto v = std::vector<int>(26, 41);
         v.resize(52, 42);
         return v;
       }(),
       0, 42},
  };
  for (const Case& c : cases) {
    MarkSheet sheet(1, 1, TemplateJson(1, 1, {}, {}));
    TRectAnalyse& a = sheet.Analyser();
    TIntBmp& bmp = *a.Bmp;
    int i = 0;
    for (int g : c.Greys) {
      bmp.SetPixel(i / 20, i % 20, kBlack);
      (*a.GreyPlane)[static_cast<std::size_t>(i / 20)][static_cast<std::size_t>(i % 20)] = g;
      ++i;
    }
    for (int k = 0; k < c.PaintedLime; ++k, ++i) bmp.SetPixel(i / 20, i % 20, kSingleMarkColor);
    EXPECT_EQ(a.CellDarkness(TRect{0, 0, 39, 29}), c.Want) << c.Name;
  }
}

TEST(SortCellRectList, DarkestLastAndTheFirstOfEqualsLastOfAll) {
  TSortCellRectList list;
  list.SortDescending();  // empty: nothing happens
  EXPECT_EQ(list.Current(), nullptr);
  const int darkness[] = {90, 30, 200, 30};
  for (int k = 0; k < 4; ++k) {
    TSortCellRect& e = list.AddCellRect();
    e.Darkness = darkness[k];
    e.Colum = k;
  }
  EXPECT_EQ(list.Current()->Colum, 3);
  list.SortDescending();
  EXPECT_EQ(list.GetCellRect(0).Darkness, 200);
  EXPECT_EQ(list.Current()->Darkness, 200);
  EXPECT_EQ(list.Last().Colum, 1);
  EXPECT_THROW(list.GetCellRect(4), std::out_of_range);
  list.ClearCellRects();
  EXPECT_TRUE(list.Empty());
}

// --- blocks -------------------------------------------------------------------

// One question "7" over four cells A-D in row 0.
MarkSheet QuestionSheet() { return MarkSheet(1, 4, TemplateJson(1, 4, {}, {{"7", 1, 1}})); }

std::string ReadQuestion(MarkSheet& sheet, std::string_view key, bool multi, bool skip = false) {
  TRectAnalyse& a = sheet.Analyser();
  return a.ReadBlock(sheet.Template().Questions[0], TReadMode::Answer, key, false, skip, multi);
}

TEST(ReadBlock, SingleChoiceWithTwoMarksTakesTheDarkerWhenForced) {
  struct Case {
    const char* Name;
    bool Force;
    int GreyB;
    int GreyD;
    std::string Want;
  };
  const Case cases[] = {
      {"forced, D darker", true, 90, 30, "7=D"},
      {"forced, B darker", true, 30, 90, "7=B"},
      {"forced, equally dark: the first in cell order", true, 60, 60, "7=B"},
      {"not forced: both letters", false, 90, 30, "7=BD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MarkSheet sheet = QuestionSheet();
    sheet.cfg.SetFForceSingleChoice(c.Force);
    sheet.Mark(0, 1, c.GreyB);
    sheet.Mark(0, 3, c.GreyD);
    EXPECT_EQ(ReadQuestion(sheet, "D", false), c.Want);
    for (int col : {0, 1, 2, 3}) EXPECT_EQ(sheet.Frame(0, col), kFrameColor);
    if (c.Force) {
      // The letter taken shows as a single mark; the other keeps its ink
      // black on a red ground.
      const int taken = c.Want == "7=D" ? 3 : 1;
      const int other = 4 - taken;
      EXPECT_EQ(sheet.Ink(0, taken), kSingleMarkColor);
      EXPECT_EQ(sheet.Paper(0, taken), kBackColor);
      EXPECT_EQ(sheet.Ink(0, other), kBlack);
      EXPECT_EQ(sheet.Paper(0, other), kMarkRed);
    } else {
      for (int col : {1, 3}) {
        EXPECT_EQ(sheet.Ink(0, col), kMultiMarkColor);
        EXPECT_EQ(sheet.Paper(0, col), kMarkRed);
      }
    }
    EXPECT_EQ(sheet.Paper(0, 0), kWhite);  // unmarked cells keep their paper
  }
}

TEST(ReadBlock, SingleMarkAndNoMark) {
  {
    MarkSheet sheet = QuestionSheet();
    sheet.Mark(0, 2, 50);
    EXPECT_EQ(ReadQuestion(sheet, "C", false), "7=C");
    EXPECT_EQ(sheet.Ink(0, 2), kSingleMarkColor);
    EXPECT_EQ(sheet.Paper(0, 2), kBackColor);
  }
  {
    MarkSheet sheet = QuestionSheet();
    EXPECT_EQ(ReadQuestion(sheet, "C", false), "7= ");
    for (int col : {0, 1, 2, 3}) EXPECT_EQ(sheet.Frame(0, col), kMarkRed);
  }
}

TEST(ReadBlock, MultipleChoiceKeepsEveryLetter) {
  struct Case {
    const char* Name;
    bool Fixed;
    std::string Key;
    TColorTriple WantInk;
  };
  const Case cases[] = {
      {"count not fixed", false, "ABC", kMultiMarkColor},
      {"fixed count met", true, "AC", kMultiMarkColor},
      {"fixed count missed", true, "ABC", kYellow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MarkSheet sheet = QuestionSheet();
    sheet.cfg.SetFFixedMultiCount(c.Fixed);
    sheet.Mark(0, 0, 80);
    sheet.Mark(0, 2, 40);
    EXPECT_EQ(ReadQuestion(sheet, c.Key, true), "7=AC");
    EXPECT_EQ(sheet.Ink(0, 0), c.WantInk);
    EXPECT_EQ(sheet.Ink(0, 2), c.WantInk);
    EXPECT_EQ(sheet.Paper(0, 0), kBackColor);
    for (int col : {0, 1, 2, 3}) EXPECT_EQ(sheet.Frame(0, col), kMultiFrameColor);
    // Every option was a candidate.
    EXPECT_EQ(sheet.Analyser().MarkList.Count(), 4);
  }
}

TEST(ReadBlock, MultipleChoiceWithOneLetterIsShownOnRed) {
  MarkSheet sheet = QuestionSheet();
  sheet.Mark(0, 1, 40);
  EXPECT_EQ(ReadQuestion(sheet, "BC", true), "7=B");
  EXPECT_EQ(sheet.Ink(0, 1), kSingleMarkColor);
  EXPECT_EQ(sheet.Paper(0, 1), kMarkRed);
}

TEST(ReadBlock, UnusedQuestionJudgesNoCell) {
  MarkSheet sheet = QuestionSheet();
  sheet.Mark(0, 1, 40);
  TRectAnalyse& a = sheet.Analyser();
  const Picture before = sheet.Pic().Clone();
  EXPECT_EQ(ReadQuestion(sheet, "X", false, true), "7= ");
  EXPECT_TRUE(sheet.Pic() == before);
  EXPECT_EQ(a.LightestMarked.DarkCount, 10000);
  EXPECT_EQ(a.DarkestUnmarked.DarkCount, 0);
}

TEST(ReadBlock, UnknownOrientHasNoCells) {
  MarkSheet sheet(1, 4, TemplateJson(1, 4, {}, {{"7", 1, 1, 4, "leftright"}}));
  sheet.Mark(0, 1, 40);
  EXPECT_EQ(ReadQuestion(sheet, "B", false), "7= ");
}

TEST(ReadBlock, VerificationCountsMarksAndLeavesThePicture) {
  for (int marks : {4, 3, 5}) {
    SCOPED_TRACE(marks);
    MarkSheet sheet(1, 6, TemplateJson(1, 6, {}, {}, {{"V", 1, 1, 6, "LeftRight", "ABCDEF", 4}}));
    for (int c = 0; c < marks; ++c) sheet.Mark(0, c, 40);
    TRectAnalyse& a = sheet.Analyser();
    const Picture before = sheet.Pic().Clone();
    EXPECT_EQ(a.ReadVerifys(sheet.Template().Verifys), marks == 4 ? "" : kVerifyFailed);
    EXPECT_TRUE(sheet.Pic() == before);
    EXPECT_EQ(a.LightestMarked.DarkCount, 10000);
    a.EnableVerify = false;
    EXPECT_EQ(a.ReadVerifys(sheet.Template().Verifys), "");
  }
}

// --- the examinee number --------------------------------------------------------

TEST(ReadTestNo, OneDigitPerBlockTheDarkestOfSeveral) {
  // Five digits in rows 0-4 of a 10-column grid: 2, 0, nothing, 1 (with a
  // lighter 7), 5. Forced single choice is off: digits choose anyway.
  std::vector<BlockPlan> digits;
  for (int r = 1; r <= 5; ++r)
    digits.push_back({std::to_string(r), r, 1, 10, "LeftRight", "0123456789"});
  MarkSheet sheet(5, 10, TemplateJson(5, 10, digits, {}));
  sheet.cfg.SetFForceSingleChoice(false);
  sheet.Mark(0, 2, 40);
  sheet.Mark(1, 0, 40);
  sheet.Mark(3, 1, 35);
  sheet.Mark(3, 7, 90);
  sheet.Mark(4, 5, 40);
  TRectAnalyse& a = sheet.Analyser();
  EXPECT_EQ(a.ReadTestNo(sheet.Template().TestNo), "2015");
  EXPECT_EQ(sheet.Ink(3, 1), kSingleMarkColor);
  // The digit not taken goes back to black, without the red of a question.
  EXPECT_EQ(sheet.Ink(3, 7), kBlack);
  EXPECT_EQ(sheet.Paper(3, 7), kBackColor);
  EXPECT_EQ(sheet.Frame(2, 0), kMarkRed);
}

// --- the whole analysis of a drawn card ---------------------------------------------

// A card of 8 columns of 10 boxes: question c+1 runs down column c (letters
// A-J). Column 7 is also a verification strip wanting 2 marks.
struct DrawnCard {
  test::CardPlan Spec;
  test::Card Card;
  CardTemplate Template;
  TIntDynaArrArr Grey;

  explicit DrawnCard(std::vector<std::pair<int, int>> filled, int verifyMarks = 2) {
    Spec.Filled = std::move(filled);
    Card = test::DrawCard(Spec);
    std::string text = test::CardTemplateText(Spec);
    const std::string verify =
        R"("Verifys":[{"Id":"V","PaperRects_ID":1,"StartPosLine":1,"StartPosColum":8,"GridNum":10,)"
        R"("Orient":"TopBottom","BackValue":"ABCDEFGHIJ","BackAnswerNum":)" +
        std::to_string(verifyMarks) + "}]";
    text.replace(text.find(R"("Verifys":[])"), 12, verify);
    Template = CardTemplate::FromText(text);
    Grey.assign(static_cast<std::size_t>(Card.Sheet.Height()),
                TIntDynaArr(static_cast<std::size_t>(Card.Sheet.Width()), 255));
    for (int y = 0; y < Card.Sheet.Height(); ++y) {
      for (int x = 0; x < Card.Sheet.Width(); ++x) {
        Grey[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = Card.Sheet.Pixel(x, y)[0];
      }
    }
  }
};

struct AnalyseRun {
  std::string Status = "unset";
  std::string ExamNo = "unset";
  std::vector<std::string> Lines;
  std::string Verify;
};

AnalyseRun RunAnalyse(DrawnCard& card, const Tcfg& cfg, const std::vector<TAnswer>* key) {
  TIntBmp bmp;
  bmp.LoadBitmap(card.Card.Sheet);
  TPaperRectDevide division;
  division.Bmp = &bmp;
  division.SetPaperConfig(card.Template);
  division.Devide();
  TRectAnalyse a(division.GridRect, division.LineCount, division.ColumCount, cfg);
  a.PaperDevide = &division;
  a.Bmp = &bmp;
  a.GreyPlane = &card.Grey;
  const int r = card.Card.Sheet.Width() - 1;
  const int b = card.Card.Sheet.Height() - 1;
  a.Corners[0] = {0, 0};
  a.Corners[1] = {r, 0};
  a.Corners[2] = {0, b};
  a.Corners[3] = {r, b};
  a.AnswerKey = key;
  AnalyseRun run;
  a.Analyse(run.Lines, run.ExamNo, run.Status);
  run.Verify = a.VerifyText;
  return run;
}

TAnswer Key(std::string answer, bool multi = false, bool unused = false) {
  TAnswer a;
  a.Answer = std::move(answer);
  a.IsMulti = multi;
  a.IsUnused = unused;
  return a;
}

TEST(Analyse, ReadsEveryQuestionOfADrawnCard) {
  // Question 1: B. 2 (multiple): A, C. 3 (unused): D marked all the same.
  // 4: nothing. 5: B and E, E drawn lighter. 8: the two verification marks.
  DrawnCard card({{1, 0}, {0, 1}, {2, 1}, {3, 2}, {1, 4}, {4, 4}, {0, 7}, {5, 7}});
  const test::Card& c = card.Card;
  for (int y = c.Box[4][4].Top; y <= c.Box[4][4].Bottom; ++y) {
    for (int x = c.Box[4][4].Left; x <= c.Box[4][4].Right; ++x) card.Grey[y][x] = 120;
  }
  Tcfg cfg;
  const std::vector<TAnswer> key{Key("B"), Key("AC", true), Key("X", false, true),
                                 Key("A"), Key("B"),        Key("A"),
                                 Key("A"), Key("AF", true)};
  const AnalyseRun run = RunAnalyse(card, cfg, &key);
  ASSERT_EQ(run.Status, kAnalysisSuccess);
  EXPECT_EQ(run.ExamNo, "");
  EXPECT_EQ(run.Lines,
            (std::vector<std::string>{"1=B", "2=AC", "3= ", "4= ", "5=B", "6= ", "7= ", "8=AF"}));
  EXPECT_EQ(run.Verify, "");
}

TEST(Analyse, FailedVerificationDoesNotFailTheSheet) {
  DrawnCard card({{1, 0}, {0, 7}}, 2);
  Tcfg cfg;
  const AnalyseRun run = RunAnalyse(card, cfg, nullptr);
  EXPECT_EQ(run.Status, kAnalysisSuccess);
  EXPECT_EQ(run.Verify, kVerifyFailed);
  ASSERT_EQ(run.Lines.size(), 8u);
  EXPECT_EQ(run.Lines[0], "1=B");
  EXPECT_EQ(run.Lines[7], "8=A");
}

TEST(Analyse, AShortKeyReadsTheRestAsSingleChoice) {
  DrawnCard card({{1, 0}, {0, 6}, {3, 6}});
  Tcfg cfg;
  cfg.SetFForceSingleChoice(false);
  const std::vector<TAnswer> key{Key("B")};
  const AnalyseRun run = RunAnalyse(card, cfg, &key);
  ASSERT_EQ(run.Status, kAnalysisSuccess);
  EXPECT_EQ(run.Lines.size(), 8u);
  EXPECT_EQ(run.Lines[6], "7=AD");
}

TEST(Analyse, LayoutErrorsBecomeTheStatus) {
  DrawnCard card({});
  // A blank sheet: the division finds no frame lines and the grid cannot be cut.
  for (int y = 0; y < card.Card.Sheet.Height(); ++y) {
    for (int x = 0; x < card.Card.Sheet.Width(); ++x) {
      std::uint8_t* p = card.Card.Sheet.Pixel(x, y);
      p[0] = p[1] = p[2] = 255;
    }
  }
  Tcfg cfg;
  const AnalyseRun run = RunAnalyse(card, cfg, nullptr);
  EXPECT_EQ(run.Status, kAnalysisFailed);
  EXPECT_EQ(run.ExamNo, "unset");
  EXPECT_TRUE(run.Lines.empty());
}

}  // namespace
}  // namespace kestrelo
