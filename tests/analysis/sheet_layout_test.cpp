#include <gtest/gtest.h>

#include "analysis/CardTemplate.h"
#include "analysis/SheetLayout.h"
#include "settings/Cfg.h"
#include "tests/analysis/SyntheticCard.h"
#include "tests/common/TempFolder.h"
#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

using test::Card;
using test::CardPlan;

CardPlan Spec(int rows, int cols, int pitchX, int pitchY, int boxW, int boxH) {
  CardPlan s;
  s.Rows = rows;
  s.Cols = cols;
  s.PitchX = pitchX;
  s.PitchY = pitchY;
  s.BoxW = boxW;
  s.BoxH = boxH;
  return s;
}

CardPlan WithMiddleLine(CardPlan s, int row) {
  s.MiddleLineRow = row;
  return s;
}

CardPlan WithTallRow(CardPlan s, int row, int by) {
  s.TallRow = row;
  s.TallBy = by;
  return s;
}

void ExpectCellsOnBoxes(const SheetLayout& layout, const Card& card, const CardPlan& plan) {
  ASSERT_EQ(static_cast<int>(layout.Cells.size()), plan.Rows);
  for (int r = 0; r < plan.Rows; ++r) {
    for (int c = 0; c < plan.Cols; ++c) {
      SCOPED_TRACE("cell " + std::to_string(r) + "," + std::to_string(c));
      const TCellInfo& cell = layout.Cells[r][c];
      if (r == plan.MiddleLineRow) continue;
      const TRect& box = card.Box[r][c];
      // The cell holds its box whole, and no neighbour's.
      EXPECT_LE(cell.Rect.Left, box.Left);
      EXPECT_GE(cell.Rect.Right, box.Right);
      EXPECT_LE(cell.Rect.Top, box.Top);
      EXPECT_GE(cell.Rect.Bottom, box.Bottom);
      EXPECT_GT(cell.Rect.Left, box.Left - (plan.PitchX - plan.BoxW));
      EXPECT_LT(cell.Rect.Right, box.Right + (plan.PitchX - plan.BoxW));
      EXPECT_EQ(cell.ContentRect, box);
    }
  }
}

TEST(SheetLayout, FindsEveryBoxOfASyntheticCard) {
  Tcfg cfg;
  CardPlan plan;
  plan.Filled = {{0, 0}, {3, 5}};
  Card card = test::DrawCard(plan);
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(plan));
  const SheetLayout layout = LayOutSheet(tmpl, card.Sheet, cfg);
  ASSERT_TRUE(layout.Ok()) << layout.Status << " " << layout.Reason;
  EXPECT_EQ(layout.HorizontalLines, card.HorizontalLines);
  EXPECT_EQ(layout.VerticalLines, card.VerticalLines);
  ExpectCellsOnBoxes(layout, card, plan);
}

TEST(SheetLayout, TallRowWithoutItsExemptionIsUnclear) {
  Tcfg cfg;
  CardPlan plan = Spec(24, 10, 22, 18, 16, 11);
  plan.TallRow = 4;
  plan.TallBy = 19;
  Card card = test::DrawCard(plan);
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(plan, -1));
  const SheetLayout layout = LayOutSheet(tmpl, card.Sheet, cfg);
  EXPECT_EQ(layout.Status, kAnalysisUnclear);
  EXPECT_NE(layout.Reason.find("row lines"), std::string::npos) << layout.Reason;
  EXPECT_TRUE(layout.Cells.empty());
}

TEST(SheetLayout, TwoRowGridIsAnOrderlyFailure) {
  // Three row lines leave no interior gap to measure the spacing by.
  Tcfg cfg;
  CardPlan plan = Spec(2, 8, 22, 18, 16, 11);
  // The division keeps the second line H / LineCount rows away from the first.
  plan.Margin = 4;
  Card card = test::DrawCard(plan);
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(plan));
  const SheetLayout layout = LayOutSheet(tmpl, card.Sheet, cfg);
  EXPECT_EQ(layout.Status, kAnalysisFailed) << layout.Reason;
  EXPECT_NE(layout.Reason.find("interior gap"), std::string::npos) << layout.Reason;
}

