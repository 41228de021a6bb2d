#include "imaging/FindAngle.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/FramePrep.h"
#include "tests/imaging/PictureText.h"
#include "tools/testsupport/SyntheticFrame.h"

namespace kestrelo {
namespace {

using test::FillRect;

// A frame line `t` pixels thick with outer corners (l, t0) and (r, b).
void DrawFrameLine(Picture& pic, int l, int t0, int r, int b, int t) {
  FillRect(pic, l, t0, r, t0 + t - 1, kBlack);
  FillRect(pic, l, b - t + 1, r, b, kBlack);
  FillRect(pic, l, t0, l + t - 1, b, kBlack);
  FillRect(pic, r - t + 1, t0, r, b, kBlack);
}

TEST(FindAngle, WhitePictureHasNoCorners) {
  Picture pic(200, 150);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TFindAngle finder;
  finder.SetBmp(bmp);
  EXPECT_EQ(finder.FindCorners(), 0);
  EXPECT_EQ(finder.TopLeft, TPoint{});
  EXPECT_EQ(finder.BottomRight, TPoint{});
}

TEST(FindAngle, FrameLineGivesFourPointsJustInside) {
  Picture pic(200, 150);
  DrawFrameLine(pic, 20, 15, 179, 134, 3);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TFindAngle finder;
  finder.SetBmp(bmp);
  ASSERT_EQ(finder.FindCorners(), 4);
  EXPECT_EQ(finder.TopLeft, (TPoint{21, 15}));
  EXPECT_EQ(finder.TopRight, (TPoint{178, 15}));
  EXPECT_EQ(finder.BottomLeft, (TPoint{21, 134}));
  EXPECT_EQ(finder.BottomRight, (TPoint{178, 134}));
  EXPECT_EQ(finder.Bounds, (TRect{20, 15, 179, 134}));
  EXPECT_EQ(finder.TopEdgeAngle(), 0);
  // Accepted pieces are black again; the frame still reads as ink.
  EXPECT_TRUE(bmp.IsColor(15, 20, kBlack));
}

TEST(FindAngle, DebugColoursShowTheSearch) {
  Picture pic(200, 150);
  DrawFrameLine(pic, 20, 15, 179, 134, 3);
  FillRect(pic, 2, 2, 5, 5, kBlack);  // a small block on the top-left scan's path
  Tcfg cfg;
  cfg.SetFDebugFindAngle(true);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TFindAngle finder(cfg);
  finder.SetBmp(bmp);
  ASSERT_EQ(finder.FindCorners(), 4);
  const TColorTriple red{0, 0, 255}, blue{255, 0, 0};
  EXPECT_TRUE(bmp.IsColor(15, 20, blue));  // accepted corner piece
  EXPECT_TRUE(bmp.IsColor(3, 3, red));     // examined and refused
  EXPECT_TRUE(bmp.IsColor(1, 1, red));     // a dot of the scan path
}

TEST(FindAngle, SolidBlobsAndSmallBlocksAreNotCorners) {
  Picture pic(200, 150);
  FillRect(pic, 5, 5, 60, 50, kBlack);    // solid, larger than W/5: examined, refused
  FillRect(pic, 10, 60, 35, 70, kBlack);  // a bar narrower than W/5 = 40: never a candidate
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TFindAngle finder;
  finder.SetBmp(bmp);
  EXPECT_EQ(finder.FindCorners(), 0);
  EXPECT_TRUE(bmp.IsColor(30, 30, kDealtBlack));
  EXPECT_TRUE(bmp.IsColor(65, 20, kDealtBlack));
}

TEST(FindAngle, BarsUnderThirtyPixelsAreLines) {
  for (const auto& [height, accepted] : {std::pair{29, true}, std::pair{30, false}}) {
    Picture pic(400, 300);
    FillRect(pic, 240, 200, 240 + 5 * height + 5, 200 + height - 1, kBlack);
    TIntBmp bmp;
    bmp.LoadBitmap(pic);
    TFindAngle finder;
    finder.SetBmp(bmp);
    finder.FindCorners();
    EXPECT_EQ(finder.BottomRight != TPoint{}, accepted) << height;
  }
}

TEST(FindAngle, EdgeAndRefinedAngles) {
  struct Case {
    TPoint a, b;
    int angle;
  };
  for (const Case& c : {Case{{0, 0}, {100, 10}, 6}, Case{{0, 0}, {0, 50}, 0},
                        Case{{0, 0}, {50, 0}, 0}, Case{{10, 50}, {110, 40}, -6},
                        Case{{0, 0}, {100, 100}, 45}, Case{{0, 0}, {200, 5}, 1}}) {
    EXPECT_EQ(TFindAngle::EdgeAngle(c.a, c.b), c.angle) << c.b.X << "," << c.b.Y;
  }

  Picture pic(200, 100);
  TIntBmp bmp;
  bmp.LoadBitmap(pic);
  TFindAngle finder;
  finder.SetBmp(bmp);
  EXPECT_EQ(finder.RefineAngle(TPoint{0, 50}, TPoint{150, 50}, 7), 7);  // no ink at all

  // A line at 3 degrees is found from an estimate of 1.
  for (int x = 0; x < 150; ++x) {
    const int y = 40 + static_cast<int>(std::nearbyint(x * std::tan(3 * M_PI / 180)));
    FillRect(pic, x, y, x, y, kBlack);
  }
  EXPECT_EQ(finder.RefineAngle(TPoint{0, 40}, TPoint{149, 48}, 1), 3);

  // Equal counts: the smaller angle wins.
  Picture two(100, 60);
  FillRect(two, 0, 30, 99, 32, kBlack);
  bmp.LoadBitmap(two);
  EXPECT_EQ(finder.RefineAngle(TPoint{0, 30}, TPoint{0, 30}, 0), -2);
}

// Synthetic camera frames: a printed frame turned by known angles on a noisy
// desk, with a dark blob and a finger at the edge, prepared as the frame watch
// prepares them. The corner scans reach half the picture height inward from
// each corner, so how far a sheet may turn depends on the selection's shape:
// a square selection with the frame at about two thirds reads up to 40
// degrees, the full 800 x 600 frame about 20.
TEST(FindAngle, TurnedSheetsOnNoisyFrames) {
  struct Shape {
    int width, height;
    double frameWidth, frameHeight;
    int maxAngle;
  };
  for (const Shape& shape : {Shape{600, 600, 400, 400, 40}, Shape{800, 600, 460, 440, 20}}) {
    for (int angle = -shape.maxAngle; angle <= shape.maxAngle; angle += 5) {
      for (std::uint32_t seed : {1u, 2u}) {
        testsupport::FrameScene scene;
        scene.Width = shape.width;
        scene.Height = shape.height;
        scene.CentreX = shape.width / 2.0;
        scene.CentreY = shape.height / 2.0;
        scene.FrameWidth = shape.frameWidth;
        scene.FrameHeight = shape.frameHeight;
        scene.Angle = angle + (seed == 2 ? 0.4 : 0.0);
        scene.PageMargin = 1000;  // the selection lies within the page
        scene.Noise = 7;
        scene.LightFall = 0.25;
        scene.Blob = true;
        scene.Finger = true;
        scene.FingerX = angle <= 0 ? 0.75 : 0.25;  // between the frame's corners
        scene.Seed = seed;
        Picture frame = testsupport::DrawFrameScene(scene);

        TIntBmp work;
        TFindAngle finder;
        PrepareFrame(work, frame, FrameCleaning{30, true, true});
        const SheetLocation loc = LocateSheet(work, finder);
        const std::string what = std::to_string(shape.width) + "x" + std::to_string(shape.height) +
                                 " angle " + std::to_string(scene.Angle);
        ASSERT_EQ(loc.CornerCount, 4) << what;
        EXPECT_TRUE(loc.Accepted) << what;
        EXPECT_LE(std::abs(loc.Skew - scene.Angle), 1.0) << what;

        const testsupport::SceneCorners want = testsupport::ExpectedCorners(scene);
        // Near 40 degrees the frame's edges run almost along the diagonal
        // scan lines, so the first touch slides a little along the edge.
        const double tolerance = std::abs(angle) >= 40 ? 12.0 : 6.0;
        const auto check = [&](const char* name, TPoint got, testsupport::PointF p) {
          EXPECT_LE(std::hypot(got.X - p.X, got.Y - p.Y), tolerance)
              << what << " " << name << " found (" << got.X << ", " << got.Y << ") drawn ("
              << p.X << ", " << p.Y << ")";
        };
        check("top-left", loc.TopLeft, want.TopLeft);
        check("top-right", loc.TopRight, want.TopRight);
        check("bottom-left", loc.BottomLeft, want.BottomLeft);
        check("bottom-right", loc.BottomRight, want.BottomRight);
      }
    }
  }
}

TEST(FindAngle, BlankFrameIsRefused) {
  testsupport::FrameScene scene;
  scene.DrawFrame = false;
  scene.DrawLattice = false;
  scene.PageMargin = 2000;
  Picture frame = testsupport::DrawFrameScene(scene);
  TIntBmp work;
  TFindAngle finder;
  PrepareFrame(work, frame, FrameCleaning{});
  const SheetLocation loc = LocateSheet(work, finder);
  EXPECT_FALSE(loc.Accepted);
  EXPECT_EQ(loc.Message, kNoAnswerArea);
}

}  // namespace
}  // namespace kestrelo
