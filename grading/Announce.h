#pragma once
// The spoken announcement after a sheet is recorded: a signal, then examinee
// number, name, score and type scores played from recorded sound files, padded
// to a minimum time per sheet. Runs in the read thread; every sound is played
// synchronously, so the caller waits until the announcement is over.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "grading/AnnounceClock.h"
#include "grading/PinyinList.h"
#include "grading/SoundPlayer.h"
#include "settings/Cfg.h"

namespace kestrelo {

// Sound files under the program folder.
inline constexpr const char* kDingSound = "wav/ding.wav";
inline constexpr const char* kDotSound = "wav/dot.wav";
inline constexpr const char* kNumberWordSound = "wav/号.wav";
inline constexpr const char* kPointsWordSound = "wav/分.wav";
inline constexpr const char* kUnknownSyllableSound = "wav/错.wav";
inline constexpr const char* kSyllableFolder = "DZ.dll";

// Names longer than this are cut.
inline constexpr int kMaxSpokenNameChars = 7;

class TAnnouncer {
 public:
  // All references must outlive the announcer. The settings are read at each
  // call, so changes made while reading take effect at the next sheet.
  TAnnouncer(const Tcfg& cfg, std::filesystem::path programFolder, const TPinyinList& pinyin,
             TSoundPlayer& player, TClock& clock);

  // The signal, then 200 ms.
  void PlayDing();
  // Number, name, score and type totals as the options say, then waits until
  // FPauseMs have passed since the call began. decimals: digits kept after
  // the point (1 from the read thread). Stops early when the clock is
  // interrupted.
  void Announce(std::string_view name, std::string_view number, float score,
                std::span<const float> typeTotals, int decimals);

  // Digit by digit, "." as the point, the fraction cut to decimals characters.
  void SpeakNumber(std::string_view text, int decimals);
  // The first seven characters through the dictionary; an empty or blank
  // name is spoken as "无名".
  void SpeakName(std::string_view name);

  // The files SpeakName plays for a name, in order.
  std::vector<std::filesystem::path> NameSounds(std::string_view name) const;

 private:
  std::filesystem::path File(std::string_view relative) const;
  bool Pause(std::int32_t ms) { return clock_.SleepMs(ms); }

  const Tcfg& cfg_;
  std::filesystem::path folder_;
  const TPinyinList& pinyin_;
  TSoundPlayer& player_;
  TClock& clock_;
};

}  // namespace kestrelo
