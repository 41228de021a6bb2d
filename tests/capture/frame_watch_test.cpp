#include "capture/FrameWatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>

#include "imaging/BmpFile.h"
#include "imaging/FramePrep.h"
#include "tests/common/TempFolder.h"
#include "tests/imaging/PictureText.h"
#include "tools/testsupport/SyntheticFrame.h"

namespace kestrelo {
namespace {

// The window side, recording what the frame watch asks of it.
class TestWindow : public FrameWatchWindow {
 public:
  explicit TestWindow(ReadingState& state) : state_(state) {}
  int Darkness() override { return 30; }
  void SetMessage1(const std::string& t) override { messages1.push_back(t); }
  void SetMessage2(const std::string& t) override { messages2.push_back(t); }
  void ShowAnalysisFrame(const Picture& f) override {
    ++shown;
    lastShown = f.Clone();
  }
  std::string TemplateText() override { return "{\"card\":1}"; }
  void LaunchReading(ReadHandOff h) override {
    state_.ReadThreadsAlive.fetch_add(1);  // as a read thread counts itself
    handOffs.push_back(std::move(h));
  }
  void ReportError(const std::string& t) override { errors.push_back(t); }

  std::vector<std::string> messages1, messages2, errors;
  std::vector<ReadHandOff> handOffs;
  int shown = 0;
  Picture lastShown;

 private:
  ReadingState& state_;
};

class FrameWatchTest : public ::testing::Test {
 protected:
  FrameWatchTest() : window(state), watch(state, cfg, ui, window, clock, folder.Path()) {
    state.DisplayHold = false;
  }

  // Runs the UI side until the frame watch asks for a frame (true) or time runs out.
  bool WaitForFrameRequest() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (state.FrameHandshake.load() != kFrameWanted) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      ui.ProcessFor(std::chrono::milliseconds(1));
    }
    return true;
  }

  // Hands one frame over and runs the UI side until its cycle is done.
  void Feed(const Picture& frame, std::optional<TRect> selection = std::nullopt) {
    ASSERT_TRUE(WaitForFrameRequest());
    watch.GrabFrame(&frame, selection);
    ASSERT_TRUE(WaitForFrameRequest());
  }

  static Picture Sheet(double angle = 5) {
    testsupport::FrameScene scene;
    scene.Angle = angle;
    scene.FrameWidth = 470;
    scene.FrameHeight = 450;
    scene.PageMargin = 1000;
    return testsupport::DrawFrameScene(scene);
  }

  TempFolder folder;
  ReadingState state;
  Tcfg cfg;
  UiDispatcher ui;
  FakeClock clock;
  TestWindow window;
  FrameWatch watch;
};

TEST_F(FrameWatchTest, StillSheetsHandOffOneReadingAtATime) {
  state.Reading = true;
  clock.Advance(1000);
  watch.StartFrameWatch();
  const Picture sheet = Sheet();
  for (int i = 0; i < 3; ++i) {
    Feed(sheet);
    clock.Advance(10);
  }
  ASSERT_EQ(window.handOffs.size(), 1u) << "a reading is alive: later still frames are skipped";
  EXPECT_EQ(state.HandOffSequence.load(), 1);
  EXPECT_EQ(cfg.FMaxReadThreads(), 1);
  const ReadHandOff& h = window.handOffs[0];
  EXPECT_EQ(h.Sequence, 1);
  EXPECT_LE(std::abs(h.Skew - 5), 1);
  EXPECT_EQ(h.TemplateText, "{\"card\":1}");
  EXPECT_EQ(static_cast<int>(h.Grey.size()), sheet.Height());
  EXPECT_EQ(h.Grey[0][0], sheet.Pixel(0, 0)[0]);  // grey levels of the raw frame
  // The copy is the cleaned black-and-white frame without the guide lines,
  // which the shown frame carries.
  EXPECT_TRUE(test::CharOf(h.Frame.Pixel(h.TopLeft.X - 1, 5)) == '.');
  EXPECT_EQ(test::CharOf(window.lastShown.Pixel(std::min(h.TopLeft.X, h.BottomLeft.X), 5)), 'w');

  // The reading ends: the next still frame starts the next one, after the wrap.
  state.ReadThreadsAlive = 0;
  state.HandOffSequence = 100000;
  Feed(sheet);
  ASSERT_EQ(window.handOffs.size(), 2u);
  EXPECT_EQ(window.handOffs[1].Sequence, 0);
}

