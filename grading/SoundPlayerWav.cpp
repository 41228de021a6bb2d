#include "grading/SoundPlayerWav.h"

#include <algorithm>

#include "common/Error.h"

namespace kestrelo {
namespace {

void Put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t Get(std::string_view b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

}  // namespace

std::string EncodeWav(const TWavSound& sound) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(sound.Samples.size() * 2);
  const std::uint16_t channels = static_cast<std::uint16_t>(sound.Channels);
  const std::uint32_t rate = static_cast<std::uint32_t>(sound.SampleRate);
  std::string out;
  out.reserve(44 + dataBytes);
  out += "RIFF";
  Put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * channels * 2);
  Put16(out, static_cast<std::uint16_t>(channels * 2));
  Put16(out, 16);
  out += "data";
  Put32(out, dataBytes);
  for (const std::int16_t s : sound.Samples) Put16(out, static_cast<std::uint16_t>(s));
  return out;
}

TWavSound DecodeWav(std::string_view b, const std::string& name) {
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") {
    throw FileError(name, "not a WAV file");
  }
  TWavSound sound;
  bool haveFormat = false;
  std::size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::string_view id = b.substr(at, 4);
    const std::size_t size = Get(b, at + 4, 4);
    const std::size_t body = at + 8;
    const std::size_t available = b.size() - body;
    if (id == "fmt ") {
      if (size < 16 || size > available) throw FileError(name, "WAV format chunk is cut short");
      const std::uint32_t format = Get(b, body, 2);
      sound.Channels = static_cast<std::int32_t>(Get(b, body + 2, 2));
      sound.SampleRate = static_cast<std::int32_t>(Get(b, body + 4, 4));
      const std::uint32_t bits = Get(b, body + 14, 2);
      if (format != 1 || bits != 16) throw FileError(name, "WAV is not 16-bit PCM");
      if (sound.Channels < 1 || sound.Channels > 8 || sound.SampleRate < 1) {
        throw FileError(name, "WAV format has an impossible channel count or sample rate");
      }
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) throw FileError(name, "WAV data come before the format");
      const std::size_t bytes = std::min(size, available) & ~std::size_t{1};
      sound.Samples.resize(bytes / 2);
      for (std::size_t i = 0; i < sound.Samples.size(); ++i) {
        sound.Samples[i] = static_cast<std::int16_t>(Get(b, body + 2 * i, 2));
      }
      return sound;
    }
    if (size > available) break;
    at = body + size + (size & 1);  // chunks are padded to even length
  }
  throw FileError(name, "WAV file has no data chunk");
}

}  // namespace kestrelo
