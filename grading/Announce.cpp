#include "grading/Announce.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "common/DecimalText.h"

namespace kestrelo {
namespace {

constexpr std::int32_t kAfterDingMs = 200;
constexpr std::int32_t kBeforeNameMs = 100;
constexpr std::int32_t kBeforeScoreMs = 100;
constexpr std::int32_t kBeforeTypeTotalMs = 200;
constexpr std::int32_t kPollMs = 100;

constexpr const char* kNameless = "无名";

// Bytes of the UTF-8 character at the start of s; 1 for a byte that starts
// no well-formed character, so damaged text still moves on.
std::size_t CharLength(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = lead < 0x80                    ? 1
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (n == 0 || n > s.size()) return 1;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 1;
  }
  return n;
}

std::vector<std::string_view> Characters(std::string_view s) {
  std::vector<std::string_view> chars;
  while (!s.empty()) {
    const std::size_t n = CharLength(s);
    chars.push_back(s.substr(0, n));
    s.remove_prefix(n);
  }
  return chars;
}

bool IsBlankChar(std::string_view c) {
  return (c.size() == 1 && static_cast<unsigned char>(c[0]) <= ' ') || c == "\u3000";
}

bool IsBlank(std::string_view text) {
  for (std::string_view c : Characters(text)) {
    if (!IsBlankChar(c)) return false;
  }
  return true;
}

// A piece of a file name taken from data: it must not lead out of its folder.
bool IsSafeNamePart(std::string_view part) {
  return part.find('/') == std::string_view::npos && part.find('\0') == std::string_view::npos;
}

}  // namespace

TAnnouncer::TAnnouncer(const Tcfg& cfg, std::filesystem::path programFolder,
                       const TPinyinList& pinyin, TSoundPlayer& player, TClock& clock)
    : cfg_(cfg),
      folder_(std::move(programFolder)),
      pinyin_(pinyin),
      player_(player),
      clock_(clock) {}

std::filesystem::path TAnnouncer::File(std::string_view relative) const {
  return folder_ / relative;
}

void TAnnouncer::PlayDing() {
  player_.PlaySound(File(kDingSound));
  Pause(kAfterDingMs);
}

void TAnnouncer::Announce(std::string_view name, std::string_view number, float score,
                          std::span<const float> typeTotals, int decimals) {
  const std::int64_t start = clock_.NowMs();

  if (cfg_.FSpeakNumber() && !IsBlank(number)) {
    SpeakNumber(number, decimals);
    if (player_.Exists(File(kNumberWordSound))) player_.PlaySound(File(kNumberWordSound));
  }
  if (cfg_.FSpeakName()) {
    if (!Pause(kBeforeNameMs)) return;
    SpeakName(name);
  }
  if (cfg_.FSpeakScore()) {
    if (!Pause(kBeforeScoreMs)) return;
    SpeakNumber(ScoreText(score), decimals);
    if (player_.Exists(File(kPointsWordSound))) player_.PlaySound(File(kPointsWordSound));
  }
  if (cfg_.FSpeakTypeScores()) {
    for (const float total : typeTotals) {
      if (!Pause(kBeforeTypeTotalMs)) return;
      SpeakNumber(ScoreText(total), decimals);
    }
  }

  const std::int64_t minimum = cfg_.FPauseMs();
  while (clock_.NowMs() - start < minimum) {
    if (!Pause(kPollMs)) return;
  }
}

void TAnnouncer::SpeakNumber(std::string_view text, int decimals) {
  const std::size_t dot = text.find('.');
  if (dot != std::string_view::npos) {
    text = text.substr(0, dot + 1 + static_cast<std::size_t>(decimals > 0 ? decimals : 0));
  }
  for (std::string_view c : Characters(text)) {
    if (c == ".") {
      player_.PlaySound(File(kDotSound));
    } else if (IsSafeNamePart(c)) {
      player_.PlaySound(File("wav/" + std::string(c) + ".wav"));
    } else {
      player_.PlayDefaultSound();  // as for any character without a sound file
    }
  }
}

std::vector<std::filesystem::path> TAnnouncer::NameSounds(std::string_view name) const {
  if (IsBlank(name)) name = kNameless;
  std::vector<std::filesystem::path> sounds;
  const std::vector<std::string_view> chars = Characters(name);
  const std::size_t count = std::min<std::size_t>(chars.size(), kMaxSpokenNameChars);
  for (std::size_t k = 0; k < count; ++k) {
    const std::optional<std::string_view> syllable = pinyin_.Syllable(chars[k]);
    if (!syllable) continue;  // not in the dictionary: silently skipped
    const std::filesystem::path file =
        File(std::string(kSyllableFolder) + "/" + std::string(*syllable) + ".dlt");
    sounds.push_back(
        IsSafeNamePart(*syllable) && player_.Exists(file) ? file : File(kUnknownSyllableSound));
  }
  return sounds;
}

void TAnnouncer::SpeakName(std::string_view name) {
  for (const std::filesystem::path& sound : NameSounds(name)) player_.PlaySound(sound);
}

}  // namespace kestrelo
