#include "setup/RecentFiles.h"

#include <optional>
#include <system_error>
#include <vector>

#include "common/AtomicFile.h"
#include "common/DecimalText.h"
#include "common/Error.h"
#include "common/GbkText.h"
#include "common/TableFile.h"

namespace kestrelo {
namespace {

constexpr const char* kPaperFile = "recent.paper";
constexpr const char* kKeyFile = "recent.score";
constexpr const char* kRangeFile = "recent.score.x";
constexpr const char* kRosterFile = "recent.名册";

// Value of the first name=value line of that name; empty when there is none.
std::string ValueOf(std::string_view text, std::string_view name) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && line.substr(0, eq) == name)
      return std::string(line.substr(eq + 1));
    start = end + 1;
  }
  return {};
}

std::optional<DataTable> ReadIfThere(const std::filesystem::path& file, const DataTable& expected) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return std::nullopt;
  return ReadTableFile(file, expected);
}

void ShowError(Prompt& prompt, const std::string& text) {
  PromptRequest r;
  r.Text = text;
  r.Icon = PromptIcon::Error;
  prompt.Tell(r);
}

}  // namespace

void SaveRecent(const ExamTables& exam, const ProgramFolder& folder) {
  const std::filesystem::path dir = ProgramFolder::Ensure(folder.Recent());
  WriteFileAtomically(dir / kPaperFile, "ItemCountText=" + exam.CardName + "\r\nItemCount=" +
                                            std::to_string(exam.CardQuestionCount) + "\r\n");
  SaveTableFile(exam.AnswerCD, dir / kKeyFile);
  SaveTableFile(exam.ClientDataSet1, dir / kRangeFile);
  SaveTableFile(exam.NameLstCD, dir / kRosterFile);
}

bool LoadRecent(ExamTables& exam, const ProgramFolder& folder,
                const std::function<void(const std::string& cardName)>& loadTemplate,
                Prompt& prompt) {
  try {
    const std::filesystem::path dir = ProgramFolder::Ensure(folder.Recent());
    std::string paper;
    std::error_code ec;
    if (std::filesystem::exists(dir / kPaperFile, ec)) {
      paper = ReadWholeFile(dir / kPaperFile);
      // Older copies of the file may be in the system code page.
      if (!IsValidUtf8(paper)) paper = GbkToUtf8(paper);
    }
    exam.CardName = ValueOf(paper, "ItemCountText");
    if (loadTemplate) loadTemplate(exam.CardName);

    const std::string countText = ValueOf(paper, "ItemCount");
    const std::optional<long long> count = ParseDecimalInteger(countText);
    if (!count || *count < 0 || *count > kMaxQuestionCount) {
      ShowError(prompt, "'" + countText + "' is not a valid integer value");
      return false;
    }

    std::optional<DataTable> key = ReadIfThere(dir / kKeyFile, exam.AnswerCD);
    std::optional<DataTable> ranges = ReadIfThere(dir / kRangeFile, exam.ClientDataSet1);
    std::optional<DataTable> roster = ReadIfThere(dir / kRosterFile, exam.NameLstCD);

    exam.CardQuestionCount = static_cast<int>(*count);
    if (key) exam.AnswerCD = std::move(*key);
    if (ranges) exam.ClientDataSet1 = std::move(*ranges);
    if (roster) exam.NameLstCD = std::move(*roster);
    for (DataTable* t : {&exam.AnswerCD, &exam.ClientDataSet1, &exam.NameLstCD}) {
      if (!t->Active()) t->CreateDataSet();
    }
  } catch (const Error& e) {
    ShowError(prompt, e.what());
    return false;
  }
  return true;
}

}  // namespace kestrelo
