#include "grading/Announce.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/GbkText.h"
#include "grading/PinyinList.h"
#include "grading/SoundPlayerRecorder.h"
#include "grading/SoundPlayerWav.h"
#include "settings/RestoreScrambledFile.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

using Lines = std::vector<std::string>;

// A program folder with every fixed sound and the syllables of a few names.
class AnnounceTest : public ::testing::Test {
 protected:
  AnnounceTest() {
    for (int d = 0; d <= 9; ++d) Touch("wav/" + std::to_string(d) + ".wav");
    for (const char* f :
         {kDingSound, kDotSound, kNumberWordSound, kPointsWordSound, kUnknownSyllableSound})
      Touch(f);
    for (const char* s : {"zhang1", "san1", "wu2", "ming2", "li3", "si4"})
      Touch(std::string("DZ.dll/") + s + ".dlt");
    cfg_.SetFSpeakNumber(true);
    cfg_.SetFSpeakName(true);
    cfg_.SetFSpeakScore(true);
    cfg_.SetFSpeakTypeScores(true);
  }

  void Touch(const std::string& relative) {
    std::filesystem::create_directories((folder_ / relative).parent_path());
    std::ofstream(folder_ / relative) << "RIFF";  // only its presence counts
  }

  TAnnouncer Announcer() {
    return TAnnouncer(cfg_, folder_.Path(), pinyin_, recorder_, recorder_.Clock());
  }

  TempFolder folder_;
  Tcfg cfg_;
  TPinyinList pinyin_ = TPinyinList::FromText(
      "张=zhang1\n三=san1 extra text\r\n无=wu2\n名=ming2\n李=li3\n四=si4\n王=wang2\n坏=../../x\n");
  TSoundRecorder recorder_{folder_.Path()};
};

TEST_F(AnnounceTest, FullAnnouncementPlaysInOrderWithItsPausesAndPadsToTheMinimumTime) {
  TAnnouncer a = Announcer();
  const float totals[] = {40, 45};
  a.PlayDing();
  a.Announce("张三", "0815", 85, totals, 1);

  // clang-format off
  const Lines expected = {
      "0 wav/ding.wav", "0 pause 200",                                                         // ding
      "200 wav/0.wav", "200 wav/8.wav", "200 wav/1.wav", "200 wav/5.wav", "200 wav/号.wav",   // number
      "200 pause 100", "300 DZ.dll/zhang1.dlt", "300 DZ.dll/san1.dlt",                         // name
      "300 pause 100", "400 wav/8.wav", "400 wav/5.wav", "400 wav/分.wav",                     // score
      "400 pause 200", "600 wav/4.wav", "600 wav/0.wav",                                       // type 1
      "600 pause 200", "800 wav/4.wav", "800 wav/5.wav",                                       // type 2
  };
  // clang-format on
  const Lines lines = recorder_.Lines();
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(expected.size())),
            expected);
  // Then 100 ms polls until 2000 ms have passed since Announce began at 200.
  Lines polls;
  for (int t = 800; t < 2200; t += 100) polls.push_back(std::to_string(t) + " pause 100");
  EXPECT_EQ(Lines(lines.begin() + static_cast<std::ptrdiff_t>(expected.size()), lines.end()),
            polls);
  EXPECT_EQ(recorder_.Clock().NowMs(), 2200);
}

TEST_F(AnnounceTest, NumbersAreSpokenCharacterByCharacterWithTheFractionCut) {
  struct Case {
    const char* text;
    int decimals;
    Lines sounds;
  };
  const Case cases[] = {
      {"92.75", 1, {"wav/9.wav", "wav/2.wav", "wav/dot.wav", "wav/7.wav"}},
      {"3.60000014305115", 1, {"wav/3.wav", "wav/dot.wav", "wav/6.wav"}},
      {"85.5", 2, {"wav/8.wav", "wav/5.wav", "wav/dot.wav", "wav/5.wav"}},
      {"100", 1, {"wav/1.wav", "wav/0.wav", "wav/0.wav"}},
      // No sound file for the sign: the default sound stands in.
      {"-2", 1, {"missing wav/-.wav", "default sound", "wav/2.wav"}},
      // A character that would lead out of the folder is never made a path.
      {"1/2", 1, {"wav/1.wav", "default sound", "wav/2.wav"}},
  };
  TAnnouncer a = Announcer();
  for (const Case& c : cases) {
    recorder_.Clear();
    a.SpeakNumber(c.text, c.decimals);
    Lines sounds;
    for (const std::string& line : recorder_.Lines())
      sounds.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(sounds, c.sounds) << c.text;
  }
}

