#include "grading/AnnounceClock.h"

#include <chrono>

namespace kestrelo {

std::int64_t SteadyClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool SteadyClock::SleepMs(std::int32_t ms) {
  std::unique_lock lock(mutex_);
  if (ms > 0) wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return interrupted_; });
  return !interrupted_;
}

void SteadyClock::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
  }
  wake_.notify_all();
}

}  // namespace kestrelo
