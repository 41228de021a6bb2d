#pragma once
// Plays WAV files through GStreamer, one pipeline per sound, and waits for its
// end. The audio sink is a GStreamer description: the constructor's argument,
// else the environment variable KESTRELO_AUDIO_SINK, else "autoaudiosink".
// Machines without a sound card use e.g. "fakesink sync=true".
#include <filesystem>
#include <string>

#include "grading/SoundPlayer.h"

namespace kestrelo {

inline constexpr const char* kAudioSinkVariable = "KESTRELO_AUDIO_SINK";

class TGstSoundPlayer final : public TSoundPlayer {
 public:
  // Throws Error when GStreamer or one of the elements it needs is missing.
  explicit TGstSoundPlayer(std::string sink = {});

  // Empty when GStreamer starts, otherwise why it does not.
  static std::string Unavailable();

  const std::string& Sink() const { return sink_; }

  PlayResult PlayFile(const std::filesystem::path& file) override;
  // A short beep of 150 ms made on the spot, so it needs no file.
  void PlayDefaultSound() override;

  // Longest time one sound may take; a sink that stalls must not hold the
  // read thread for ever.
  static constexpr int kMaxSoundSeconds = 30;

 private:
  std::string sink_;
};

}  // namespace kestrelo
