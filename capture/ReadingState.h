#pragma once
// The reading state shared by the window, the frame watch and the read
// thread. Each value is a single atomic: a change shows at the next test.
// FrameHandshake hands FrameBitmap back and forth: the window writes 2 after
// filling it (release), the frame watch reads 2 (acquire) before using it and
// writes 0 when it wants the next frame.
#include <atomic>
#include <cstdint>

namespace kestrelo {

// FrameHandshake values.
inline constexpr std::int32_t kFrameWanted = 0;
inline constexpr std::int32_t kFrameReady = 2;
inline constexpr std::int32_t kNoCycleYet = 10;

struct ReadingState {
  std::atomic<bool> Reading{false};
  std::atomic<bool> Paused{false};
  // Frames are not painted into the analysis view; the window clears it at start-up.
  std::atomic<bool> DisplayHold{true};
  std::atomic<std::int32_t> FrameHandshake{kNoCycleYet};
  std::atomic<std::int32_t> DemoPictureNo{1};
  std::atomic<std::int32_t> ReadThreadsAlive{0};
  // 32-bit tick of the last hand-off, kept as the signed value it was stored as.
  std::atomic<std::int32_t> LastHandOffTick{0};
  // Runs 1 ... 100000, then 0, 1, ... again.
  std::atomic<std::int64_t> HandOffSequence{0};
  std::atomic<bool> FrameWatchRunning{false};
  // How many video devices were found; only whether there are any matters here.
  std::atomic<std::int32_t> VideoDeviceCount{0};
};

}  // namespace kestrelo
