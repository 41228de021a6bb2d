#include "export/RecordExport.h"

#include <cstdio>

#include "common/AtomicFile.h"
#include "common/GbkText.h"
#include "export/XLSFile.h"

namespace kestrelo {
namespace {

constexpr const char* kExamineeField = "考号";
constexpr const char* kWrongSign = "×";

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Position of the first question column ("1"), 0 when there is none: then
// every column counts as a question column.
int FirstQuestionColumn(const DataTable& t) {
  for (int j = 0; j < t.FieldCount(); ++j) {
    if (TrimBlanks(t.Field(j).Name) == "1") return j;
  }
  return 0;
}

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

void AppendEscapedByte(std::string& out, unsigned char b) {
  char buf[5];
  std::snprintf(buf, sizeof buf, "\\'%02x", b);
  out.append(buf);
}

}  // namespace

bool HasResults(const DataTable& dsDB, Prompt& prompt) {
  if (dsDB.Active() && dsDB.RecordCount() > 0) return true;
  PromptRequest r;
  r.Text = kNoResultsText;
  prompt.Tell(r);
  return false;
}

bool AskAllQuestions(Prompt& prompt) {
  PromptRequest r;
  r.Text = "默认仅输出回答错误的题目信息，\r\n\r\n是否要输出答案正确的题目信息？";
  r.Caption = "提示";
  r.Buttons = PromptButtons::YesNo;
  r.Default = PromptAnswer::Yes;
  r.Icon = PromptIcon::Question;
  r.SystemModal = true;
  r.Topmost = true;
  return prompt.Ask(r) == PromptAnswer::Yes;
}

bool ExportResultsXls(DataTable& dsDB, const std::filesystem::path& file, Prompt& prompt) {
  if (!HasResults(dsDB, prompt)) return false;
  dsDB.SortBy(kExamineeField);
  ExportDataSet(dsDB, file);
  return true;
}

bool ExportResultsDoc(DataTable& dsDB, const std::filesystem::path& file, bool allQuestions,
                      Prompt& prompt) {
  if (!HasResults(dsDB, prompt)) return false;
  dsDB.SortBy(kExamineeField);
  WriteFileAtomically(file, RtfDocument(ResultsDocText(dsDB, allQuestions)));
  return true;
}

std::string ResultsDocText(const DataTable& dsDB, bool allQuestions) {
  const int first = FirstQuestionColumn(dsDB);
  std::string text = "阅卷记录\r\n";
  const int rows = dsDB.Active() ? dsDB.RecordCount() : 0;
  for (int r = 1; r <= rows; ++r) {
    for (int j = 2; j < dsDB.FieldCount(); ++j) {
      const bool question = j >= first;
      const std::string value = dsDB.ValueAt(r, j).AsString();
      if (question && !allQuestions && value.find(kWrongSign) == std::string::npos) continue;
      text += dsDB.Field(j).Name;
      text += question ? "." : ":";
      text += value;
      text += ' ';
    }
    text += "\r\n";
  }
  return text;
}

std::string RtfDocument(std::string_view text) {
  const std::string gbk = Utf8ToGbk(text);
  // The font name goes in as raw code-page bytes: readers take them in the
  // font's character set, and converters that drop escaped names keep them.
  std::string out = "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052";
  out += "{\\fonttbl{\\f0\\fnil\\fcharset134 " + Utf8ToGbk(kDocFontName) + ";}}\r\n";
  out += "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs" + std::to_string(kDocFontHalfPoints) + " ";
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) {
      // Both bytes escaped: a trail byte may look like '\', '{' or '}'.
      AppendEscapedByte(out, b);
      AppendEscapedByte(out, static_cast<unsigned char>(gbk[++i]));
    } else if (b >= 0x80) {
      AppendEscapedByte(out, b);
    } else if (b == '\r' || b == '\n') {
      if (b == '\r' && i + 1 < gbk.size() && gbk[i + 1] == '\n') ++i;
      out += "\\par\r\n";
    } else if (b == '\t') {
      out += "\\tab ";
    } else if (b == '\\' || b == '{' || b == '}') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 0x20) {
      out += static_cast<char>(b);
    }
  }
  out += "}\r\n";
  return out;
}

std::optional<std::filesystem::path> OfferToOpen(const std::filesystem::path& file,
                                                 std::string_view extension, Prompt& prompt) {
  PromptRequest r;
  r.Text = "保存成功\r\n是否打开文件？";
  r.Caption = "Confirm";
  r.Buttons = PromptButtons::OkCancel;
  r.Default = PromptAnswer::Ok;
  r.Icon = PromptIcon::Question;
  r.SystemModal = true;
  r.Topmost = true;
  if (prompt.Ask(r) != PromptAnswer::Ok) return std::nullopt;
  std::string name = file.string();
  if (AsciiLower(name).find(AsciiLower(std::string(extension))) == std::string::npos) {
    name += extension;
  }
  return std::filesystem::path(name);
}

}  // namespace kestrelo
