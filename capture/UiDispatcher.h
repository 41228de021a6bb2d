#pragma once
// Synchronous calls from worker threads onto the UI thread. A worker hands a
// function over and waits until the UI thread has run it; the UI thread runs
// what is waiting whenever it processes events. Shutdown wakes every waiting
// worker without running its function, so a UI thread that waits for a
// worker to end never deadlocks with a worker that waits for the UI thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrelo {

class UiDispatcher {
 public:
  // The constructing thread is the UI thread.
  UiDispatcher() : uiThread_(std::this_thread::get_id()) {}
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

  // Runs fn on the UI thread and waits for it (runs it at once when called on
  // the UI thread). An exception fn throws is rethrown in the caller. Returns
  // false, without running fn, once Shutdown has been called.
  bool Invoke(const std::function<void()>& fn);

  // UI thread: runs every call that is waiting. Returns how many ran.
  int ProcessPending();
  // UI thread: waits up to `timeout` for a call and runs what is waiting.
  int ProcessFor(std::chrono::milliseconds timeout);

  // Refuses new calls and wakes the workers waiting in Invoke.
  void Shutdown();
  // Accepts calls again (a new reading session).
  void Restart();
  bool IsShutDown() const;

 private:
  struct Call {
    const std::function<void()>* fn;
    bool done = false;
    bool cancelled = false;
    std::exception_ptr error;
  };

  std::thread::id uiThread_;
  mutable std::mutex mutex_;
  std::condition_variable callQueued_;
  std::condition_variable callDone_;
  std::deque<Call*> queue_;
  bool shutDown_ = false;
};

}  // namespace kestrelo
