#pragma once
// A sound player for tests: plays nothing, logs every sound and every pause
// with the time of its fake clock. A file plays when it exists on disk, so a
// test lays out the files it wants found.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "grading/AnnounceClock.h"
#include "grading/SoundPlayer.h"

namespace kestrelo {

class TSoundRecorder final : public TSoundPlayer {
 public:
  // Files are logged relative to root ("wav/0.wav"). Each sound takes
  // msPerSound on the clock, as a real one would.
  explicit TSoundRecorder(std::filesystem::path root, std::int32_t msPerSound = 0);

  // The clock to time the announcement with: its pauses are logged too.
  FakeClock& Clock() { return clock_; }

  PlayResult PlayFile(const std::filesystem::path& file) override;
  void PlayDefaultSound() override;

  // One line per event: "<ms> <file>", "<ms> missing <file>",
  // "<ms> default sound", "<ms> pause <ms>".
  std::vector<std::string> Lines() const;
  void Clear();

 private:
  class LoggingClock final : public FakeClock {
   public:
    explicit LoggingClock(TSoundRecorder& owner) : owner_(owner) {}
    bool SleepMs(std::int32_t ms) override;

   private:
    TSoundRecorder& owner_;
  };

  void Log(const std::string& what);
  std::string Relative(const std::filesystem::path& file) const;

  std::filesystem::path root_;
  std::int32_t msPerSound_;
  LoggingClock clock_{*this};
  mutable std::mutex mutex_;  // the read thread plays while a test may look
  std::vector<std::string> lines_;
};

}  // namespace kestrelo
