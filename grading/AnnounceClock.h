#pragma once
// Time as the announcement sees it: a tick count and a pause. The real clock
// sleeps; the fake one only moves its count, so tests of long pauses run at once.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrelo {

class TClock {
 public:
  virtual ~TClock() = default;
  virtual std::int64_t NowMs() = 0;
  // Returns false when the clock was interrupted: the caller stops what it
  // was timing instead of carrying on.
  virtual bool SleepMs(std::int32_t ms) = 0;
};

// Monotonic milliseconds. Interrupt() cuts short every pause, present and
// future, so a shutdown never waits out an announcement's minimum time.
class SteadyClock final : public TClock {
 public:
  std::int64_t NowMs() override;
  bool SleepMs(std::int32_t ms) override;
  void Interrupt();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool interrupted_ = false;
};

// Starts at 0 and advances only by the pauses taken (and Advance).
class FakeClock : public TClock {
 public:
  std::int64_t NowMs() override { return now_.load(std::memory_order_relaxed); }
  bool SleepMs(std::int32_t ms) override {
    if (ms > 0) Advance(ms);
    return true;
  }
  void Advance(std::int64_t ms) { now_.fetch_add(ms, std::memory_order_relaxed); }

 private:
  std::atomic<std::int64_t> now_{0};
};

}  // namespace kestrelo
