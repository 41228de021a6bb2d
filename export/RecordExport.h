#pragma once
// The two record exports of the results table: a spreadsheet and a readable
// rich-text document (".doc"), both in examinee-number order, and the offer
// to open the saved file that every export ends with.
//
// The window runs a command in this order: stop reading; HasResults; for the
// document AskAllQuestions (after a beep); the save dialog with the settings
// below; ExportResultsXls or ExportResultsDoc; OfferToOpen and, on a path,
// the desktop's "open" action.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/DataTable.h"
#include "common/Prompt.h"

namespace kestrelo {

inline constexpr const char* kNoResultsText = "没有成绩数据！";

// What the save dialog of an export starts with.
struct SaveDialogSetup {
  const char* FileName;
  const char* DefaultExt;
  const char* Filter;
};
inline constexpr SaveDialogSetup kResultsXlsDialog{"阅卷记录.xls", "xls", "*.xls|*.xls|*.*|*.*"};
inline constexpr SaveDialogSetup kResultsDocDialog{"阅卷记录.doc", "doc", "*.doc|*.doc|*.*|*.*"};

// The document's font: 12-pixel characters are 9 points at 96 dpi.
inline constexpr const char* kDocFontName = "宋体";
inline constexpr int kDocFontHalfPoints = 18;

// False, after telling the user, when the table holds no results.
bool HasResults(const DataTable& dsDB, Prompt& prompt);

// Asks whether the document should list every question (true) or only the
// wrongly answered ones (false).
bool AskAllQuestions(Prompt& prompt);

// Sorts the table by "考号" (it stays in that order) and writes it as a
// spreadsheet. False, after telling the user, when there are no results.
bool ExportResultsXls(DataTable& dsDB, const std::filesystem::path& file, Prompt& prompt);

// Sorts the table by "考号" (it stays in that order) and writes the document.
// False, after telling the user, when there are no results.
bool ExportResultsDoc(DataTable& dsDB, const std::filesystem::path& file, bool allQuestions,
                      Prompt& prompt);

// The document's text in the table's current order: a title line, then one
// line per examinee of items "name:text " before the first question column
// and "name.text " from it on; without allQuestions, question items whose
// text holds no "×" are left out. Lines end with CR LF.
std::string ResultsDocText(const DataTable& dsDB, bool allQuestions);

// An RTF document holding the text (UTF-8, CR LF between paragraphs) in the
// document's font, GB2312 character set.
std::string RtfDocument(std::string_view text);

// Asks whether to open the saved file. On OK, the file to open: the name as
// saved, with the extension (".xls" or ".doc") appended when the name does not
// contain it in any letter case. Empty on Cancel.
std::optional<std::filesystem::path> OfferToOpen(const std::filesystem::path& file,
                                                 std::string_view extension, Prompt& prompt);

}  // namespace kestrelo
