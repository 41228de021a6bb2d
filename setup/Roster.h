#pragma once
// The roster of examinees: pasting it from a spreadsheet, shortening numbers,
// its files, and the two lookups that reading uses (number=name and
// number=row of the results table).
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/DataTable.h"
#include "common/Prompt.h"

namespace kestrelo {

// Lines of name=value. A lookup finds the first line whose name equals the
// key exactly, so with duplicate numbers the first roster row wins.
class NameValueList {
 public:
  void Clear() { lines_.clear(); }
  void Add(std::string name, std::string value) {
    lines_.emplace_back(std::move(name), std::move(value));
  }
  std::optional<std::string> Find(std::string_view name) const;
  std::string Value(std::string_view name) const { return Find(name).value_or(std::string()); }
  // Sets the value of the first line of that name, or adds a line.
  void SetValue(std::string_view name, std::string value);
  std::size_t Count() const { return lines_.size(); }
  const std::vector<std::pair<std::string, std::string>>& Lines() const { return lines_; }

 private:
  std::vector<std::pair<std::string, std::string>> lines_;
};

// Pastes lines of tab-separated cells into the roster from the current row on,
// starting at the field of the grid column last clicked (the "序号" column
// or none counts as the first text field). Without text shows "无效数据！" and
// returns false.
bool PasteRoster(DataTable& roster, const std::optional<std::string>& text, int clickedColumn,
                 Prompt& prompt);

// The cells of one pasted line: split at tabs, leading blanks of a cell
// skipped, empty cells dropped; a cell in double quotes may hold tabs.
std::vector<std::string> SplitPastedLine(std::string_view line);

// Every TestNo becomes its last two characters after trimming.
void CutToLastTwo(DataTable& roster);

void ClearRoster(DataTable& roster);

// Rebuilds both lookups from the roster in the order of its active index.
void BuildRosterLookups(const DataTable& roster, NameValueList& rosterNames,
                        NameValueList& rosterRows);

// Roster files: a name typed without extension gets ".名册".
std::filesystem::path RosterFileName(const std::filesystem::path& chosen);
std::filesystem::path SaveRoster(const DataTable& roster, const std::filesystem::path& chosen);
void LoadRoster(DataTable& roster, const std::filesystem::path& file);

}  // namespace kestrelo