TEST_F(AnnounceTest, ScoreIsSpokenFromItsSinglePrecisionTextWithOneDecimal) {
  cfg_.SetFSpeakNumber(false);
  cfg_.SetFSpeakName(false);
  cfg_.SetFSpeakTypeScores(false);
  cfg_.SetFPauseMs(0);
  TAnnouncer a = Announcer();
  a.Announce("", "", 92.75f, {}, 1);
  EXPECT_EQ(recorder_.Lines(), (Lines{"0 pause 100", "100 wav/9.wav", "100 wav/2.wav",
                                      "100 wav/dot.wav", "100 wav/7.wav", "100 wav/分.wav"}));
  recorder_.Clear();
  const float three = 1.2f + 1.2f + 1.2f;  // 3.60000014305115 as text
  a.Announce("", "", three, {}, 1);
  EXPECT_EQ(recorder_.Lines(), (Lines{"100 pause 100", "200 wav/3.wav", "200 wav/dot.wav",
                                      "200 wav/6.wav", "200 wav/分.wav"}));
}

TEST_F(AnnounceTest, NamesAreSpokenThroughTheDictionary) {
  struct Case {
    const char* name;
    Lines sounds;
  };
  const Case cases[] = {
      {"张三", {"DZ.dll/zhang1.dlt", "DZ.dll/san1.dlt"}},
      // Only the first seven characters; 王 has no syllable file.
      {"张三李四王张三李四",
       {"DZ.dll/zhang1.dlt", "DZ.dll/san1.dlt", "DZ.dll/li3.dlt", "DZ.dll/si4.dlt", "wav/错.wav",
        "DZ.dll/zhang1.dlt", "DZ.dll/san1.dlt"}},
      {"", {"DZ.dll/wu2.dlt", "DZ.dll/ming2.dlt"}},
      {"  \u3000", {"DZ.dll/wu2.dlt", "DZ.dll/ming2.dlt"}},
      // Characters outside the dictionary are skipped but still count.
      {"Ann张", {"DZ.dll/zhang1.dlt"}},
      {"坏", {"wav/错.wav"}},  // its syllable would lead out of the folder
      {"1234567张", {}},
  };
  TAnnouncer a = Announcer();
  for (const Case& c : cases) {
    Lines sounds;
    for (const auto& f : a.NameSounds(c.name))
      sounds.push_back(f.lexically_relative(folder_.Path()).generic_string());
    EXPECT_EQ(sounds, c.sounds) << c.name;
  }
  recorder_.Clear();
  a.SpeakName("");
  EXPECT_EQ(recorder_.Lines(), (Lines{"0 DZ.dll/wu2.dlt", "0 DZ.dll/ming2.dlt"}));
}

TEST_F(AnnounceTest, WithEveryOptionOffTheMinimumTimeIsStillWaitedAfterTheDing) {
  cfg_.SetFSpeakNumber(false);
  cfg_.SetFSpeakName(false);
  cfg_.SetFSpeakScore(false);
  cfg_.SetFSpeakTypeScores(false);
  cfg_.SetFPauseMs(10000);
  TAnnouncer a = Announcer();
  a.PlayDing();
  a.Announce("张三", "0815", 85, {}, 1);
  const Lines lines = recorder_.Lines();
  ASSERT_EQ(lines.size(), 2u + 100u);
  EXPECT_EQ(lines[0], "0 wav/ding.wav");
  EXPECT_EQ(lines.back(), "10100 pause 100");
  EXPECT_EQ(recorder_.Clock().NowMs(), 10200);
}

TEST_F(AnnounceTest, MissingWordFilesAreSkippedAndMissingSoundsFallBackToTheDefault) {
  for (const char* f : {kNumberWordSound, kPointsWordSound, kDingSound, "wav/7.wav"}) {
    std::filesystem::remove(folder_ / f);
  }
  cfg_.SetFSpeakName(false);
  cfg_.SetFSpeakTypeScores(false);
  cfg_.SetFPauseMs(0);
  TAnnouncer a = Announcer();
  a.PlayDing();
  a.Announce("", "07", 7, {}, 1);
  EXPECT_EQ(recorder_.Lines(),
            (Lines{"0 missing wav/ding.wav", "0 default sound", "0 pause 200", "200 wav/0.wav",
                   "200 missing wav/7.wav", "200 default sound", "200 pause 100",
                   "300 missing wav/7.wav", "300 default sound"}));
}

