#include <gtest/gtest.h>

#include "analysis/AnalysisError.h"
#include "analysis/RectAnalyse.h"
#include "tests/analysis/SyntheticCard.h"
#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

using test::FillRect;

TEST(RectAnalyse, StripsCoverTheGrid) {
  const TRect grid{0, 0, 1000, 599};
  const auto h = TRectAnalyse::HorizontalStrips(grid, 3);
  const auto v = TRectAnalyse::VerticalStrips(grid, 3);
  EXPECT_EQ(h, (std::vector<TRect>{{0, 0, 1000, 199}, {0, 200, 1000, 399}, {0, 400, 1000, 599}}));
  EXPECT_EQ(v, (std::vector<TRect>{{0, 0, 333, 599}, {334, 0, 667, 599}, {668, 0, 1000, 599}}));
}

// A sheet with a frame of two lines each way and the objects around one
// analyser, set up by hand.
class Analyser : public testing::Test {
 protected:
  void SetUp() override {
    sheet = test::Uniform(200, 160, 255);
    FillRect(sheet, 20, 20, 179, 21, kBlack);    // top line, rows 20-21
    FillRect(sheet, 20, 139, 179, 140, kBlack);  // bottom line
    FillRect(sheet, 20, 20, 21, 140, kBlack);    // left line
    FillRect(sheet, 178, 20, 179, 140, kBlack);  // right line
  }
  TRectAnalyse& Make(int rows, int cols) {
    bmp.LoadBitmap(sheet);
    grey.assign(160, TIntDynaArr(200, 255));
    division.LinesThreadCount = 2;
    division.ColumsThreadCount = 2;
    for (int y : {21, 140}) division.LineList.AddItem().Value = y;
    for (int x : {21, 179}) division.ColumList.AddItem().Value = x;
    division.GridRect = TRect{21, 21, 179, 140};
    ra = std::make_unique<TRectAnalyse>(division.GridRect, rows, cols, cfg);
    ra->PaperDevide = &division;
    ra->Bmp = &bmp;
    ra->GreyPlane = &grey;
    ra->Corners[0] = {0, 0};
    ra->Corners[1] = {199, 0};
    ra->Corners[2] = {0, 159};
    ra->Corners[3] = {199, 159};
    ra->CellWidth = 158 / cols;
    ra->CellHeight = 119 / rows;
    return *ra;
  }
  Tcfg cfg;
  Picture sheet;
  TIntBmp bmp;
  TIntDynaArrArr grey;
  TPaperRectDevide division;
  std::unique_ptr<TRectAnalyse> ra;
};

TEST_F(Analyser, EraseFrameLinesKeepsSmallInkThatTouchesThem) {
  // A mark across the top line's row where the line is broken: found from
  // the line's row as a block of its own, and small.
  FillRect(sheet, 58, 20, 68, 21, kWhite);
  FillRect(sheet, 60, 17, 66, 25, kBlack);
  FillRect(sheet, 22, 80, 150, 80, kBlack);     // a long stroke from the left line
  FillRect(sheet, 0, 100, 3, 103, kBlack);      // small ink on the sheet's left side
  FillRect(sheet, 100, 100, 104, 104, kBlack);  // a mark touching nothing
  TRectAnalyse& a = Make(4, 4);                 // limit 2 * (39 + 29) = 136
  a.EraseFrameLines();
  EXPECT_TRUE(bmp.IsColor(24, 62, kBlack));
  EXPECT_TRUE(bmp.IsColor(20, 40, kNearBlack));
  EXPECT_TRUE(bmp.IsColor(80, 100, kNearBlack));
  EXPECT_TRUE(bmp.IsColor(101, 1, kBlack));
  EXPECT_TRUE(bmp.IsColor(102, 102, kBlack));
}

TEST_F(Analyser, SkewedCellEdgesTakeInTheirInk) {
  struct Case {
    int InkFrom;  // ink columns InkFrom..102 across the cell
    int Left;
  };
  // Crossings at x 100 and 104 give Left 102, moved out by at most 3.
  for (const Case c : {Case{90, 99}, Case{101, 100}, Case{103, 102}}) {
    SCOPED_TRACE(c.InkFrom);
    SetUp();
    if (c.InkFrom <= 102) FillRect(sheet, c.InkFrom, 40, 102, 100, kBlack);
    TRectAnalyse& a = Make(1, 1);
    a.Crossings[0][0] = {100, 40};
    a.Crossings[1][0] = {104, 100};
    a.Crossings[0][1] = {150, 40};
    a.Crossings[1][1] = {150, 100};
    a.BuildCells();
    EXPECT_EQ(a.GetCell(0, 0).Rect, (TRect{c.Left, 40, 150, 100}));
  }
}

