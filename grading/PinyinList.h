#pragma once
// The pronunciation dictionary: one line "character=syllable" per character,
// optionally followed by a blank and text that is ignored. The file is GBK on
// disk and may be stored scrambled; in memory the names are UTF-8, so a
// character of a name is looked up as it stands.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrelo {

// Under the program folder.
inline constexpr const char* kPinyinListFile = "DZ.dll/47432789826.dlt";

class TPinyinList {
 public:
  // Lines of UTF-8 text, LF or CR LF. A line without "=" is no entry; when a
  // name occurs twice its first entry counts.
  static TPinyinList FromText(std::string_view utf8);

  // The whole value of the entry, or nothing when the name has none.
  std::optional<std::string_view> Value(std::string_view name) const;
  // The value up to its first blank: the syllable file's name.
  std::optional<std::string_view> Syllable(std::string_view name) const;

  std::size_t Size() const { return values_.size(); }
  bool Empty() const { return values_.empty(); }

 private:
  std::unordered_map<std::string, std::string> values_;
};

struct PinyinLoadReport {
  bool Found = false;            // the file exists
  bool Restored = false;         // it was scrambled and is now plain on disk
  std::size_t SkippedLines = 0;  // lines that are not GBK text
  std::string Warning;           // why a scrambled file could not be rewritten
};

// Loads the dictionary of the program folder, restoring a scrambled file in
// place first. A missing file gives an empty list (names are then not
// spoken). When the restored form cannot be written back the file is restored
// in memory only and the report says why. Throws FileError when the file
// exists but cannot be read.
TPinyinList LoadPinyinList(const std::filesystem::path& programFolder,
                           PinyinLoadReport* report = nullptr);

}  // namespace kestrelo
