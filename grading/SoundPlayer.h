#pragma once
// Playing sound files one after another, each call returning when its sound
// has ended. The announcement only needs this much; the GStreamer player
// serves the program, the recorder serves the tests.
#include <filesystem>
#include <string>

namespace kestrelo {

enum class PlayOutcome { Played, Missing, Unplayable };

struct PlayResult {
  PlayOutcome Outcome = PlayOutcome::Played;
  std::string Message;  // names the file and what went wrong; empty when played

  bool Played() const { return Outcome == PlayOutcome::Played; }
};

class TSoundPlayer {
 public:
  virtual ~TSoundPlayer() = default;

  // Plays a WAV file to its end.
  virtual PlayResult PlayFile(const std::filesystem::path& file) = 0;
  // The short tone that stands in for a sound that cannot be played.
  virtual void PlayDefaultSound() = 0;
  virtual bool Exists(const std::filesystem::path& file) const;

  // The simple call of the announcement: the file, or the default sound when
  // the file is missing or cannot be played.
  PlayResult PlaySound(const std::filesystem::path& file) {
    PlayResult r = PlayFile(file);
    if (!r.Played()) PlayDefaultSound();
    return r;
  }
};

}  // namespace kestrelo
