#include "setup/AnswerKey.h"

#include <algorithm>
#include <set>

#include "common/Error.h"
#include "common/GbkText.h"
#include "common/Rounding.h"
#include "common/TableFile.h"

namespace kestrelo {
namespace {

constexpr std::size_t kTypeNameBytes = 30;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

PromptRequest ErrorBox(std::string text) {
  PromptRequest r;
  r.Text = std::move(text);
  r.Icon = PromptIcon::Error;
  return r;
}

// Type names of the key rows in question order, as the compiled key holds them.
std::vector<std::string> KeyRunNames(const DataTable& answerCD) {
  std::vector<std::string> runs;
  std::string last;
  for (int r = 1; r <= answerCD.RecordCount(); ++r) {
    const std::string type = CutToGbkBytes(answerCD.ValueAt(r, "SType").AsString(), kTypeNameBytes);
    if (type != last) {
      runs.push_back(type);
      last = type;
    }
  }
  return runs;
}

}  // namespace

std::string NormalizeAnswer(std::string_view text, Prompt& prompt) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  std::string letters;
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (upper.find(c) != std::string::npos) letters += c;
  }
  const bool suspicious =
      std::any_of(letters.begin(), letters.end(), [](char c) { return c >= 'F'; });
  if (suspicious && upper != "X") {
    PromptRequest r;
    r.Text = upper + "\r\n\r\n可能存在不正确的答案！";
    r.Caption = "警告";
    r.Icon = PromptIcon::Warning;
    r.Topmost = true;
    prompt.Tell(r);
  }
  return letters;
}

CompiledKey CompileKey(DataTable& answerCD, Prompt& prompt) {
  CompiledKey key;
  key.AnswerKey.reserve(static_cast<std::size_t>(answerCD.RecordCount()));
  std::string lastRun;
  std::int32_t run = -1;
  for (int r = 1; r <= answerCD.RecordCount(); ++r) {
    TAnswer a;
    a.Item = static_cast<std::int32_t>(answerCD.ValueAt(r, "Item").AsInteger());
    a.RightScore = static_cast<float>(answerCD.ValueAt(r, "RightScore").AsFloat());
    a.SelOverScore = static_cast<float>(answerCD.ValueAt(r, "SelOverScore").AsFloat());
    a.SelScareScore = static_cast<float>(answerCD.ValueAt(r, "SelScareScore").AsFloat());
    a.Answer = NormalizeAnswer(answerCD.ValueAt(r, "Answer").AsString(), prompt);
    a.SType = CutToGbkBytes(answerCD.ValueAt(r, "SType").AsString(), kTypeNameBytes);
    if (a.SType != lastRun) {
      TTypeRec t;
      t.Index = static_cast<std::int32_t>(key.KeyTypeRuns.size());
      t.Name = a.SType;
      t.RightScore = a.RightScore;
      t.SelOverScore = a.SelOverScore;
      t.SelScareScore = a.SelScareScore;
      key.KeyTypeRuns.push_back(t);
      lastRun = a.SType;
      run = t.Index;
    }
    a.TypeIndex = run;
    a.IsMulti = Contains(a.SType, "多选");
    a.IsUnused = Contains(a.SType, kUnusedType);
    key.AnswerKey.push_back(std::move(a));
  }
  if (answerCD.RecordCount() > 0 && answerCD.State() == TableState::Browse) answerCD.First();
  return key;
}

void ResetKey(ExamTables& exam, int n) {
  if (n < 0 || n > kMaxQuestionCount)
    throw Error("question count " + std::to_string(n) + " out of range");
  DataTable& ranges = exam.ClientDataSet1;
  DataTable& key = exam.AnswerCD;
  if (!ranges.Active()) ranges.CreateDataSet();
  if (!key.Active()) key.CreateDataSet();
  ranges.EmptyTable();

  // Questions 1..n keep their rows' other values; the rows are written anew so
  // renumbering never meets the unique question index half-way.
  std::vector<std::vector<Value>> kept;
  const int keep = std::min(n, key.RecordCount());
  for (int r = 1; r <= keep; ++r) {
    std::vector<Value> values;
    for (int f = 0; f < key.FieldCount(); ++f) values.push_back(key.ValueAt(r, f));
    kept.push_back(std::move(values));
  }
  key.EmptyTable();
  for (int q = 1; q <= n; ++q) {
    key.Append();
    if (q <= keep) {
      for (int f = 0; f < key.FieldCount(); ++f) {
        if (key.Field(f).Calculated || key.Field(f).Type == FieldType::AutoInc) continue;
        key.Set(f, kept[static_cast<std::size_t>(q - 1)][static_cast<std::size_t>(f)]);
      }
    }
    key.SetInteger("Item", q);
    key.SetString("SType", kTypeNotSet);
    key.SetFloat("RightScore", 0);
    key.Post();
  }
  if (key.RecordCount() > 0) key.First();
}

bool SetQuestionCount(ExamTables& exam, int n, Prompt& prompt) {
  if (n < 0 || n > kMaxQuestionCount)
    throw Error("question count " + std::to_string(n) + " out of range");
  exam.CardQuestionCount = n;
  DataTable& key = exam.AnswerCD;
  if (!key.Active()) key.CreateDataSet();
  if (key.State() != TableState::Browse) key.Cancel();
  // Questions beyond the new count go from the end, so every kept question
  // keeps its own answer.
  while (key.RecordCount() > n) {
    key.Last();
    key.Delete();
  }
  if (exam.ClientDataSet1.Active() && exam.ClientDataSet1.RecordCount() > 0) {
    PromptRequest r;
    r.Text = "该操作会清空题型、分值，但答案会保留\r\n要继续吗？";
    r.Caption = "Comfirm";
    r.Buttons = PromptButtons::OkCancel;
    r.Default = PromptAnswer::Cancel;
    r.Icon = PromptIcon::Question;
    r.SystemModal = true;
    r.Topmost = true;
    if (prompt.Ask(r) != PromptAnswer::Ok) return false;
  }
  ResetKey(exam, n);
  return true;
}