TEST_F(FrameWatchTest, HandOffsAtLeastTwoMillisecondsApart) {
  state.Reading = true;
  clock.Advance(1000);
  watch.StartFrameWatch();
  const Picture sheet = Sheet();
  Feed(sheet);
  state.ReadThreadsAlive = 0;
  Feed(sheet);  // the fake clock stood still: under 2 ms
  EXPECT_EQ(window.handOffs.size(), 1u);
  clock.Advance(2);
  Feed(sheet);
  EXPECT_EQ(window.handOffs.size(), 2u);
}

TEST_F(FrameWatchTest, RefusedFramesSayWhyAndMoveTheDemoOn) {
  state.Reading = true;
  watch.StartFrameWatch();
  Feed(test::Uniform(800, 600, 200));
  EXPECT_EQ(window.messages1, (std::vector<std::string>{" ", kNoAnswerArea}));
  EXPECT_EQ(state.DemoPictureNo.load(), 2);
  EXPECT_TRUE(window.handOffs.empty());
}

// Four corner pieces whose top edge falls by `angle` degrees, in a tall
// picture so that all four lie within the corner scans' reach.
Picture SkewedCorners(double angle) {
  Picture pic(600, 1200);
  const double t = std::tan(angle * std::numbers::pi / 180);
  const auto line = [&](int x0, int y0, int x1, int y1) {
    const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= n; ++i) {
      const int x = x0 + (x1 - x0) * i / n;
      const int y = y0 + (y1 - y0) * i / n;
      test::FillRect(pic, x - 1, y - 1, x + 1, y + 1, kBlack);
    }
  };
  line(20, 20, 580, 20 + static_cast<int>(std::lround(560 * t)));  // top edge
  line(20, 20, 20, 150);
  line(580, 20 + static_cast<int>(std::lround(560 * t)), 580, 150 + static_cast<int>(560 * t));
  line(20, 1150, 580, 1150);  // level bottom edge
  line(20, 1150, 20, 1020);
  line(580, 1150, 580, 1020);
  return pic;
}

TEST_F(FrameWatchTest, SkewOfFortyIsReadFortyOneIsNot) {
  state.Reading = true;
  clock.Advance(1000);
  watch.StartFrameWatch();
  Feed(SkewedCorners(40));
  ASSERT_EQ(window.handOffs.size(), 1u);
  EXPECT_EQ(window.handOffs[0].Skew, 40);

  state.ReadThreadsAlive = 0;
  clock.Advance(10);
  Feed(SkewedCorners(41));
  EXPECT_EQ(window.handOffs.size(), 1u);
  EXPECT_EQ(window.messages1.back(), kSheetNotStraight);
}

TEST_F(FrameWatchTest, WithoutReadingFramesAreCleanedAndShownButNotLocated) {
  state.VideoDeviceCount = 1;
  watch.StartFrameWatch();
  Feed(Sheet());
  EXPECT_EQ(window.shown, 1);
  EXPECT_TRUE(window.messages1.empty());
  EXPECT_TRUE(window.handOffs.empty());
  EXPECT_EQ(test::CharOf(window.lastShown.Pixel(0, 0)), '.');  // binarised

  state.Paused = true;
  Feed(Sheet());
  EXPECT_EQ(window.shown, 1) << "paused: consumed, not shown";
}