TEST(SheetLayout, SheetsWithoutTheCardFailWithoutCrashing) {
  Tcfg cfg;
  const CardPlan plan = Spec(10, 8, 22, 18, 16, 11);
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(plan));
  CardPlan noBoxes = plan;
  noBoxes.Outline = 0;  // frame lines only
  Card frameOnly = test::DrawCard(noBoxes);
  std::vector<std::pair<const char*, Picture>> sheets;
  sheets.emplace_back("white", test::Uniform(300, 250, 255));
  sheets.emplace_back("black", test::Uniform(300, 250, 0));
  sheets.emplace_back("tiny", test::Uniform(3, 2, 255));
  sheets.emplace_back("one line", test::FromText({"......", "######", "......", "......"}));
  sheets.emplace_back("frame only", std::move(frameOnly.Sheet));
  for (auto& [name, sheet] : sheets) {
    SCOPED_TRACE(name);
    const SheetLayout layout = LayOutSheet(tmpl, sheet, cfg);
    EXPECT_FALSE(layout.Ok());
    EXPECT_FALSE(layout.Reason.empty());
    EXPECT_TRUE(layout.Cells.empty());
  }
}

TEST(SheetLayout, DebugPicturesOnlyWithTheSwitchAndOnlyInTheirFolder) {
  CardPlan plan = Spec(24, 10, 22, 18, 16, 11);
  plan.TallRow = 4;
  plan.TallBy = 19;
  const CardTemplate tmpl = CardTemplate::FromText(test::CardTemplateText(plan, -1));
  for (const bool on : {false, true}) {
    SCOPED_TRACE(on);
    Tcfg cfg;
    cfg.SetFDebugAnalyse(on);
    TempFolder tmp;
    Card card = test::DrawCard(plan);
    SheetLayoutOptions options;
    options.SheetNo = 7;
    options.DebugFolder = tmp / "Paper";
    EXPECT_EQ(LayOutSheet(tmpl, card.Sheet, cfg, options).Status, kAnalysisUnclear);
    const auto folder = tmp / "Paper" / "7ColumRect_Row0_FLinesCount24";
    EXPECT_EQ(std::filesystem::exists(folder / "ErrSrc.bmp"), on);
    EXPECT_EQ(std::filesystem::exists(folder / "ErrSrc.txt"), on);
    EXPECT_EQ(std::filesystem::exists(folder / "Err最大最小差.bmp"), on);
    EXPECT_EQ(std::filesystem::exists(tmp / "Paper"), on);
  }
}

struct LatticeCase {
  const char* Name;
  CardPlan Spec;
  int TestNoAreaBlank;
  int Strips;
};

class SheetLayoutLattice : public testing::TestWithParam<LatticeCase> {};

TEST_P(SheetLayoutLattice, FindsEveryBox) {
  const LatticeCase& c = GetParam();
  Tcfg cfg;
  cfg.SetFDeformCorrect(c.Strips);
  Card card = test::DrawCard(c.Spec);
  const CardTemplate tmpl =
      CardTemplate::FromText(test::CardTemplateText(c.Spec, c.TestNoAreaBlank));
  const SheetLayout layout = LayOutSheet(tmpl, card.Sheet, cfg);
  ASSERT_TRUE(layout.Ok()) << layout.Status << " " << layout.Reason;
  EXPECT_EQ(layout.HorizontalLines, card.HorizontalLines);
  ExpectCellsOnBoxes(layout, card, c.Spec);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, SheetLayoutLattice,
    testing::Values(
        LatticeCase{"camera_scale_3_strips", Spec(20, 24, 22, 18, 16, 11), -1, 3},
        LatticeCase{"two_strips", Spec(12, 10, 22, 18, 16, 11), -1, 2},
        LatticeCase{"four_strips", Spec(16, 16, 20, 16, 14, 10), -1, 4},
        LatticeCase{"middle_frame_line", WithMiddleLine(Spec(15, 12, 22, 18, 16, 11), 5), -1, 3},
        // Row 4, twice as tall, is gap 4 between row lines 4 and 5; the
        // spacing check leaves out the gap one below TestNoAreaBlank.
        LatticeCase{"exam_number_gap", WithTallRow(Spec(24, 10, 22, 18, 16, 11), 4, 19), 5, 3}),
    [](const testing::TestParamInfo<LatticeCase>& i) { return std::string(i.param.Name); });

}  // namespace
}  // namespace kestrelo