std::vector<std::string> TypeRangeNames(const DataTable& ranges) {
  std::vector<std::string> names;
  for (int r = 1; r <= ranges.RecordCount(); ++r) {
    std::string name = ranges.ValueAt(r, "sType").AsString();
    const std::int64_t sequence = ranges.ValueAt(r, "Sequence").AsInteger();
    if (sequence != 0) name += std::to_string(sequence);
    names.push_back(std::move(name));
  }
  return names;
}

bool TypeRangesMatchKey(const DataTable& answerCD, const DataTable& ranges) {
  const std::vector<std::string> names = TypeRangeNames(ranges);
  if (std::set<std::string>(names.begin(), names.end()).size() != names.size()) return false;
  std::vector<std::string> cut;
  for (const std::string& n : names) cut.push_back(CutToGbkBytes(n, kTypeNameBytes));
  return cut == KeyRunNames(answerCD);
}

bool CheckSetup(const ExamTables& exam, std::string_view templateText, bool show, Prompt& prompt) {
  std::string problem;
  if (Trimmed(templateText).size() < 10) problem += "答题卡尚未选择！\r";
  const DataTable& key = exam.AnswerCD;
  if (key.RecordCount() != exam.CardQuestionCount) problem += "标准答案尚未设置好！\r";
  if (!problem.empty()) {
    if (show) {
      PromptRequest r;
      r.Text = problem;
      prompt.Tell(r);
    }
    return false;
  }

  std::string noAnswer, noType, noScore;
  for (int r = 1; r <= key.RecordCount(); ++r) {
    const std::string number = std::to_string(r) + ",";
    const std::string type = key.ValueAt(r, "SType").AsString();
    if (Trimmed(key.ValueAt(r, "Answer").AsString()).empty()) noAnswer += number;
    if (Trimmed(type).empty() || type == kTypeNotSet) noType += number;
    if (RoundEven64(key.ValueAt(r, "RightScore").AsFloat()) == 0 && !Contains(type, kUnusedType)) {
      noScore += number;
    }
  }
  std::string message;
  const auto paragraph = [&](const char* title, const std::string& list) {
    if (list.empty()) return;
    message += std::string(title) + "\r    " + list.substr(0, 20) + " …!\r";
  };
  paragraph("下列题目答案未设置：", noAnswer);
  paragraph("下列题目题型未设置：", noType);
  paragraph("下列题目分值未设置：", noScore);
  if (message.empty() && !TypeRangesMatchKey(key, exam.ClientDataSet1)) {
    message = "题型设置与各题的题型不一致，请点击“清空重设”后重新设置题型！\r";
  }
  if (message.empty()) return true;
  if (show) {
    PromptRequest r;
    r.Text = message;
    r.Caption = "提示";
    r.Icon = PromptIcon::Error;
    r.SystemModal = true;
    r.Topmost = true;
    prompt.Tell(r);
  }
  return false;
}

std::filesystem::path SaveKeyFiles(const ExamTables& exam, const std::filesystem::path& chosen,
                                   Prompt& prompt) {
  // Only the file's own name is cut; an "_" in a folder name must not move
  // the files elsewhere.
  std::string name = chosen.filename().string();
  name = name.substr(0, name.find('_'));
  for (;;) {
    std::string lower = name;
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const std::size_t at = lower.find(".score");
    if (at == std::string::npos) break;
    name.erase(at, 6);
  }
  const std::filesystem::path base = chosen.parent_path() / (name + "_" + exam.CardName);
  std::filesystem::path keyFile = base;
  keyFile += ".score";
  std::filesystem::path rangeFile = base;
  rangeFile += ".score.x";

  std::error_code ec;
  if (std::filesystem::exists(keyFile, ec)) {
    PromptRequest r;
    r.Text = "文件已存在\r\n要覆盖吗？";
    r.Caption = "Comfirm";
    r.Buttons = PromptButtons::YesNo;
    r.Default = PromptAnswer::Yes;
    r.Icon = PromptIcon::Question;
    r.SystemModal = true;
    r.Topmost = true;
    if (prompt.Ask(r) != PromptAnswer::Yes) return {};
  }
  SaveTableFile(exam.AnswerCD, keyFile);
  SaveTableFile(exam.ClientDataSet1, rangeFile);
  return keyFile;
}

bool LoadKeyFiles(ExamTables& exam, const std::filesystem::path& chosen, Prompt& prompt) {
  std::filesystem::path rangeFile = chosen;
  rangeFile += ".x";
  try {
    DataTable key = ReadTableFile(chosen, exam.AnswerCD);
    if (key.RecordCount() != exam.CardQuestionCount) {
      prompt.Tell(ErrorBox("与当前所选答题卡题数不符！无法载入。"));
      return false;
    }
    DataTable ranges = ReadTableFile(rangeFile, exam.ClientDataSet1);
    exam.AnswerCD = std::move(key);
    exam.ClientDataSet1 = std::move(ranges);
  } catch (const FileError& e) {
    prompt.Tell(ErrorBox(e.what()));
    return false;
  }
  return true;
}

}  // namespace kestrelo
