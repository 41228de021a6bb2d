#include "capture/UiDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace kestrelo {
namespace {

TEST(UiDispatcher, RunsWorkerCallsOnTheUiThreadAndPassesErrorsBack) {
  UiDispatcher ui;
  std::thread::id ranOn;
  std::atomic<bool> done{false};
  bool threw = false;
  std::thread worker([&] {
    EXPECT_TRUE(ui.Invoke([&] { ranOn = std::this_thread::get_id(); }));
    try {
      ui.Invoke([] { throw std::runtime_error("from the UI thread"); });
    } catch (const std::runtime_error&) {
      threw = true;
    }
    done = true;
  });
  while (!done) ui.ProcessFor(std::chrono::milliseconds(1));
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(threw);
}

TEST(UiDispatcher, ShutdownReleasesAWaitingWorkerWithoutRunningItsCall) {
  UiDispatcher ui;
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = ui.Invoke([&] { ran = true; }) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ui.Shutdown();
  worker.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(ran.load());
  EXPECT_FALSE(ui.Invoke([&] { ran = true; })) << "refused once shut down, even on the UI thread";
  ui.Restart();
  EXPECT_TRUE(ui.Invoke([&] { ran = true; }));
  EXPECT_TRUE(ran.load());
}

}  // namespace
}  // namespace kestrelo
