#include "grading/ResultRecords.h"

#include <optional>

#include "common/DecimalText.h"
#include "common/Error.h"
#include "common/GbkText.h"

namespace kestrelo {
namespace {

constexpr const char* kRowNumberField = "序号";

FieldDef TextField(std::string name, int size, int width) {
  FieldDef d;
  d.Name = std::move(name);
  d.Type = FieldType::String;
  d.Size = size;
  d.DisplayWidth = width;
  return d;
}

void AddHeadFields(DataTable& t) {
  FieldDef number;
  number.Name = kRowNumberField;
  number.Type = FieldType::AutoInc;
  number.DisplayWidth = 28;
  t.AddField(std::move(number));
  t.AddField(TextField("状态", 80, 50));
  t.AddField(TextField("考号", 10, 50));
  t.AddField(TextField("姓名", 10, 50));
  t.AddField(TextField("得分", 10, 30));
}

bool HasRow(const DataTable& dsDB, long long rowNumber) {
  for (int r = 1; r <= dsDB.RecordCount(); ++r) {
    if (dsDB.ValueAt(r, kRowNumberField).AsInteger() == rowNumber) return true;
  }
  return false;
}

// Holds frames for as long as it lives, so the hold ends on every path.
class FrameHold {
 public:
  explicit FrameHold(const std::function<void(bool)>& hold) : hold_(hold) {
    if (hold_) hold_(true);
  }
  ~FrameHold() {
    if (hold_) hold_(false);
  }
  FrameHold(const FrameHold&) = delete;
  FrameHold& operator=(const FrameHold&) = delete;

 private:
  const std::function<void(bool)>& hold_;
};

}  // namespace

DataTable MakeResultsTable() {
  DataTable t("dsDB");
  AddHeadFields(t);
  t.CreateDataSet();
  return t;
}

void BuildResultsTable(DataTable& dsDB, const std::vector<std::string>& types, int questionCount,
                       Prompt& prompt) {
  if (questionCount < 0 || questionCount > kMaxQuestionCount) {
    throw Error("question count " + std::to_string(questionCount) + " out of range");
  }
  DataTable t(dsDB.Name().empty() ? "dsDB" : dsDB.Name());
  AddHeadFields(t);
  for (const std::string& name : types) {
    if (t.HasField(name)) {
      PromptRequest r;
      r.Text = "题型“" + name + "” 重复，不影响阅卷，但可能会导致分项统计不准。";
      r.Icon = PromptIcon::Error;
      prompt.Tell(r);
      continue;
    }
    t.AddField(TextField(name, 10, 50));
  }
  for (int q = 1; q <= questionCount; ++q) t.AddField(TextField(std::to_string(q), 10, 40));
  t.CreateDataSet();
  dsDB = std::move(t);
}

bool ResultsTableMatchesKey(const DataTable& dsDB, const CompiledKey& key) {
  const std::size_t runs = key.KeyTypeRuns.size();
  const std::size_t expected = kResultHeadFields + runs + key.AnswerKey.size();
  if (static_cast<std::size_t>(dsDB.FieldCount()) != expected) return false;
  for (std::size_t j = 0; j < runs; ++j) {
    const std::string& field = dsDB.Field(kResultHeadFields + static_cast<int>(j)).Name;
    if (CutToGbkBytes(field, 30) != key.KeyTypeRuns[j].Name) return false;
  }
  for (std::size_t i = 0; i < key.AnswerKey.size(); ++i) {
    if (dsDB.Field(kResultHeadFields + static_cast<int>(runs + i)).Name != std::to_string(i + 1))
      return false;
  }
  return true;
}

TRecArray MakeCells(const DataTable& dsDB) {
  return TRecArray(dsDB.FieldCount() > 0 ? static_cast<std::size_t>(dsDB.FieldCount() - 1) : 0);
}

int DecideTargetRow(RecordingState& state, const DataTable& dsDB,
                    const std::string& examineeNumber) {
  if (examineeNumber.empty()) return -1;
  std::optional<long long> row = ParseDecimalInteger(state.RosterRows.Value(examineeNumber));
  // A number the table no longer holds is recorded anew rather than lost.
  if (row && *row != -1 && !HasRow(dsDB, *row)) row.reset();
  if (!row || *row == -1) {
    const std::string next = std::to_string(dsDB.NextAutoInc());
    state.RosterRows.SetValue(examineeNumber, next);
    state.LastWrittenRow = next;
    return -1;
  }
  return static_cast<int>(*row);
}

WriteAnswer WriteResult(DataTable& dsDB, RecordingState& state, const WriteResultInput& input,
                        bool warnDuplicate, Prompt& prompt, const WriteResultHooks& hooks) {
  if (hooks.ShowDetail) hooks.ShowDetail(input.Detail);
  if (!dsDB.Active()) dsDB.CreateDataSet();
  if (dsDB.State() != TableState::Browse) dsDB.Cancel();

  bool append = input.TargetRow == -1;
  if (!append) {
    const std::string target = std::to_string(input.TargetRow);
    if (warnDuplicate && dsDB.RecordCount() > 1 && state.LastWrittenRow != target) {
      PromptAnswer answer;
      {
        FrameHold hold(hooks.HoldFrames);
        PromptRequest r;
        r.Text =
            "已存在考生" + input.ExamineeNumber + "号" +
            state.RosterNames.Value(input.ExamineeNumber) +
            "的成绩,\r\n\r\n是否替换成绩数据？\r\n\r\n (若不要替换，请移开当前试卷并点击否)\r\n"
            " (可修改右侧阅卷设置：考号重复时提示)\r\n";
        r.Caption = "提示";
        r.Buttons = PromptButtons::YesNo;
        r.Default = PromptAnswer::No;
        r.Icon = PromptIcon::Warning;
        r.SystemModal = true;
        r.Topmost = true;
        answer = prompt.Ask(r);
      }
      if (answer != PromptAnswer::Yes) return WriteAnswer::Declined;
      state.LastWrittenRow = target;
    }
    if (!dsDB.Locate(kRowNumberField, Value::Integer(input.TargetRow))) {
      // The row is gone (the table was rebuilt): keep the reading as a new row.
      append = true;
      const std::string next = std::to_string(dsDB.NextAutoInc());
      if (!input.ExamineeNumber.empty()) state.RosterRows.SetValue(input.ExamineeNumber, next);
      state.LastWrittenRow = next;
    }
  }

  if (append) {
    dsDB.Append();
  } else {
    dsDB.Edit();
  }
  try {
    const std::size_t cells = input.Cells ? input.Cells->Size() : 0;
    for (int f = 1; f < dsDB.FieldCount(); ++f) {
      const std::size_t i = static_cast<std::size_t>(f - 1);
      if (i >= cells) break;
      const FieldDef& def = dsDB.Field(f);
      if (def.Calculated || def.Type == FieldType::AutoInc) continue;
      const std::string& text = (*input.Cells)[i];
      if (def.Type == FieldType::String) {
        dsDB.Set(f, Value::Text(text));
      } else {
        dsDB.Set(f, Value::Integer(ParseDecimalInteger(text).value_or(0)));
      }
    }
    dsDB.Post();
  } catch (...) {
    dsDB.Cancel();
    throw;
  }
  return WriteAnswer::Written;
}

}  // namespace kestrelo
