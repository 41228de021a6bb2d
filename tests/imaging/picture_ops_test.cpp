#include "imaging/PictureOps.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/Error.h"

#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

using test::FromText;
using test::ToText;

TEST(PictureOps, MirrorsAreTheirOwnInverse) {
  const std::vector<std::string> src = {"#..n", "2.#.", "..y#"};
  Picture pic = FromText(src);
  MirrorLeftRight(pic);
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{"n..#", ".#.2", "#y.."}));
  MirrorLeftRight(pic);
  EXPECT_EQ(ToText(pic), src);
  MirrorTopBottom(pic);
  EXPECT_EQ(ToText(pic), (std::vector<std::string>{"..y#", "2.#.", "#..n"}));
  MirrorTopBottom(pic);
  EXPECT_EQ(ToText(pic), src);

  Picture thin = FromText({"#", ".", "n"});
  MirrorLeftRight(thin);
  EXPECT_EQ(ToText(thin), (std::vector<std::string>{"#", ".", "n"}));
}

TEST(PictureOps, QuarterTurns) {
  struct Case {
    int angle;
    std::vector<std::string> expected;
  };
  const std::vector<std::string> src = {"#.n", "2y."};  // 3 wide, 2 high
  for (const Case& c : {Case{90, {"2#", "y.", ".n"}}, Case{180, {".y2", "n.#"}},
                        Case{270, {"n.", ".y", "#2"}}, Case{0, src}, Case{360, src},
                        Case{-90, {"n.", ".y", "#2"}}}) {
    Picture pic = FromText(src);
    RotateQuarterTurns(pic, c.angle);
    EXPECT_EQ(ToText(pic), c.expected) << c.angle;
  }
  Picture pic = FromText(src);
  EXPECT_THROW(RotateQuarterTurns(pic, 45), Error);
}

TEST(PictureOps, RotateAboutCentreByZeroIsACopy) {
  Picture src = FromText({"#..", ".n.", "..2", "y.."});
  TIntDynaArrArr greyIn = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  const TIntDynaArrArr expectedGrey = greyIn;
  Picture dst;
  TIntDynaArrArr greyOut;
  RotateAboutCentre(src, dst, greyIn, greyOut, 0.0);
  EXPECT_EQ(dst, src);
  EXPECT_EQ(greyOut, expectedGrey);
  EXPECT_TRUE(greyIn.empty());
}

TEST(PictureOps, RotateAboutCentreLevelsAFallingLine) {
  // A line falling to the right by about 6 degrees from the centre.
  Picture src(400, 300);
  const int cx = 200, cy = 150;
  for (int x = 0; x <= 100; ++x) test::FillRect(src, cx + x, cy + x / 10, cx + x, cy + x / 10, kBlack);
  TIntDynaArrArr greyIn(300, TIntDynaArr(400, 200));
  Picture dst;
  TIntDynaArrArr greyOut;
  RotateAboutCentre(src, dst, greyIn, greyOut, 6.0);

  EXPECT_GT(dst.Width(), src.Width());
  EXPECT_GT(dst.Height(), src.Height());
  ASSERT_EQ(static_cast<int>(greyOut.size()), dst.Height());
  EXPECT_EQ(greyOut[0][dst.Width() - 1], 255);  // an uncovered corner
  EXPECT_EQ(ToText(dst)[0].back(), '.');

  int minY = 1 << 30, maxY = -1;
  for (int y = 0; y < dst.Height(); ++y) {
    for (int x = 0; x < dst.Width(); ++x) {
      if (test::CharOf(dst.Pixel(x, y)) == '#') {
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
    }
  }
  EXPECT_GE(minY, cy - 1);
  EXPECT_LE(maxY, cy + 1);
}

TEST(PictureOps, FindLargestBlockFillsAllAndKeepsTheLargestPoints) {
  Picture pic = FromText({
      "##.......",
      "##...####",
      "##...####",
      "##...####",
      "##...####",
      "......###",
  });
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TDotBlock best;
  FindLargestBlock(bmp, bmp.BoundsRect, bmp.BoundsRect, kBlack, kDealtBlack, best);
  EXPECT_EQ(best.Count, 19);
  EXPECT_EQ(best.Left, 5);
  // The other block filled later went to the other buffer.
  EXPECT_EQ(best.Points[0].X, 5);
  for (const std::string& row : ToText(pic)) EXPECT_EQ(row.find('#'), std::string::npos);

  TDotBlock none;
  FindLargestBlock(bmp, bmp.BoundsRect, bmp.BoundsRect, kBlack, kDealtBlack, none);
  EXPECT_EQ(none.Count, 0);
}

TEST(PictureOps, LocateLineRow) {
  // A NearBlack line two rows thick at rows 5-6; black text crosses row 5.
  Picture pic(60, 12);
  test::FillRect(pic, 5, 5, 54, 6, kNearBlack);
  test::FillRect(pic, 20, 4, 30, 4, kBlack);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  EXPECT_EQ(LocateLineRow(bmp, 6, 3, bmp.BoundsRect, true), 5);

  Picture pic2(60, 12);
  test::FillRect(pic2, 5, 5, 54, 6, kNearBlack);
  bmp.LoadBitmap(pic2);
  // From the right the end point sits on the lower middle of the thickness.
  EXPECT_EQ(LocateLineRow(bmp, 5, 3, bmp.BoundsRect, false), 6);

  Picture empty(60, 12);
  bmp.LoadBitmap(empty);
  EXPECT_EQ(LocateLineRow(bmp, 7, 3, bmp.BoundsRect, true), 7);
}

TEST(PictureOps, LineAngleOfALevelAndASlantedLine) {
  Picture pic(80, 20);
  test::FillRect(pic, 0, 8, 79, 8, kDealtBlack);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TDotBlock block{0, 8, 79, 8, 80, 1, 80, nullptr};
  EXPECT_EQ(LineAngle(bmp, block, TPoint{0, 8}, kDealtBlack), 0);

  Picture slanted(80, 20);
  for (int x = 0; x < 80; ++x) {
    const int y = 3 + static_cast<int>(std::lround(x * std::tan(2 * 3.14159265358979 / 180)));
    test::FillRect(slanted, x, y, x, y, kDealtBlack);
  }
  bmp.LoadBitmap(slanted);
  block = TDotBlock{0, 3, 79, 6, 80, 4, 80, nullptr};
  EXPECT_EQ(LineAngle(bmp, block, TPoint{0, 3}, kDealtBlack), 2);
}

}  // namespace
}  // namespace kestrelo
