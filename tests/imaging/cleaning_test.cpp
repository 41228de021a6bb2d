#include <gtest/gtest.h>

#include "imaging/BorderBlobs.h"
#include "imaging/DotBlockRemoval.h"
#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

using test::FillRect;
using test::ToText;

TEST(RemoveSpecks, KeepsLinesAndMarksErasesSpecksAndShortStrokes) {
  struct Case {
    int width, height;
    bool survives;
  };
  for (const Case c : {Case{1, 1, false}, Case{10, 3, true}, Case{2, 20, true}, Case{4, 8, false},
                       Case{3, 3, false}, Case{4, 4, true}, Case{2, 10, true}, Case{3, 14, false},
                       Case{30, 2, true}}) {
    Picture pic(40, 40);
    FillRect(pic, 5, 5, 5 + c.width - 1, 5 + c.height - 1, kBlack);
    TIntBmp bmp;
    bmp.LoadBitmap(pic);
    RemoveSpecks(bmp, true);
    EXPECT_EQ(bmp.IsColor(5, 5, kBlack), c.survives) << c.width << " x " << c.height;
    for (const std::string& row : ToText(pic)) {
      EXPECT_EQ(row.find_first_not_of("#."), std::string::npos) << "only black and white remain";
    }
  }
}

TEST(RemoveSpecks, OffLeavesThePictureAlone) {
  Picture pic(10, 10);
  FillRect(pic, 3, 3, 3, 3, kBlack);
  const Picture before = pic.Clone();
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  RemoveSpecks(bmp, false);
  EXPECT_EQ(pic, before);
}

TEST(RemoveBorderBlobs, ErasesNarrowEdgeRegionsKeepsDeepOnes) {
  Picture pic(90, 60);
  FillRect(pic, 0, 20, 15, 30, kBlack);   // narrow, from the left edge: erased
  FillRect(pic, 60, 40, 89, 45, kBlack);  // 30 wide from the right edge, W div 3 = 30: erased
  FillRect(pic, 0, 45, 40, 47, kBlack);   // 41 wide from the left edge: kept
  FillRect(pic, 40, 0, 42, 25, kBlack);   // 26 high from the top, H div 3 = 20: kept
  FillRect(pic, 70, 0, 75, 10, kBlack);   // 11 high from the top: erased
  FillRect(pic, 30, 30, 35, 35, kBlack);  // not at an edge: untouched
  FillRect(pic, 0, 2, 5, 5, kBlack);      // only within the first ten rows: never a seed
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  RemoveBorderBlobs(bmp);
  EXPECT_TRUE(bmp.IsColor(25, 5, kYellow));
  EXPECT_TRUE(bmp.IsColor(42, 70, kYellow));
  EXPECT_TRUE(bmp.IsColor(46, 20, kBlack));
  EXPECT_TRUE(bmp.IsColor(10, 41, kBlack));
  EXPECT_TRUE(bmp.IsColor(5, 72, kYellow));
  EXPECT_TRUE(bmp.IsColor(32, 32, kBlack));
  EXPECT_TRUE(bmp.IsColor(3, 3, kBlack));
}

TEST(RemoveBorderBlobs, SmallPicturesSkipThePasses) {
  // 21 x 20: the left/right pass needs H > 20, the top/bottom pass W > 20.
  Picture pic(21, 20);
  FillRect(pic, 0, 10, 3, 10, kBlack);
  FillRect(pic, 10, 0, 10, 3, kBlack);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  RemoveBorderBlobs(bmp);
  EXPECT_TRUE(bmp.IsColor(10, 0, kBlack));
  EXPECT_TRUE(bmp.IsColor(0, 10, kYellow));
}

}  // namespace
}  // namespace kestrelo
