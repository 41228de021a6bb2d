#include "grading/SoundPlayerRecorder.h"

#include <utility>

namespace kestrelo {

TSoundRecorder::TSoundRecorder(std::filesystem::path root, std::int32_t msPerSound)
    : root_(std::move(root)), msPerSound_(msPerSound) {}

bool TSoundRecorder::LoggingClock::SleepMs(std::int32_t ms) {
  owner_.Log("pause " + std::to_string(ms));
  return FakeClock::SleepMs(ms);
}

PlayResult TSoundRecorder::PlayFile(const std::filesystem::path& file) {
  const std::string name = Relative(file);
  if (!Exists(file)) {
    Log("missing " + name);
    return {PlayOutcome::Missing, file.string() + ": no such sound file"};
  }
  Log(name);
  clock_.Advance(msPerSound_);
  return {};
}

void TSoundRecorder::PlayDefaultSound() {
  Log("default sound");
  clock_.Advance(msPerSound_);
}

std::vector<std::string> TSoundRecorder::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

void TSoundRecorder::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

void TSoundRecorder::Log(const std::string& what) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::to_string(clock_.NowMs()) + " " + what);
}

std::string TSoundRecorder::Relative(const std::filesystem::path& file) const {
  if (root_.empty()) return file.generic_string();
  const std::filesystem::path rel = file.lexically_relative(root_);
  return rel.empty() ? file.generic_string() : rel.generic_string();
}

}  // namespace kestrelo
