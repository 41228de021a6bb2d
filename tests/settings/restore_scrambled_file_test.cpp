#include "settings/RestoreScrambledFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Error.h"

namespace kestrelo {
namespace {

namespace fs = std::filesystem;

// Distinct-looking bytes so that any swap shows.
std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 7 % 251);
  return s;
}

std::string Swapped(std::string s, const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
  for (const auto& [a, b] : pairs) std::swap(s[a], s[b]);
  return s;
}

TEST(RestoreBytes, SwapsTheListedPairsAfterCuttingTheTrailer) {
  std::vector<std::pair<std::size_t, std::size_t>> upTo1999;
  for (std::size_t i = 1; i <= 1999; i += 3) upTo1999.emplace_back(i, 10000 - i);

  struct Case {
    std::size_t sizeAfterCut;
    std::vector<std::pair<std::size_t, std::size_t>> swaps;
  };
  const Case cases[] = {
      {0, {}},  // the trailer alone
      {1, {}},
      {2, {}},
      {3, {{1, 2}}},
      {6, {{1, 5}}},  // a 10-byte file
      {7, {{1, 6}}},
      {8, {{1, 7}}},
      {9, {{1, 8}, {4, 5}}},
      {10000, upTo1999},
  };
  for (const Case& c : cases) {
    const std::string plain = Pattern(c.sizeAfterCut);
    std::string bytes = plain + "ZOLT";
    EXPECT_TRUE(RestoreBytes(bytes)) << c.sizeAfterCut;
    EXPECT_EQ(bytes, Swapped(plain, c.swaps)) << c.sizeAfterCut;
  }
}

TEST(RestoreBytes, LeavesBytesWithoutTheTrailerAlone) {
  for (const std::string& s : {std::string(), std::string("ZOL"), std::string("OLT"),
                               std::string("abcZOLt"), std::string("abcZOLTx"),
                               std::string("ZOLT\0", 5), std::string("zolt")}) {
    std::string bytes = s;
    EXPECT_FALSE(RestoreBytes(bytes)) << s;
    EXPECT_EQ(bytes, s);
  }
}

TEST(ScrambleBytes, RoundTripsRandomDataOfAssortedSizes) {
  std::mt19937 rng(20240611);
  for (std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 100u, 3999u, 4000u, 4001u, 4002u,
                           4003u, 6000u, 65536u}) {
    std::string plain(size, '\0');
    for (char& ch : plain) ch = static_cast<char>(rng());
    std::string bytes = plain;
    ScrambleBytes(bytes);
    ASSERT_EQ(bytes.size(), size + 4);
    EXPECT_EQ(bytes.substr(size), "ZOLT");
    EXPECT_TRUE(RestoreBytes(bytes));
    EXPECT_EQ(bytes, plain) << size;
  }
}

// Such data would lose its last bytes' order again at every later start.
TEST(ScrambleBytes, RefusesDataThatEndsInTheTrailer) {
  std::string bytes = "dataZOLT";
  EXPECT_THROW(ScrambleBytes(bytes), Error);
  EXPECT_EQ(bytes, "dataZOLT");
}

class RestoreScrambledFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kestrelo-restore-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& bytes) {
    const fs::path p = dir_ / "47432789826.dlt";
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  static ino_t Inode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(stat(p.c_str(), &st), 0);
    return st.st_ino;
  }
  // No temporary file left behind by an atomic write.
  std::size_t FilesInFolder() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  fs::path dir_;
};

TEST_F(RestoreScrambledFileTest, RestoresOnceAndThenLeavesTheFileAlone) {
  const fs::path p = Write("abcdefZOLT");
  EXPECT_TRUE(RestoreScrambledFile(p));
  EXPECT_EQ(ReadWholeFile(p), "afcdeb");
  EXPECT_FALSE(RestoreScrambledFile(p));
  EXPECT_EQ(ReadWholeFile(p), "afcdeb");
  EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(RestoreScrambledFileTest, LeavesFilesWithoutTheTrailerUntouched) {
  for (const std::string& s : {std::string(), std::string("ZOL"), std::string("plain data")}) {
    const fs::path p = Write(s);
    // A rewrite, atomic or not, would show as a new file.
    const ino_t before = Inode(p);
    EXPECT_FALSE(RestoreScrambledFile(p)) << s;
    EXPECT_EQ(ReadWholeFile(p), s);
    EXPECT_EQ(Inode(p), before) << s;
    EXPECT_EQ(FilesInFolder(), 1u);
  }
}

TEST_F(RestoreScrambledFileTest, ReportsFilesItCannotRead) {
  EXPECT_THROW(RestoreScrambledFile(dir_ / "missing.dlt"), FileError);
  try {
    RestoreScrambledFile(dir_);
    ADD_FAILURE() << "a folder was restored";
  } catch (const FileError& e) {
    EXPECT_EQ(e.path(), dir_.string());
  }
}

TEST_F(RestoreScrambledFileTest, KeepsTheStoredFormWhenTheFolderRefusesTheReplacement) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const fs::path p = Write("abcdefZOLT");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(RestoreScrambledFile(p), FileError);
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(ReadWholeFile(p), "abcdefZOLT");
}

}  // namespace
}  // namespace kestrelo
