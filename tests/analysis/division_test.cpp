#include <gtest/gtest.h>

#include "analysis/AnalysisError.h"
#include "analysis/CardTemplate.h"
#include "analysis/PaperRectDevide.h"
#include "tests/analysis/SyntheticCard.h"
#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

std::vector<int> Values(const TsortList& l) {
  std::vector<int> v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

TEST(PickFrameLines, PeaksInOrderOfLengthWithTheirWindows) {
  struct Case {
    const char* Name;
    std::vector<std::pair<int, int>> Peaks;  // index, value
    int Length;
    int Base;  // every other value
    int Count;
    int Divisor;
    std::vector<int> Found;
  };
  const Case cases[] = {
      // Equal peaks: the last wins.
      {"equal", {{100, 50}, {300, 50}}, 400, 1, 2, 4, {300, 100}},
      {"by_length_not_place", {{10, 30}, {200, 90}, {390, 60}}, 400, 1, 3, 4, {200, 390, 10}},
      // Window 1000 div 40 = 25: a peak at 10 clears rows 0..34, so 34 is
      // gone and 35 is next.
      {"window_low", {{10, 99}, {34, 98}, {35, 97}}, 1000, 1, 2, 40, {10, 35}},
      // A peak at 990 clears 965..999.
      {"window_high", {{990, 99}, {965, 98}, {964, 97}}, 1000, 1, 2, 40, {990, 964}},
      // Nothing left: the last index.
      {"too_few", {{5, 9}}, 50, 0, 3, 10, {5, 49, 49}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<int> runs(static_cast<std::size_t>(c.Length), c.Base);
    for (const auto& [i, v] : c.Peaks) runs[static_cast<std::size_t>(i)] = v;
    TsortList found;
    PickFrameLines(runs, c.Count, c.Divisor, found);
    EXPECT_EQ(Values(found), c.Found);
  }
}

TEST(TsortList, SortsAndRefusesIndicesOutsideIt) {
  TsortList l;
  for (int v : {30, 10, 20}) l.AddItem().Value = v;
  EXPECT_EQ(l.CurrentIndex(), 2);
  l.SortAscending();
  EXPECT_EQ(Values(l), (std::vector<int>{10, 20, 30}));
  EXPECT_THROW(l.GetItem(3), AnalysisError);
  EXPECT_THROW(l.GetItem(-1), AnalysisError);
}

class Division : public testing::Test {
 protected:
  test::CardPlan Spec() const {
    test::CardPlan s;
    s.Rows = 10;
    s.Cols = 6;
    s.MiddleLineRow = 4;
    return s;
  }
};

TEST_F(Division, FindsFrameLinesAndSubRectangles) {
  const test::CardPlan plan = Spec();
  test::Card card = test::DrawCard(plan);
  std::string text = test::CardTemplateText(plan);
  // A second sub-rectangle below the middle line.
  text.replace(text.find("}}},"), 4,
               R"(},"PaperRect2":{"Left":0,"Top":1,"Right":1,"Bottom":2,"LineCount":5,)"
               R"("ColumCount":6,"FirstCellLine":6,"FirstCellColum":1}}},)");
  const CardTemplate tmpl = CardTemplate::FromText(text);
  TIntBmp bmp;
  bmp.LoadBitmap(card.Sheet);
  TPaperRectDevide d;
  d.Bmp = &bmp;
  d.SetPaperConfig(tmpl);
  d.Devide();
  EXPECT_EQ(Values(d.LineList), card.HorizontalLines);
  EXPECT_EQ(Values(d.ColumList), card.VerticalLines);
  EXPECT_EQ(d.GridRect, (TRect{card.VerticalLines[0], card.HorizontalLines[0],
                               card.VerticalLines[1], card.HorizontalLines[2]}));
  ASSERT_EQ(d.PaperRects.size(), 2u);
  EXPECT_EQ(d.PaperRects[1].Top, card.HorizontalLines[1]);
  EXPECT_EQ(d.PaperRects[1].Bottom, card.HorizontalLines[2]);
  EXPECT_EQ(d.PaperRects[1].FirstCellLine, 6);
  EXPECT_EQ(d.PaperRects[1].LineCount, 5);
}

TEST_F(Division, ClearRectsHideInkBetweenTheirLinesOnly) {
  const test::CardPlan plan = Spec();
  for (const bool clear : {false, true}) {
    SCOPED_TRACE(clear);
    test::Card card = test::DrawCard(plan);
    std::string text = test::CardTemplateText(plan);
    if (clear) {
      text.replace(text.find(R"("ClearRects":[])"), 15,
                   R"("ClearRects":[{"Left":"0","Right":1,"Top":"1","Bottom":2}])");
    }
    const CardTemplate tmpl = CardTemplate::FromText(text);
    const Picture before = card.Sheet.Clone();
    TIntBmp bmp;
    bmp.LoadBitmap(card.Sheet);
    TPaperRectDevide d;
    d.Bmp = &bmp;
    d.SetPaperConfig(tmpl);
    d.Devide();
    // Lines were found from the runs before clearing.
    EXPECT_EQ(Values(d.LineList), card.HorizontalLines);
    if (!clear) {
      EXPECT_EQ(card.Sheet, before);
      continue;
    }
    const TRect upper = card.Box[0][0];
    const TRect lower = card.Box[9][5];
    EXPECT_TRUE(bmp.IsColor(upper.Top, upper.Left, kBlack));
    EXPECT_TRUE(bmp.IsColor(lower.Top, lower.Left, kNearBlack));
    // The named lines themselves are cleared, but not ink beyond them.
    EXPECT_TRUE(bmp.IsColor(card.HorizontalLines[1], card.VerticalLines[0] + 5, kNearBlack));
    EXPECT_TRUE(bmp.IsColor(card.HorizontalLines[2], card.VerticalLines[0] + 5, kNearBlack));
    EXPECT_TRUE(bmp.IsColor(card.HorizontalLines[2] + 1, card.VerticalLines[0] + 5, kWhite));
    EXPECT_TRUE(bmp.IsColor(card.Box[3][0].Bottom, card.Box[3][0].Left, kBlack));
  }
}

TEST_F(Division, RefusesToRunWithoutPictureOrTemplate) {
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(Spec()));
  TPaperRectDevide noPicture;
  noPicture.SetPaperConfig(tmpl);
  EXPECT_THROW(noPicture.Devide(), AnalysisError);
  Picture pic = test::Uniform(20, 20, 255);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TPaperRectDevide noTemplate;
  noTemplate.Bmp = &bmp;
  EXPECT_THROW(noTemplate.Devide(), AnalysisError);
}

}  // namespace
}  // namespace kestrelo
