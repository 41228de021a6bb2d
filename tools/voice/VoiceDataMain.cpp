// Builds the voice data of the program folder from Debian's Unihan readings
// and espeak-ng's recordings:
//   kestrelo-voice dictionary READINGS.txt DICTIONARY SYLLABLES.txt
//       every GBK character with a Mandarin reading as "character=syllable"
//       (GBK, stored scrambled) and the distinct syllables, one a line
//   kestrelo-voice trim LIST
//       each line "RAW.wav<TAB>OUT": silence cut off both ends, peak set just
//       below full scale, ends faded against clicks
//   kestrelo-voice ding OUT.wav
//       the short chime played before each announcement
// Exit status 0 done, 2 bad input.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "common/GbkText.h"
#include "grading/SoundPlayerWav.h"
#include "settings/RestoreScrambledFile.h"

namespace kestrelo {
namespace {

// ---- Pinyin with tone marks to numbered pinyin ----------------------------

struct ToneVowel {
  char32_t marked;
  char plain;  // 'v' stands for ü, as in the usual ASCII spelling
  int tone;
};

constexpr ToneVowel kToneVowels[] = {
    {U'ā', 'a', 1}, {U'á', 'a', 2}, {U'ǎ', 'a', 3}, {U'à', 'a', 4}, {U'ē', 'e', 1}, {U'é', 'e', 2},
    {U'ě', 'e', 3}, {U'è', 'e', 4}, {U'ī', 'i', 1}, {U'í', 'i', 2}, {U'ǐ', 'i', 3}, {U'ì', 'i', 4},
    {U'ō', 'o', 1}, {U'ó', 'o', 2}, {U'ǒ', 'o', 3}, {U'ò', 'o', 4}, {U'ū', 'u', 1}, {U'ú', 'u', 2},
    {U'ǔ', 'u', 3}, {U'ù', 'u', 4}, {U'ǖ', 'v', 1}, {U'ǘ', 'v', 2}, {U'ǚ', 'v', 3}, {U'ǜ', 'v', 4},
    {U'ü', 'v', 0}, {U'ḿ', 'm', 2}, {U'ń', 'n', 2}, {U'ň', 'n', 3}, {U'ǹ', 'n', 4},
};

std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (int k = 1; k < n && i + static_cast<std::size_t>(k) < s.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(n);
  }
  return out;
}

// "zhāng" gives "zhang1", "lǜ" "lv4", a syllable without mark tone 5.
// Empty when the reading holds a letter this spelling cannot write.
std::string NumberTones(std::string_view reading) {
  std::string plain;
  int tone = 5;
  for (const char32_t c : DecodeUtf8(reading)) {
    if (c >= U'a' && c <= U'z') {
      plain.push_back(static_cast<char>(c));
      continue;
    }
    bool known = false;
    for (const ToneVowel& v : kToneVowels) {
      if (v.marked != c) continue;
      plain.push_back(v.plain);
      if (v.tone != 0) tone = v.tone;
      known = true;
      break;
    }
    if (!known) return {};
  }
  if (plain.empty()) return {};
  return plain + std::to_string(tone);
}

// ---- dictionary -----------------------------------------------------------

// Code point of the first kMandarin reading of each character.
std::map<char32_t, std::string> ReadMandarin(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path, "cannot open");
  std::map<char32_t, std::string> readings;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || !line.starts_with("U+")) continue;
    const std::size_t t1 = line.find('\t');
    const std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 == std::string::npos || line.compare(t1 + 1, t2 - t1 - 1, "kMandarin") != 0) continue;
    const char32_t cp = static_cast<char32_t>(std::stoul(line.substr(2, t1 - 2), nullptr, 16));
    std::string value = line.substr(t2 + 1);
    if (!value.empty() && value.back() == '\r') value.pop_back();
    readings[cp] = value.substr(0, value.find(' '));
  }
  if (readings.empty()) throw FileError(path, "holds no kMandarin readings");
  return readings;
}

int MakeDictionary(const std::string& readingsPath, const std::string& dictPath,
                   const std::string& syllablesPath) {
  const std::map<char32_t, std::string> readings = ReadMandarin(readingsPath);
  std::string dict;
  std::set<std::string> syllables;
  std::size_t entries = 0, unspellable = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      std::string utf8;
      try {
        utf8 = GbkToUtf8(gbk);
      } catch (const Error&) {
        continue;  // an unassigned code
      }
      const std::u32string cps = DecodeUtf8(utf8);
      if (cps.size() != 1) continue;
      const auto it = readings.find(cps[0]);
      if (it == readings.end()) continue;
      const std::string syllable = NumberTones(it->second);
      if (syllable.empty()) {
        ++unspellable;
        continue;
      }
      dict += gbk + "=" + syllable + "\n";
      syllables.insert(syllable);
      ++entries;
    }
  }
  ScrambleBytes(dict);
  WriteFileAtomically(dictPath, dict);
  std::string list;
  for (const std::string& s : syllables) list += s + "\n";
  WriteFileAtomically(syllablesPath, list);
  std::cout << entries << " characters, " << syllables.size() << " syllables";
  if (unspellable) std::cout << ", " << unspellable << " readings not spelt in numbered pinyin";
  std::cout << "\n";
  return 0;
}

