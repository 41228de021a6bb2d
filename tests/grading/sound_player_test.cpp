#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "grading/SoundPlayerGst.h"
#include "grading/SoundPlayerWav.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

using Clock = std::chrono::steady_clock;

// fakesink with sync=true consumes the sound in real time, as a sound card would.
constexpr const char* kTestSink = "fakesink sync=true";

TWavSound Tone(double seconds) {
  TWavSound sound;
  sound.SampleRate = 22050;
  for (int i = 0; i < static_cast<int>(seconds * sound.SampleRate); ++i) {
    sound.Samples.push_back(static_cast<std::int16_t>(8000 * std::sin(i * 0.2)));
  }
  return sound;
}

class GstSoundPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = TGstSoundPlayer::Unavailable();
    if (!why.empty()) GTEST_SKIP() << why;
  }
  TempFolder folder_;
};

TEST_F(GstSoundPlayerTest, PlaysAWavToItsEndBeforeReturning) {
  const std::filesystem::path file = folder_ / "号.wav";
  WriteFileAtomically(file, EncodeWav(Tone(0.25)));
  TGstSoundPlayer player(kTestSink);
  const auto start = Clock::now();
  const PlayResult r = player.PlayFile(file);
  EXPECT_TRUE(r.Played()) << r.Message;
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
}

TEST_F(GstSoundPlayerTest, ReportsMissingAndUnplayableFiles) {
  TGstSoundPlayer player(kTestSink);
  const PlayResult missing = player.PlayFile(folder_ / "0.wav");
  EXPECT_EQ(missing.Outcome, PlayOutcome::Missing);
  EXPECT_NE(missing.Message.find("0.wav"), std::string::npos) << missing.Message;

  const std::filesystem::path text = folder_ / "not a sound.wav";
  WriteFileAtomically(text, "张=zhang1\n");
  const PlayResult bad = player.PlayFile(text);
  EXPECT_EQ(bad.Outcome, PlayOutcome::Unplayable);
  EXPECT_NE(bad.Message.find("not a sound.wav"), std::string::npos) << bad.Message;

  const std::filesystem::path cut = folder_ / "cut.wav";
  WriteFileAtomically(cut, EncodeWav(Tone(0.1)).substr(0, 30));
  EXPECT_EQ(player.PlayFile(cut).Outcome, PlayOutcome::Unplayable);
}

TEST_F(GstSoundPlayerTest, DefaultSoundIsABuiltInTone) {
  TGstSoundPlayer player(kTestSink);
  const auto start = Clock::now();
  player.PlayDefaultSound();
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(120));
}

TEST_F(GstSoundPlayerTest, SinkComesFromTheArgumentOrTheEnvironment) {
  const std::filesystem::path file = folder_ / "a.wav";
  WriteFileAtomically(file, EncodeWav(Tone(0.05)));
  ::setenv(kAudioSinkVariable, "fakesink sync=false", 1);
  EXPECT_EQ(TGstSoundPlayer().Sink(), "fakesink sync=false");
  EXPECT_EQ(TGstSoundPlayer(kTestSink).Sink(), kTestSink);
  ::setenv(kAudioSinkVariable, "no-such-sink", 1);
  TGstSoundPlayer broken;
  ::unsetenv(kAudioSinkVariable);
  const PlayResult r = broken.PlayFile(file);
  EXPECT_EQ(r.Outcome, PlayOutcome::Unplayable);
  EXPECT_NE(r.Message.find("no-such-sink"), std::string::npos) << r.Message;
  broken.PlayDefaultSound();  // nothing left to fall back on: returns quietly
}

TEST(Wav, RoundTripsAndRejectsWhatIsNotPcm16) {
  const TWavSound tone = Tone(0.01);
  const TWavSound back = DecodeWav(EncodeWav(tone), "tone.wav");
  EXPECT_EQ(back.SampleRate, tone.SampleRate);
  EXPECT_EQ(back.Samples, tone.Samples);
  // A streaming writer's oversized data length reads to the end of the bytes.
  std::string streamed = EncodeWav(tone);
  streamed.replace(40, 4, "\xFF\xFF\xFF\x7F");
  EXPECT_EQ(DecodeWav(streamed, "s.wav").Samples, tone.Samples);
  EXPECT_THROW(DecodeWav("RIFF....WAVE", "empty.wav"), FileError);
  EXPECT_THROW(DecodeWav(EncodeWav(tone).substr(0, 30), "cut.wav"), FileError);
  EXPECT_THROW(DecodeWav("hello", "text.wav"), FileError);
}

}  // namespace
}  // namespace kestrelo
