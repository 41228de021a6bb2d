#include "imaging/IntBmp.h"

#include <gtest/gtest.h>

#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

using test::FromText;
using test::ToText;
using test::Uniform;

Picture Levels(std::initializer_list<std::uint8_t> levels) {
  Picture pic(static_cast<int>(levels.size()), 1);
  int x = 0;
  for (std::uint8_t g : levels) {
    std::uint8_t* p = pic.Pixel(x++, 0);
    p[0] = p[1] = p[2] = g;
  }
  return pic;
}

TEST(IntBmpBinarise, ThresholdRules) {
  // Grey 0, a level at the threshold, one below it, 255. The factor makes
  // t = round(454 * f / 4) = 100.
  Picture pic = Levels({0, 100, 99, 255});
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  bmp.BinariseBlocks(12, 100.0f * 4 / 454);  // under 24 px: one block
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{"#.#."}));
  EXPECT_EQ(bmp.Grey[0], (TIntDynaArr{0, 100, 99, 255}));

  // The fixed threshold takes the blue byte as the level; white above it.
  Picture pic2 = Levels({0, 128, 129, 255});
  bmp.LoadBitmap(pic2);
  bmp.BinariseGlobal(128);
  EXPECT_EQ(ToText(pic2), (std::vector<std::string>{"##.."}));
  EXPECT_EQ(bmp.Grey[0], (TIntDynaArr{0, 128, 129, 255}));
}

TEST(IntBmpBinarise, GreyFromRedGreenBlueWeights) {
  Picture pic(1, 1);
  pic.Pixel(0, 0)[0] = 10;   // blue
  pic.Pixel(0, 0)[1] = 200;  // green
  pic.Pixel(0, 0)[2] = 50;   // red
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  bmp.BinariseBlocks(12, 0.8f);
  EXPECT_EQ(bmp.Grey[0][0], (77 * 50 + 151 * 200 + 28 * 10) >> 8);
}

TEST(IntBmpBinarise, ExtremeBlocksIgnoreTheFactor) {
  struct Case {
    std::uint8_t grey;
    float factor;
    char expected;
  };
  for (const Case c : {Case{0, 0.5f, '#'}, Case{0, 0.0f, '#'}, Case{255, 2.0f, '.'},
                       Case{255, 0.8f, '.'}, Case{128, 0.8f, '.'}, Case{128, 1.01f, '#'}}) {
    Picture pic = Uniform(30, 30, c.grey);
    TIntBmp bmp;
    bmp.LoadBitmap(pic);
    bmp.BinariseBlocks(12, c.factor);
    for (const std::string& row : ToText(pic)) {
      EXPECT_EQ(row, std::string(30, c.expected)) << int(c.grey) << " factor " << c.factor;
    }
  }
}

TEST(IntBmpBinarise, BlocksThresholdLocallyAndKeepGreyUntilReload) {
  // Left half dim, right half bright; a dark dot in each half. A global mean
  // would lose the dim half's dot or blacken the whole dim half.
  Picture pic(48, 48);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      const std::uint8_t g = x < 24 ? 60 : 220;
      std::uint8_t* p = pic.Pixel(x, y);
      p[0] = p[1] = p[2] = g;
    }
  }
  pic.Pixel(5, 5)[0] = pic.Pixel(5, 5)[1] = pic.Pixel(5, 5)[2] = 20;
  pic.Pixel(40, 40)[0] = pic.Pixel(40, 40)[1] = pic.Pixel(40, 40)[2] = 90;
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  bmp.BinariseBlocks(12, 0.8f);
  EXPECT_TRUE(bmp.IsColor(5, 5, kBlack));
  EXPECT_TRUE(bmp.IsColor(40, 40, kBlack));
  EXPECT_TRUE(bmp.IsColor(10, 10, kWhite));
  EXPECT_TRUE(bmp.IsColor(10, 40, kWhite));
  EXPECT_EQ(bmp.Grey[5][5], 20);

  // A second binarisation of the now black-and-white picture keeps Grey.
  bmp.BinariseBlocks(12, 0.8f);
  EXPECT_EQ(bmp.Grey[5][5], 20);
  EXPECT_EQ(bmp.Grey[10][40], 220);
  bmp.LoadBitmap(pic);
  EXPECT_FALSE(bmp.Binarised);
  bmp.BinariseBlocks(12, 0.8f);
  EXPECT_EQ(bmp.Grey[5][5], 0);  // reloaded: grey of the black-and-white picture
}

TEST(IntBmpPixels, IsColorIsFalseOutsideAndDrawDotSparesTheRim) {
  Picture pic = FromText({"...", "...", "..."});
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  for (const auto& [row, col] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 3}}) {
    EXPECT_FALSE(bmp.IsColor(row, col, kWhite)) << row << "," << col;
  }
  EXPECT_TRUE(bmp.IsColor(2, 2, kWhite));
  bmp.DrawDot(TPoint{0, 0}, clBlack);
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{"...", ".#.", "..."}));
}

