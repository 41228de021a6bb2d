#include "capture/FrameWatch.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "common/Error.h"
#include "imaging/BmpFile.h"
#include "imaging/BorderBlobs.h"
#include "imaging/DotBlockRemoval.h"
#include "imaging/FramePrep.h"

namespace kestrelo {

struct FrameWatch::Thread {
  std::uint64_t generation = 0;
  std::atomic<bool> terminate{false};
  std::atomic<bool> finished{false};
  std::thread thread;
};

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

void NormaliseSmallFrame(Picture& picture) {
  const int w = picture.Width();
  const int h = picture.Height();
  if (w == 0 || h == 0) return;
  Picture target(800, 600);
  const double sx = (w - 1) / 799.0;
  const double sy = (h - 1) / 599.0;
  for (int j = 0; j < 600; ++j) {
    const double y = j * sy;
    const int y0 = static_cast<int>(y);
    const double fy = y - y0;
    const std::uint8_t* a = picture.Row(y0);
    const std::uint8_t* b = picture.Row(y0 == h - 1 ? y0 : y0 + 1);
    std::uint8_t* out = target.Row(j);
    for (int k = 0; k < 800; ++k) {
      const double x = k * sx;
      const int x0 = static_cast<int>(x);
      const double fx = x - x0;
      const int x1 = x0 == w - 1 ? x0 : x0 + 1;
      const double v = (1 - fx) * (1 - fy) * a[3 * x0] + (1 - fx) * fy * b[3 * x0] +
                       fx * (1 - fy) * a[3 * x1] + fx * fy * b[3 * x1];
      const auto g = static_cast<std::uint8_t>(std::trunc(v));
      out[3 * k] = out[3 * k + 1] = out[3 * k + 2] = g;
    }
  }
  picture = std::move(target);
}

FrameWatch::FrameWatch(ReadingState& state, Tcfg& cfg, UiDispatcher& ui,
                       FrameWatchWindow& window, TClock& clock, std::filesystem::path programFolder)
    : state_(state),
      cfg_(cfg),
      ui_(ui),
      window_(window),
      clock_(clock),
      folder_(std::move(programFolder)),
      cornerFinder_(cfg) {}

FrameWatch::~FrameWatch() {
  for (auto& t : threads_) t->terminate.store(true);
  // A thread may be waiting for a synchronous call that this (UI) thread
  // will never run now: cancel those, then wait for every thread.
  ui_.Shutdown();
  for (auto& t : threads_) {
    if (t->thread.joinable()) t->thread.join();
  }
  state_.FrameWatchRunning.store(false);
}

void FrameWatch::JoinFinished() {
  std::erase_if(threads_, [](const std::unique_ptr<Thread>& t) {
    if (!t->finished.load()) return false;
    if (t->thread.joinable()) t->thread.join();
    return true;
  });
}

void FrameWatch::StartFrameWatch() {
  if (state_.FrameWatchRunning.load()) return;
  try {
    JoinFinished();
    auto t = std::make_unique<Thread>();
    t->generation = ++generation_;
    state_.FrameWatchRunning.store(true);
    Thread& self = *t;
    threads_.push_back(std::move(t));
    self.thread = std::thread([this, &self] { Execute(self); });
  } catch (...) {
    StopFrameWatch();
  }
}

void FrameWatch::StopFrameWatch() {
  if (!threads_.empty() && !threads_.back()->finished.load()) {
    threads_.back()->terminate.store(true);
    state_.FrameWatchRunning.store(false);
  }
}

bool FrameWatch::WaitStopped(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool allDone = std::all_of(threads_.begin(), threads_.end(),
                                     [](const auto& t) { return t->finished.load(); });
    if (allDone) {
      JoinFinished();
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ui_.ProcessFor(std::chrono::milliseconds(10));
  }
}

void FrameWatch::Execute(Thread& self) {
  try {
    while (!self.terminate.load()) {
      if (!Cycle(self)) break;
    }
  } catch (...) {
    // An error ends this frame watch; the watchdog starts a new one.
  }
  // Only the current frame watch speaks for the running flag: an older one
  // that ends late must not let the watchdog start a second one beside it.
  if (self.generation == generation_.load()) state_.FrameWatchRunning.store(false);
  self.finished.store(true);
}

bool FrameWatch::Cycle(Thread& self) {
  // 1. Ask for a frame and wait for it. The wait also ends on a termination
  //    request, so a shutdown never depends on one more frame arriving.
  SleepMs(1);
  state_.FrameHandshake.store(kFrameWanted, std::memory_order_release);
  while (state_.FrameHandshake.load(std::memory_order_acquire) == kFrameWanted) {
    if (self.terminate.load()) return false;
    SleepMs(1);
  }

  // 2. Paused: the frame is consumed, nothing is shown.
  if (state_.Paused.load()) return true;

  // 3. Binarise, clean and, while reading, locate the sheet.
  if (state_.Reading.load() || state_.VideoDeviceCount.load() > 0) {
    workImage_.LoadBitmap(frameBitmap_);
    int darkness = 30;
    ui_.Invoke([&] { darkness = window_.Darkness(); });
    workImage_.BinariseBlocks(12, DarknessFactor(darkness));
    if (cfg_.FRemoveBorder()) RemoveBorderBlobs(workImage_);
    RemoveSpecks(workImage_, cfg_);

    if (state_.Reading.load()) {
      skew_.store(1000);
      ui_.Invoke([&] { window_.SetMessage1(" "); });
      const SheetLocation loc = LocateSheet(workImage_, cornerFinder_);
      if (!loc.Accepted) {
        ui_.Invoke([&] { window_.SetMessage1(loc.Message); });
        state_.DemoPictureNo.fetch_add(1);
      } else {
        skew_.store(loc.Skew);
        if (state_.ReadThreadsAlive.load() == 0) ui_.Invoke([&] { window_.SetMessage2(" "); });
        ui_.Invoke([&] { TryHandOff(); });
        if (PlausibleRectangle(loc)) DrawGuideLines();
      }
    }
  }

  // 4. Show the processed frame.
  if (!state_.DisplayHold.load() && !state_.Paused.load()) ui_.Invoke([&] { ShowFrame(); });
  return true;
}

void FrameWatch::DrawGuideLines() {
  const TFindAngle& f = cornerFinder_;
  const TRect all = workImage_.BoundsRect;
  workImage_.DrawVBand(all, std::min(f.TopLeft.X, f.BottomLeft.X), kGuideThickness, clGray);
  workImage_.DrawHBand(all, std::min(f.TopLeft.Y, f.TopRight.Y), kGuideThickness, clGray);
  workImage_.DrawVBand(all, std::max(f.TopRight.X, f.BottomRight.X), kGuideThickness, clGray);
  workImage_.DrawHBand(all, std::max(f.BottomLeft.Y, f.BottomRight.Y), kGuideThickness, clGray);
}

void FrameWatch::ShowFrame() {
  if (!state_.DisplayHold.load()) window_.ShowAnalysisFrame(frameBitmap_);
}

void FrameWatch::TryHandOff() {
  cfg_.SetFMaxReadThreads(1);
  const auto now = static_cast<std::uint32_t>(clock_.NowMs());
  const std::int64_t since =
      static_cast<std::int64_t>(now) - static_cast<std::int64_t>(state_.LastHandOffTick.load());
  if (since < 2) return;
  if (state_.ReadThreadsAlive.load() >= cfg_.FMaxReadThreads()) return;
  std::int64_t seq = state_.HandOffSequence.load() + 1;
  if (seq > 100000) seq = 0;
  state_.HandOffSequence.store(seq);
  LaunchReadThread(skew_.load(), static_cast<std::int32_t>(seq));
  state_.LastHandOffTick.store(static_cast<std::int32_t>(now));
}

void FrameWatch::LaunchReadThread(int skew, std::int32_t sequence) {
  ReadHandOff h;
  h.Frame = frameBitmap_.Clone();  // the working image's colour plane, before guide lines
  h.Grey = workImage_.Grey;
  h.TemplateText = window_.TemplateText();
  h.Skew = skew;
  h.Sequence = sequence;
  h.TopLeft = cornerFinder_.TopLeft;
  h.TopRight = cornerFinder_.TopRight;
  h.BottomLeft = cornerFinder_.BottomLeft;
  h.BottomRight = cornerFinder_.BottomRight;
  h.Bounds = cornerFinder_.Bounds;
  window_.LaunchReading(std::move(h));
}

void FrameWatch::GrabFrame(const Picture* preview, std::optional<TRect> selection) {
  state_.FrameHandshake.store(kFrameWanted, std::memory_order_relaxed);
  try {
    if (!state_.Reading.load() && state_.VideoDeviceCount.load() == 0) {
      try {
        frameBitmap_ = ReadBmp(folder_ / kStandByPicture);
      } catch (const Error& e) {
        if (!standByReported_) {
          standByReported_ = true;
          window_.ReportError(e.what());
        }
        frameBitmap_ = Picture(800, 600);
      }
    } else {
      if (preview == nullptr || preview->Empty()) return;
      TRect r{0, 0, preview->Width() - 1, preview->Height() - 1};
      if (selection && selection->Top < selection->Bottom) {
        // The preview clips a selection that reaches beyond it.
        r.Left = std::clamp(selection->Left, 0, preview->Width() - 1);
        r.Right = std::clamp(selection->Right, 0, preview->Width() - 1);
        r.Top = std::clamp(selection->Top, 0, preview->Height() - 1);
        r.Bottom = std::clamp(selection->Bottom, 0, preview->Height() - 1);
      }
      if (r.Right < r.Left || r.Bottom < r.Top) return;
      Picture copy(r.Right - r.Left + 1, r.Bottom - r.Top + 1);
      for (int y = 0; y < copy.Height(); ++y) {
        std::memcpy(copy.Row(y), preview->Pixel(r.Left, r.Top + y), copy.Stride());
      }
      frameBitmap_ = std::move(copy);
      if (frameBitmap_.Empty()) return;
      if (cfg_.FUpscaleSmall()) NormaliseSmallFrame(frameBitmap_);
    }
  } catch (...) {
    // The frame watch still gets its turn; the error reaches the window's error box.
    state_.FrameHandshake.store(kFrameReady, std::memory_order_release);
    throw;
  }
  state_.FrameHandshake.store(kFrameReady, std::memory_order_release);
}

}  // namespace kestrelo
