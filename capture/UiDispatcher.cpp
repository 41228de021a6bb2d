#include "capture/UiDispatcher.h"

namespace kestrelo {

bool UiDispatcher::Invoke(const std::function<void()>& fn) {
  if (OnUiThread()) {
    if (IsShutDown()) return false;
    fn();
    return true;
  }
  Call call{&fn, false, false, {}};
  std::unique_lock lock(mutex_);
  if (shutDown_) return false;
  queue_.push_back(&call);
  callQueued_.notify_all();
  callDone_.wait(lock, [&] { return call.done || call.cancelled; });
  if (call.error) std::rethrow_exception(call.error);
  return call.done;
}

int UiDispatcher::ProcessPending() {
  int ran = 0;
  for (;;) {
    Call* call;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return ran;
      call = queue_.front();
      queue_.pop_front();
    }
    std::exception_ptr error;
    try {
      (*call->fn)();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      call->error = error;
      call->done = true;
    }
    callDone_.notify_all();
    ++ran;
  }
}

int UiDispatcher::ProcessFor(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    callQueued_.wait_for(lock, timeout, [&] { return !queue_.empty() || shutDown_; });
  }
  return ProcessPending();
}

void UiDispatcher::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    for (Call* call : queue_) call->cancelled = true;
    queue_.clear();
  }
  callDone_.notify_all();
  callQueued_.notify_all();
}

void UiDispatcher::Restart() {
  std::lock_guard lock(mutex_);
  shutDown_ = false;
}

bool UiDispatcher::IsShutDown() const {
  std::lock_guard lock(mutex_);
  return shutDown_;
}

}  // namespace kestrelo