// ---- sounds ---------------------------------------------------------------

constexpr double kPeak = 0.89 * 32767;  // about -1 dBFS: loud, never clipping
constexpr int kSilenceLevel = 300;      // below this a sample counts as silence
constexpr double kLeadMs = 10, kTailMs = 40, kFadeMs = 5;

void Trim(TWavSound& sound, const std::string& name) {
  std::vector<std::int16_t>& s = sound.Samples;
  const std::size_t ch = static_cast<std::size_t>(sound.Channels);
  std::size_t first = s.size(), last = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (std::abs(static_cast<int>(s[i])) > kSilenceLevel) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first >= s.size()) throw FileError(name, "holds only silence");
  const auto frames = [&](double ms) {
    return static_cast<std::size_t>(ms * sound.SampleRate / 1000) * ch;
  };
  const std::size_t begin =
      first / ch * ch >= frames(kLeadMs) ? first / ch * ch - frames(kLeadMs) : 0;
  const std::size_t end = std::min(s.size(), (last / ch + 1) * ch + frames(kTailMs));
  std::vector<std::int16_t> cut(s.begin() + static_cast<std::ptrdiff_t>(begin),
                                s.begin() + static_cast<std::ptrdiff_t>(end));

  int peak = 1;
  for (const std::int16_t v : cut) peak = std::max(peak, std::abs(static_cast<int>(v)));
  const double gain = kPeak / peak;
  const std::size_t fade = std::max<std::size_t>(frames(kFadeMs), ch);
  const std::size_t n = cut.size();
  for (std::size_t i = 0; i < n; ++i) {
    double g = gain;
    if (i < fade) g *= static_cast<double>(i) / fade;
    if (n - 1 - i < fade) g *= static_cast<double>(n - 1 - i) / fade;
    cut[i] = static_cast<std::int16_t>(std::lround(std::clamp(cut[i] * g, -32767.0, 32767.0)));
  }
  s = std::move(cut);
}

int TrimList(const std::string& listPath) {
  std::ifstream in(listPath, std::ios::binary);
  if (!in) throw FileError(listPath, "cannot open");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) throw FileError(listPath, "line without a tab: " + line);
    const std::string raw = line.substr(0, tab), out = line.substr(tab + 1);
    TWavSound sound = DecodeWav(ReadWholeFile(raw), raw);
    Trim(sound, raw);
    WriteFileAtomically(out, EncodeWav(sound));
  }
  return 0;
}

// A small bell: a struck partial series with a quick attack and a decay.
int MakeDing(const std::string& out) {
  TWavSound sound;
  sound.SampleRate = 22050;
  const double seconds = 0.45, attack = 0.004, release = 0.01, decay = 0.11;
  const struct {
    double freq, amp;
  } partials[] = {{1318.5, 1.0}, {2637.0, 0.35}, {3955.5, 0.12}, {1975.5, 0.25}};
  const std::size_t n = static_cast<std::size_t>(seconds * sound.SampleRate);
  std::vector<double> wave(n);
  double peak = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / sound.SampleRate;
    double v = 0;
    for (const auto& p : partials) v += p.amp * std::sin(2 * std::numbers::pi * p.freq * t);
    const double toEnd = seconds - t;
    v *= std::min(1.0, t / attack) * std::min(1.0, toEnd / release) * std::exp(-t / decay);
    wave[i] = v;
    peak = std::max(peak, std::abs(v));
  }
  for (double v : wave)
    sound.Samples.push_back(static_cast<std::int16_t>(std::lround(v / peak * 0.7 * 32767)));
  WriteFileAtomically(out, EncodeWav(sound));
  return 0;
}

int Usage() {
  std::cerr << "usage: kestrelo-voice dictionary READINGS.txt DICTIONARY SYLLABLES.txt\n"
               "       kestrelo-voice trim LIST\n"
               "       kestrelo-voice ding OUT.wav\n";
  return 2;
}

int Run(const std::vector<std::string>& a) {
  if (a.size() == 4 && a[0] == "dictionary") return MakeDictionary(a[1], a[2], a[3]);
  if (a.size() == 2 && a[0] == "trim") return TrimList(a[1]);
  if (a.size() == 2 && a[0] == "ding") return MakeDing(a[1]);
  return Usage();
}

}  // namespace
}  // namespace kestrelo

int main(int argc, char** argv) {
  try {
    return kestrelo::Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "kestrelo-voice: " << e.what() << "\n";
    return 2;
  }
}