TEST_F(AnnounceTest, AnInterruptedClockEndsTheAnnouncementAtOnce) {
  SteadyClock clock;
  clock.Interrupt();
  cfg_.SetFPauseMs(60000);
  TAnnouncer a(cfg_, folder_.Path(), pinyin_, recorder_, clock);
  const auto start = std::chrono::steady_clock::now();
  a.Announce("张三", "0815", 85, {}, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(recorder_.Lines().back(), "0 wav/号.wav");  // stopped at the first pause
}

TEST(PinyinList, ScrambledGbkDictionaryIsRestoredInPlaceAndLoaded) {
  TempFolder folder;
  const std::filesystem::path file = folder / kPinyinListFile;
  std::filesystem::create_directories(file.parent_path());
  const std::string plain = Utf8ToGbk("张=zhang1\r\n三=san1 note\r\n张=wrong4\r\n") +
                            "\xFF\xFF=bad\n" + Utf8ToGbk("no entry here\n名=ming2");
  std::string stored = plain;
  ScrambleBytes(stored);
  WriteFileAtomically(file, stored);

  PinyinLoadReport report;
  const TPinyinList list = LoadPinyinList(folder.Path(), &report);
  EXPECT_TRUE(report.Found);
  EXPECT_TRUE(report.Restored);
  EXPECT_EQ(report.SkippedLines, 1u);
  EXPECT_EQ(ReadWholeFile(file), plain);
  EXPECT_EQ(list.Size(), 3u);
  EXPECT_EQ(list.Syllable("张"), "zhang1");  // the first entry of a name counts
  EXPECT_EQ(list.Value("三"), "san1 note");
  EXPECT_EQ(list.Syllable("三"), "san1");
  EXPECT_EQ(list.Syllable("名"), "ming2");
  EXPECT_FALSE(list.Value("李"));

  // The next start finds the plain file and leaves it alone.
  const TPinyinList again = LoadPinyinList(folder.Path(), &report);
  EXPECT_FALSE(report.Restored);
  EXPECT_EQ(again.Syllable("张"), "zhang1");
  EXPECT_EQ(ReadWholeFile(file), plain);
}

TEST(PinyinList, MissingDictionaryLeavesTheListEmpty) {
  TempFolder folder;
  PinyinLoadReport report;
  EXPECT_TRUE(LoadPinyinList(folder.Path(), &report).Empty());
  EXPECT_FALSE(report.Found);
}

// The build records the voice data into the program folder.
TEST(VoiceData, ProgramFolderHoldsTheSoundsAndADictionaryForEveryGbkName) {
  const std::filesystem::path program = KESTRELO_PROGRAM_DIR;
  for (const char* f : {"wav/0.wav", "wav/9.wav", kDingSound, kDotSound, kNumberWordSound,
                        kPointsWordSound, kUnknownSyllableSound}) {
    const TWavSound sound = DecodeWav(ReadWholeFile(program / f), f);
    EXPECT_GT(sound.Samples.size(), 1000u) << f;
  }

  // A copy: loading restores the file in place, and the program owns that.
  TempFolder copy;
  std::filesystem::create_directories((copy / kPinyinListFile).parent_path());
  std::filesystem::copy_file(program / kPinyinListFile, copy / kPinyinListFile);
  PinyinLoadReport report;
  const TPinyinList list = LoadPinyinList(copy.Path(), &report);
  EXPECT_EQ(report.SkippedLines, 0u);
  EXPECT_GT(list.Size(), 20000u);
  const std::pair<const char*, const char*> readings[] = {
      {"张", "zhang1"}, {"三", "san1"}, {"无", "wu2"}, {"名", "ming2"},
      {"绿", "lv4"},    {"女", "nv3"},  {"吕", "lv3"}};
  for (const auto& [c, syllable] : readings) EXPECT_EQ(list.Syllable(c), syllable) << c;

  // Every syllable of the dictionary has its recording.
  const std::string text = GbkToUtf8(ReadWholeFile(copy / kPinyinListFile));
  std::size_t lines = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    const std::string syllable = line.substr(line.find('=') + 1);
    ASSERT_TRUE(std::filesystem::is_regular_file(program / kSyllableFolder / (syllable + ".dlt")))
        << line;
    ++lines;
  }
  EXPECT_EQ(lines, list.Size());
}

}  // namespace
}  // namespace kestrelo