TEST(IntBmpPixels, BandsStopBeforeTheRectanglesFarEdge) {
  Picture pic = Uniform(5, 5, 255);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  bmp.DrawHBand(bmp.BoundsRect, 3, 3, clBlack);  // rows 3 only: 4 is R.Bottom
  bmp.DrawVBand(bmp.BoundsRect, -1, 3, clBlack);  // nothing
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{".....", ".....", ".....", "#####", "....."}));
  bmp.DrawVBand(bmp.BoundsRect, 2, 5, clBlack);  // columns 2 and 3
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{"..##.", "..##.", "..##.", "#####", "..##."}));
}

TEST(IntBmpPixels, PaintBorderInsideTheShrunkRectangle) {
  Picture pic = Uniform(9, 9, 255);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  bmp.PaintBorder(bmp.BoundsRect, 1, true, kBlack);
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{".........", ".........", "..#####..",
                                                    "..#...#..", "..#...#..", "..#...#..",
                                                    "..#####..", ".........", "........."}));
  Picture pic2 = Uniform(9, 9, 255);
  bmp.LoadBitmap(pic2);
  bmp.PaintBorder(bmp.BoundsRect, 9, false, kBlack);
  EXPECT_EQ(ToText(pic2)[4], ".........");
  bmp.PaintBorder(bmp.BoundsRect, 9, true, kBlack);  // thicker than half: all filled
  for (int y = 2; y <= 6; ++y) EXPECT_EQ(ToText(pic2)[y], "..#####..");
}

TEST(IntBmpRuns, MaxRunsAndPixelCount) {
  Picture pic = FromText({"#.#.", "#..#", "#.##", "#..."});
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TIntDynaArr cols, rows;
  bmp.MaxRuns(cols, rows, kBlack);
  EXPECT_EQ(cols, (TIntDynaArr{4, 0, 1, 2}));
  EXPECT_EQ(rows, (TIntDynaArr{1, 1, 2, 1}));
  EXPECT_EQ(TIntBmp::PixelCount(TRect{1, 1, 3, 2}), 6);
  EXPECT_EQ(TIntBmp::PixelCount(TRect{3, 1, 2, 2}), 0);

  bmp.ReplaceBlack(TRect{0, 0, 1, 1});
  EXPECT_EQ(ToText(pic)[0], "n.#.");
  EXPECT_EQ(ToText(pic)[1], "n..#");
}

TEST(IntBmpFloodFill, BlocksCountsAndBoxes) {
  Picture pic = FromText({
      "........",
      ".#####..",
      ".#####..",
      ".#####.#",
      ".#####..",
      ".#####..",
      "........",
  });
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TDotBlock block;
  bmp.FloodFill(bmp.BoundsRect, 7, 3, kBlack, kNearBlack, block);
  EXPECT_EQ(block.Count, 1);
  EXPECT_EQ(TRect(block.Left, block.Top, block.Right, block.Bottom), TRect(7, 3, 7, 3));

  bmp.FloodFill(bmp.BoundsRect, 3, 3, kBlack, kDealtBlack, block);
  EXPECT_EQ(block.Count, 25);
  EXPECT_EQ(block.Width, 5);
  EXPECT_EQ(block.Height, 5);
  EXPECT_EQ(block.Points[0].X, 3);  // the seed first
  EXPECT_EQ(ToText(pic)[3], ".22222.n");

  // A limit smaller than the blob takes only what lies inside it.
  Picture pic2 = Uniform(8, 8, 0);
  bmp.LoadBitmap(pic2);
  bmp.FloodFill(TRect{2, 2, 4, 4}, 3, 3, kBlack, kNearBlack, block);
  EXPECT_EQ(block.Count, 9);

  // The points share the buffer: a later fill overwrites them.
  const TFindPoint* first = block.Points;
  bmp.FloodFill(bmp.BoundsRect, 0, 0, kBlack, kNearBlack, block);
  EXPECT_EQ(first, block.Points);
  EXPECT_EQ(first[0].X, 0);
}

TEST(IntBmpFloodFill, FollowsOnePixelStrokesAndEveryWayFromTheSeed) {
  // A diagonal stroke and an L turn; every pixel is reached.
  Picture pic = FromText({
      "#.....",
      ".#....",
      "..#...",
      "..#...",
      "..####",
  });
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TDotBlock block;
  bmp.FloodFill(bmp.BoundsRect, 2, 2, kBlack, kNearBlack, block);
  EXPECT_EQ(block.Count, 8);
  EXPECT_EQ(block.Width, 6);
  EXPECT_EQ(block.Height, 5);
}

TEST(IntBmpFloodFill, RefusesASeedOutsideOrAFillEqualToTheMatch) {
  Picture pic = Uniform(4, 4, 0);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TDotBlock block;
  bmp.FloodFill(bmp.BoundsRect, 9, 9, kBlack, kWhite, block);
  EXPECT_EQ(block.Count, 0);
  bmp.FloodFill(bmp.BoundsRect, 1, 1, kBlack, kBlack, block);
  EXPECT_EQ(block.Count, 0);
}

TEST(IntBmpColours, SystemAndPlainColours) {
  EXPECT_EQ(ColorToTriple(clRed), (TColorTriple{0, 0, 255}));
  EXPECT_EQ(ColorToTriple(0x123456), (TColorTriple{0x12, 0x34, 0x56}));
  EXPECT_EQ(ColorToTriple(clWindowText), kBlack);
  EXPECT_EQ(ColorToTriple(clWindow), kWhite);
}

}  // namespace
}  // namespace kestrelo
