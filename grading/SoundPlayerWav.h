#pragma once
// 16-bit PCM WAV files in memory: what the voice-data tool writes and trims,
// and what the tests play.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelo {

struct TWavSound {
  std::int32_t SampleRate = 22050;
  std::int32_t Channels = 1;
  std::vector<std::int16_t> Samples;  // interleaved by channel
};

std::string EncodeWav(const TWavSound& sound);

// Throws FileError naming `name` when the bytes are not a 16-bit PCM WAV.
// A data chunk that claims more bytes than follow (as streaming writers leave
// it) is read up to the end of the bytes.
TWavSound DecodeWav(std::string_view bytes, const std::string& name);

}  // namespace kestrelo