TEST_F(Analyser, CellInk) {
  TRectAnalyse& a = Make(1, 1);
  // One horizontal line of ink: an empty cell.
  FillRect(sheet, 40, 50, 60, 50, kBlack);
  a.MakeCellInfo(0, 0, TRect{35, 45, 65, 55});
  TCellInfo c = a.GetCell(0, 0);
  EXPECT_EQ(c.ContentRect, (TRect{0, 0, 0, 0}));
  EXPECT_EQ(c.DarkCount, 0);
  EXPECT_EQ(c.ContentArea, 0);
  EXPECT_EQ(c.MaxRowDark, 21);
  EXPECT_FALSE(c.Filled);

  // A solid block with some ink already dealt with: counted and made black.
  FillRect(sheet, 80, 60, 89, 69, kBlack);
  FillRect(sheet, 80, 60, 84, 61, kNearBlack);
  a.MakeCellInfo(0, 0, TRect{75, 55, 95, 75});
  c = a.GetCell(0, 0);
  EXPECT_EQ(c.ContentRect, (TRect{80, 60, 89, 69}));
  EXPECT_EQ(c.DarkCount, 100);
  EXPECT_EQ(c.ContentArea, 100);
  EXPECT_TRUE(c.Filled);
  EXPECT_TRUE(bmp.IsColor(60, 80, kBlack));

  EXPECT_THROW(a.GetCell(1, 0), AnalysisError);
  EXPECT_THROW(a.GetCell(0, -1), AnalysisError);
}

TEST_F(Analyser, FilledTestsTheMiddleHalfOfTheInk) {
  struct Case {
    int Width;  // of the ink
    int Gap;    // offset of the one column without ink
    bool Filled;
  };
  // q = round-even(width / 4): 6 -> 2 (1.5), 10 -> 2 (2.5), 7 -> 2, 4 -> 1.
  const Case cases[] = {{6, 1, true}, {6, 2, false}, {10, 1, true}, {10, 2, false},
                        {7, 1, true}, {7, 2, false}, {4, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Width << " " << c.Gap);
    SetUp();
    FillRect(sheet, 50, 50, 50 + c.Width - 1, 59, kBlack);
    FillRect(sheet, 50 + c.Gap, 50, 50 + c.Gap, 59, kWhite);
    TRectAnalyse& a = Make(1, 1);
    a.MakeCellInfo(0, 0, TRect{45, 45, 70, 65});
    EXPECT_EQ(a.GetCell(0, 0).ContentRect, (TRect{50, 50, 50 + c.Width - 1, 59}));
    EXPECT_EQ(a.GetCell(0, 0).Filled, c.Filled);
  }
}

TEST(RectAnalyseLayout, MarksRowLinesAndCrossingsInTheGreyPlane) {
  test::CardPlan plan;
  plan.Rows = 12;
  plan.Cols = 10;
  test::Card card = test::DrawCard(plan);
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(plan));
  TIntBmp bmp;
  bmp.LoadBitmap(card.Sheet);
  TIntDynaArrArr grey(static_cast<std::size_t>(card.Sheet.Height()),
                      TIntDynaArr(static_cast<std::size_t>(card.Sheet.Width()), 200));
  TPaperRectDevide division;
  division.Bmp = &bmp;
  division.SetPaperConfig(tmpl);
  division.Devide();
  Tcfg cfg;
  TRectAnalyse a(division.GridRect, division.LineCount, division.ColumCount, cfg);
  a.PaperDevide = &division;
  a.Bmp = &bmp;
  a.GreyPlane = &grey;
  std::string error;
  a.AnalyseLayout(error);
  ASSERT_EQ(error, "") << a.FailReason;

  int crossings = 0;
  int markers = 0;
  for (const auto& row : grey) {
    for (int v : row) {
      crossings += v == 30000;
      markers += v == 10000;
      EXPECT_TRUE(v == 200 || v == 10000 || v == 30000);
    }
  }
  EXPECT_EQ(crossings, 13 * 11);
  for (int i = 0; i <= 12; ++i) {
    for (int j = 0; j <= 10; ++j) {
      const TPoint p = a.Crossings[i][j];
      EXPECT_EQ(grey[p.Y][p.X], 30000);
      // Along its row line the marker runs on to both sides.
      if (j < 10) {
        EXPECT_GE(grey[p.Y][p.X + 1], 10000);
      }
      if (j > 0) {
        EXPECT_GE(grey[p.Y][p.X - 1], 10000);
      }
    }
  }
  // Every row line runs across the whole grid width, strip by strip.
  const int width = division.GridRect.Right - division.GridRect.Left + 1;
  EXPECT_EQ(markers + crossings, 13 * width);
}

}  // namespace
}  // namespace kestrelo
