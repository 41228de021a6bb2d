#include "setup/Roster.h"

#include <cstdint>

#include "common/TableFile.h"

namespace kestrelo {
namespace {

std::string Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return std::string(s);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// Start of each UTF-8 character, so a cut never splits one.
std::vector<std::size_t> CharacterStarts(std::string_view s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}

}  // namespace

std::optional<std::string> NameValueList::Find(std::string_view name) const {
  for (const auto& [n, v] : lines_) {
    if (n == name) return v;
  }
  return std::nullopt;
}

void NameValueList::SetValue(std::string_view name, std::string value) {
  for (auto& [n, v] : lines_) {
    if (n == name) {
      v = std::move(value);
      return;
    }
  }
  lines_.emplace_back(std::string(name), std::move(value));
}

std::vector<std::string> SplitPastedLine(std::string_view line) {
  std::vector<std::string> cells;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::string cell;
    if (i < line.size() && line[i] == '"') {
      ++i;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            cell += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        cell += line[i++];
      }
    }
    // Text after a closing quote (or an unquoted cell) runs to the next tab.
    while (i < line.size() && line[i] != '\t') cell += line[i++];
    if (i < line.size()) ++i;
    if (!cell.empty()) cells.push_back(std::move(cell));
  }
  return cells;
}

bool PasteRoster(DataTable& roster, const std::optional<std::string>& text, int clickedColumn,
                 Prompt& prompt) {
  if (!text) {
    PromptRequest r;
    r.Text = "无效数据！";
    prompt.Tell(r);
    return false;
  }
  const std::vector<std::string> lines = SplitLines(Trim(*text));
  const int startField = clickedColumn < 1 ? 1 : clickedColumn;
  if (!roster.Active()) roster.CreateDataSet();
  if (roster.State() != TableState::Browse) roster.Cancel();
  roster.SetActiveIndex("ID");

  bool appending = roster.RecordCount() == 0;
  for (const std::string& line : lines) {
    if (appending) {
      roster.Append();
    } else {
      roster.Edit();
    }
    try {
      const std::vector<std::string> cells = SplitPastedLine(line);
      for (std::size_t j = 0; j < cells.size(); ++j) {
        const int field = startField + static_cast<int>(j);
        if (field >= roster.FieldCount()) break;
        roster.SetString(roster.Field(field).Name, cells[j]);
      }
      roster.Post();
    } catch (...) {
      roster.Cancel();
      throw;
    }
    if (roster.RecNo() == roster.RecordCount()) {
      appending = true;
    } else {
      roster.Next();
    }
  }
  return true;
}

void CutToLastTwo(DataTable& roster) {
  if (roster.State() != TableState::Browse) roster.Cancel();
  // Row numbers first: editing may reorder the rows when a number index is active.
  std::vector<std::int64_t> ids;
  for (int r = 1; r <= roster.RecordCount(); ++r)
    ids.push_back(roster.ValueAt(r, "ID").AsInteger());
  for (const std::int64_t id : ids) {
    if (!roster.Locate("ID", Value::Integer(id))) continue;
    const std::string number = Trim(roster.AsString("TestNo"));
    const std::vector<std::size_t> starts = CharacterStarts(number);
    if (starts.size() <= 1) continue;
    roster.Edit();
    roster.SetString("TestNo", number.substr(starts[starts.size() - 2]));
    roster.Post();
  }
  if (roster.RecordCount() > 0) roster.First();
}

void ClearRoster(DataTable& roster) {
  if (!roster.Active()) roster.CreateDataSet();
  roster.EmptyTable();
}

void BuildRosterLookups(const DataTable& roster, NameValueList& rosterNames,
                        NameValueList& rosterRows) {
  rosterNames.Clear();
  rosterRows.Clear();
  for (int r = 1; r <= roster.RecordCount(); ++r) {
    const std::string number = Trim(roster.ValueAt(r, "TestNo").AsString());
    rosterNames.Add(number, Trim(roster.ValueAt(r, "Name").AsString()));
    rosterRows.Add(number, "-1");
  }
}

std::filesystem::path RosterFileName(const std::filesystem::path& chosen) {
  if (chosen.has_extension()) return chosen;
  std::filesystem::path p = chosen;
  p += ".名册";
  return p;
}

std::filesystem::path SaveRoster(const DataTable& roster, const std::filesystem::path& chosen) {
  const std::filesystem::path file = RosterFileName(chosen);
  SaveTableFile(roster, file);
  return file;
}

void LoadRoster(DataTable& roster, const std::filesystem::path& file) {
  LoadTableFile(roster, file);
}

}  // namespace kestrelo
