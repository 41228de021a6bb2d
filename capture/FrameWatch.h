#pragma once
// The frame watch: a background thread that binarises every frame the window
// hands over, cleans it, and while reading is on finds the sheet's corner
// marks and skew; a still, straight sheet is handed to one reading at a time.
// Also the window-side operations around it: grabbing a frame into the shared
// picture, resampling small frames, and the hand-off decision.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capture/ReadingState.h"
#include "capture/UiDispatcher.h"
#include "grading/AnnounceClock.h"
#include "imaging/FindAngle.h"
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"
#include "settings/Cfg.h"

namespace kestrelo {

// Everything a reading receives: copies, so the next cycle may go on at once.
struct ReadHandOff {
  Picture Frame;  // binarised and cleaned, without guide lines
  TIntDynaArrArr Grey;
  std::string TemplateText;
  int Skew = 0;
  std::int32_t Sequence = 0;
  TPoint TopLeft, TopRight, BottomLeft, BottomRight;
  TRect Bounds;
};

// The window's side. Every call is made on the UI thread.
class FrameWatchWindow {
 public:
  virtual ~FrameWatchWindow() = default;
  virtual int Darkness() = 0;  // the "颜色浓度" value, 0 ... 50
  virtual void SetMessage1(const std::string& text) = 0;
  virtual void SetMessage2(const std::string& text) = 0;
  // The analysis view takes a copy of the processed frame.
  virtual void ShowAnalysisFrame(const Picture& frame) = 0;
  // The current card template as JSON text.
  virtual std::string TemplateText() = 0;
  // Starts a reading of the handed-over sheet (a read thread); it counts
  // itself in ReadThreadsAlive.
  virtual void LaunchReading(ReadHandOff handOff) = 0;
  // A problem the user should see once (a missing stand-by picture).
  virtual void ReportError(const std::string& text) = 0;
};

inline constexpr const char* kStandByPicture = "screen.DLL";
inline constexpr int kGuideThickness = 3;

// Replaces the picture with an 800 x 600 grey copy, resampled bilinearly
// from its blue channel.
void NormaliseSmallFrame(Picture& picture);

class FrameWatch {
 public:
  FrameWatch(ReadingState& state, Tcfg& cfg, UiDispatcher& ui, FrameWatchWindow& window,
             TClock& clock, std::filesystem::path programFolder);
  // Ends every frame-watch thread; call on the UI thread after the window has
  // stopped sending frames. Waiting calls are cancelled, not deadlocked.
  ~FrameWatch();
  FrameWatch(const FrameWatch&) = delete;
  FrameWatch& operator=(const FrameWatch&) = delete;

  // UI thread (the watchdog): starts a frame watch unless one runs.
  void StartFrameWatch();
  // UI thread: asks the running frame watch to end; it ends within a cycle.
  void StopFrameWatch();
  // UI thread: waits up to `timeoutMs`, running the thread's synchronous
  // calls meanwhile, until no frame watch runs. True when it ended.
  bool WaitStopped(int timeoutMs);

  // UI thread, while FrameHandshake is 0: fills FrameBitmap from the preview
  // (its selected part when `selection` is given and not empty) or, with no
  // camera and no reading, from the stand-by picture; then marks it ready.
  void GrabFrame(const Picture* preview, std::optional<TRect> selection);

  Picture& FrameBitmap() { return frameBitmap_; }
  // The skew measured in the frame watch's current cycle (1000 = none).
  int Skew() const { return skew_.load(std::memory_order_relaxed); }

 private:
  struct Thread;

  void Execute(Thread& self);
  bool Cycle(Thread& self);
  void ShowFrame();
  void TryHandOff();
  void LaunchReadThread(int skew, std::int32_t sequence);
  void DrawGuideLines();
  void JoinFinished();

  ReadingState& state_;
  Tcfg& cfg_;  // the hand-off sets FMaxReadThreads
  UiDispatcher& ui_;
  FrameWatchWindow& window_;
  TClock& clock_;
  std::filesystem::path folder_;

  Picture frameBitmap_;
  TIntBmp workImage_;
  TFindAngle cornerFinder_;
  std::atomic<int> skew_{1000};
  bool standByReported_ = false;

  std::vector<std::unique_ptr<Thread>> threads_;  // the current one last
  std::atomic<std::uint64_t> generation_{0};
};

}  // namespace kestrelo