TEST_F(FrameWatchTest, NoCameraShowsTheStandByPicture) {
  Picture standBy = test::Uniform(40, 30, 77);
  WriteBmp(standBy, folder.Path() / kStandByPicture);
  watch.StartFrameWatch();
  Feed(Sheet());  // the preview is ignored without camera and reading
  ASSERT_EQ(window.shown, 1);
  EXPECT_EQ(window.lastShown, standBy);

  std::filesystem::remove(folder.Path() / kStandByPicture);
  Feed(Sheet());
  Feed(Sheet());
  EXPECT_EQ(window.errors.size(), 1u) << "a missing stand-by picture is reported once";
  EXPECT_EQ(window.lastShown.Width(), 800);
}

TEST_F(FrameWatchTest, GrabFrameTakesTheSelectionAndUpscalesSmallFrames) {
  state.VideoDeviceCount = 1;
  Picture preview = test::Uniform(100, 80, 255);
  test::FillRect(preview, 10, 20, 10, 20, kBlack);
  state.FrameHandshake = kFrameWanted;
  watch.GrabFrame(&preview, TRect{10, 20, 59, 49});
  EXPECT_EQ(state.FrameHandshake.load(), kFrameReady);
  EXPECT_EQ(watch.FrameBitmap().Width(), 50);
  EXPECT_EQ(watch.FrameBitmap().Height(), 30);
  EXPECT_EQ(test::CharOf(watch.FrameBitmap().Pixel(0, 0)), '#');

  state.FrameHandshake = kFrameWanted;
  watch.GrabFrame(&preview, TRect{0, 50, 10, 50});  // top not above bottom: no selection
  EXPECT_EQ(watch.FrameBitmap().Width(), 100);

  cfg.SetFUpscaleSmall(true);
  state.FrameHandshake = kFrameWanted;
  watch.GrabFrame(&preview, std::nullopt);
  EXPECT_EQ(watch.FrameBitmap().Width(), 800);
  EXPECT_EQ(watch.FrameBitmap().Height(), 600);

  Picture empty;
  state.FrameHandshake = kFrameWanted;
  watch.GrabFrame(&empty, std::nullopt);
  EXPECT_EQ(state.FrameHandshake.load(), kFrameWanted) << "an empty frame never reaches the watch";
}

TEST(NormaliseSmallFrame, BilinearFromTheBlueChannel) {
  Picture src(2, 2);
  const std::uint8_t blue[2][2] = {{0, 100}, {200, 50}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) {
      std::uint8_t* p = src.Pixel(x, y);
      p[0] = blue[y][x];
      p[1] = 255;
      p[2] = 7;
    }
  }
  NormaliseSmallFrame(src);
  ASSERT_EQ(src.Width(), 800);
  EXPECT_EQ(src.Pixel(0, 0)[0], 0);
  EXPECT_EQ(src.Pixel(799, 0)[0], 100);
  EXPECT_EQ(src.Pixel(0, 599)[0], 200);
  EXPECT_EQ(src.Pixel(799, 599)[1], 50);
  EXPECT_EQ(src.Pixel(400, 300)[2], src.Pixel(400, 300)[0]);  // grey

  Picture column(1, 3);
  column.Pixel(0, 1)[0] = 90;
  NormaliseSmallFrame(column);
  EXPECT_EQ(column.Pixel(0, 0)[0], column.Pixel(799, 0)[0]) << "one column is repeated";
}

TEST(FrameWatchShutdown, EndsWhileTheThreadWaitsForTheUiThread) {
  ReadingState state;
  state.VideoDeviceCount = 1;
  Tcfg cfg;
  FakeClock clock;
  TempFolder folder;
  auto ui = std::make_unique<UiDispatcher>();
  TestWindow window(state);
  auto watch = std::make_unique<FrameWatch>(state, cfg, *ui, window, clock, folder.Path());
  watch->StartFrameWatch();
  while (state.FrameHandshake.load() != kFrameWanted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const Picture frame = test::Uniform(64, 48, 128);
  watch->GrabFrame(&frame, std::nullopt);
  // The thread now asks the UI thread for the darkness, and nobody answers.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  watch->StopFrameWatch();
  watch.reset();  // must not hang
  EXPECT_FALSE(state.FrameWatchRunning.load());
}

}  // namespace
}  // namespace kestrelo
