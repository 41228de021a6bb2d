#include "grading/PinyinList.h"

#include <system_error>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "common/GbkText.h"
#include "settings/RestoreScrambledFile.h"

namespace kestrelo {
namespace {

// Calls f on every line without its line ending.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    f(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

TPinyinList TPinyinList::FromText(std::string_view utf8) {
  TPinyinList list;
  ForEachLine(utf8, [&](std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return;
    list.values_.try_emplace(std::string(line.substr(0, eq)), line.substr(eq + 1));
  });
  return list;
}

std::optional<std::string_view> TPinyinList::Value(std::string_view name) const {
  const auto it = values_.find(std::string(name));
  if (it == values_.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::optional<std::string_view> TPinyinList::Syllable(std::string_view name) const {
  std::optional<std::string_view> value = Value(name);
  if (value) *value = value->substr(0, value->find(' '));
  return value;
}

TPinyinList LoadPinyinList(const std::filesystem::path& programFolder, PinyinLoadReport* report) {
  PinyinLoadReport local;
  PinyinLoadReport& r = report ? *report : local;
  r = PinyinLoadReport{};

  const std::filesystem::path path = programFolder / kPinyinListFile;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  r.Found = true;

  try {
    r.Restored = RestoreScrambledFile(path);
  } catch (const FileError& e) {
    // A read-only installation still speaks names: the restoration below
    // works on the bytes in memory.
    r.Warning = e.what();
  }
  std::string bytes = ReadWholeFile(path);
  RestoreBytes(bytes);  // only does something when the file could not be rewritten

  // Decoded line by line so that one damaged line costs only its own entry.
  std::string utf8;
  utf8.reserve(bytes.size() * 3 / 2);
  ForEachLine(bytes, [&](std::string_view line) {
    try {
      utf8 += GbkToUtf8(line);
      utf8 += '\n';
    } catch (const Error&) {
      ++r.SkippedLines;
    }
  });
  return TPinyinList::FromText(utf8);
}

}  // namespace kestrelo
