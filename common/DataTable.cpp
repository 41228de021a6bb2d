#include "common/DataTable.h"

#include <algorithm>
#include <cmath>

#include "common/DecimalText.h"
#include "common/Error.h"
#include "common/GbkText.h"
#include "common/Rounding.h"

namespace kestrelo {

// ---------------------------------------------------------------- Value

std::string Value::AsString() const {
  if (IsInteger()) return std::to_string(std::get<std::int64_t>(v_));
  if (IsFloat()) return GeneralDecimalText(std::get<double>(v_));
  if (IsText()) return std::get<std::string>(v_);
  return {};
}

std::int64_t Value::AsInteger() const {
  if (IsInteger()) return std::get<std::int64_t>(v_);
  if (IsFloat()) {
    const double d = std::get<double>(v_);
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
      throw Error("'" + AsString() + "' is not a valid integer value");
    return RoundEven64(d);
  }
  if (IsText()) {
    const auto v = ParseDecimalInteger(std::get<std::string>(v_));
    if (!v) throw Error("'" + std::get<std::string>(v_) + "' is not a valid integer value");
    return *v;
  }
  return 0;
}

double Value::AsFloat() const {
  if (IsInteger()) return static_cast<double>(std::get<std::int64_t>(v_));
  if (IsFloat()) return std::get<double>(v_);
  if (IsText()) {
    const auto v = ParseDecimalNumber(std::get<std::string>(v_));
    if (!v) throw Error("'" + std::get<std::string>(v_) + "' is not a valid floating point value");
    return *v;
  }
  return 0;
}

int CompareValues(const Value& a, const Value& b) {
  const auto rank = [](const Value& v) { return v.IsNull() ? 0 : v.IsText() ? 2 : 1; };
  const int ra = rank(a);
  const int rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0) return 0;
  if (ra == 2) {
    const int c = a.AsString().compare(b.AsString());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (a.IsInteger() && b.IsInteger()) {
    const auto x = a.AsInteger();
    const auto y = b.AsInteger();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const double x = a.AsFloat();
  const double y = b.AsFloat();
  return x < y ? -1 : x > y ? 1 : 0;
}

Value RowView::Get(std::string_view field) const {
  const int i = table_.Require(field);
  return table_.Computed(i, values_);
}

// ---------------------------------------------------------------- definitions

void DataTable::AddField(FieldDef def) {
  if (Active()) throw Error(name_ + ": fields cannot be added while the table is open");
  if (def.Name.empty()) throw Error(name_ + ": a field needs a name");
  if (HasField(def.Name)) throw Error(name_ + ": duplicate field name '" + def.Name + "'");
  if (def.Calculated && !def.Calc)
    throw Error(name_ + ": calculated field '" + def.Name + "' has no rule");
  if (def.Type == FieldType::String && def.Size <= 0) {
    throw Error(name_ + ": text field '" + def.Name + "' needs a size");
  }
  fields_.push_back(std::move(def));
}

void DataTable::ClearFields() {
  Close();
  fields_.clear();
  indexes_.clear();
  activeIndex_.clear();
  sortFields_.clear();
}

const FieldDef& DataTable::Field(int index) const {
  if (index < 0 || index >= FieldCount())
    throw Error(name_ + ": no field number " + std::to_string(index));
  return fields_[static_cast<std::size_t>(index)];
}

int DataTable::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].Name == name) return static_cast<int>(i);
  }
  return -1;
}

int DataTable::Require(std::string_view field) const {
  const int i = FieldIndex(field);
  if (i < 0) throw Error(name_ + ": field '" + std::string(field) + "' not found");
  return i;
}

std::vector<int> DataTable::KeyFields(std::string_view fields) const {
  std::vector<int> out;
  std::size_t start = 0;
  while (start <= fields.size()) {
    const std::size_t end = std::min(fields.find(';', start), fields.size());
    const std::string_view part = fields.substr(start, end - start);
    if (!part.empty()) out.push_back(Require(part));
    start = end + 1;
  }
  return out;
}

void DataTable::AddIndex(IndexDef def) {
  if (def.Name.empty()) throw Error(name_ + ": an index needs a name");
  for (const IndexDef& d : indexes_) {
    if (d.Name == def.Name) throw Error(name_ + ": duplicate index name '" + def.Name + "'");
  }
  if (KeyFields(def.Fields).empty())
    throw Error(name_ + ": index '" + def.Name + "' has no fields");
  if (def.Unique && !rows_.empty()) {
    // Refuse an index the present rows already break.
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      for (std::size_t j = i + 1; j < rows_.size(); ++j) {
        bool same = true;
        for (int f : KeyFields(def.Fields)) {
          same = same && CompareValues(rows_[i].Values[f], rows_[j].Values[f]) == 0;
        }
        if (same) throw Error(name_ + ": rows break the unique index '" + def.Name + "'");
      }
    }
  }
  indexes_.push_back(std::move(def));
}

void DataTable::SetActiveIndex(std::string_view name) {
  if (!name.empty()) {
    const bool known = std::any_of(indexes_.begin(), indexes_.end(),
                                   [&](const IndexDef& d) { return d.Name == name; });
    if (!known) throw Error(name_ + ": index '" + std::string(name) + "' not found");
  }
  if (state_ == TableState::Edit || state_ == TableState::Insert) {
    throw Error(name_ + ": cannot change the order while a row is being edited");
  }
  const std::uint64_t keep = CurrentId();
  activeIndex_ = std::string(name);
  sortFields_.clear();
  RebuildOrder(keep);
}

void DataTable::SortBy(std::string_view fields) {
  KeyFields(fields);  // every name must exist
  if (state_ == TableState::Edit || state_ == TableState::Insert) {
    throw Error(name_ + ": cannot change the order while a row is being edited");
  }
  const std::uint64_t keep = CurrentId();
  sortFields_ = std::string(fields);
  activeIndex_.clear();
  RebuildOrder(keep);
}

std::vector<int> DataTable::VisibleKey() const {
  if (!sortFields_.empty()) return KeyFields(sortFields_);
  for (const IndexDef& d : indexes_) {
    if (d.Name == activeIndex_) return KeyFields(d.Fields);
  }
  return {};
}

// ---------------------------------------------------------------- life

void DataTable::CreateDataSet() {
  if (fields_.empty()) throw Error(name_ + ": a table needs fields");
  rows_.clear();
  order_.clear();
  buffer_.clear();
  nextAutoInc_ = 1;
  state_ = TableState::Browse;
  pos_ = -1;
  eof_ = bof_ = true;
}

void DataTable::Close() {
  rows_.clear();
  order_.clear();
  buffer_.clear();
  state_ = TableState::Inactive;
  pos_ = -1;
  eof_ = bof_ = true;
}

void DataTable::EmptyTable() {
  RequireActive();
  rows_.clear();
  order_.clear();
  buffer_.clear();
  state_ = TableState::Browse;
  pos_ = -1;
  eof_ = bof_ = true;
}

void DataTable::RequireActive() const {
  if (!Active()) throw Error(name_ + ": the table is not open");
}

void DataTable::RequireBrowsing(const char* operation) const {
  RequireActive();
  if (state_ != TableState::Browse) {
    throw Error(name_ + ": cannot " + operation + " while a row is being edited");
  }
}

// ---------------------------------------------------------------- cursor

std::uint64_t DataTable::CurrentId() const {
  if (pos_ < 0 || order_.empty()) return 0;
  return rows_[order_[static_cast<std::size_t>(pos_)]].Id;
}

void DataTable::RebuildOrder(std::uint64_t keepId) {
  order_.resize(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) order_[i] = i;
  const std::vector<int> key = VisibleKey();
  if (!key.empty()) {
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
      for (int f : key) {
        const int c = CompareValues(rows_[a].Values[f], rows_[b].Values[f]);
        if (c != 0) return c < 0;
      }
      return false;
    });
  }
  if (order_.empty()) {
    pos_ = -1;
    eof_ = bof_ = true;
    return;
  }
  pos_ = 0;
  for (std::size_t i = 0; i < order_.size(); ++i) {
    if (rows_[order_[i]].Id == keepId) pos_ = static_cast<int>(i);
  }
  eof_ = bof_ = false;
}

int DataTable::RecNo() const { return pos_ < 0 ? 0 : pos_ + 1; }

void DataTable::First() {
  RequireBrowsing("move");
  pos_ = order_.empty() ? -1 : 0;
  eof_ = order_.empty();
  bof_ = true;
}

void DataTable::Last() {
  RequireBrowsing("move");
  pos_ = static_cast<int>(order_.size()) - 1;
  eof_ = true;
  bof_ = order_.empty();
}

void DataTable::Next() {
  RequireBrowsing("move");
  bof_ = order_.empty();
  if (pos_ + 1 < static_cast<int>(order_.size())) {
    ++pos_;
    eof_ = false;
  } else {
    eof_ = true;
  }
}

void DataTable::Prior() {
  RequireBrowsing("move");
  eof_ = order_.empty();
  if (pos_ > 0) {
    --pos_;
    bof_ = false;
  } else {
    bof_ = true;
  }
}

void DataTable::MoveTo(int recNo) {
  RequireBrowsing("move");
  if (recNo < 1 || recNo > RecordCount()) {
    throw Error(name_ + ": no row number " + std::to_string(recNo) + " (" +
                std::to_string(RecordCount()) + " rows)");
  }
  pos_ = recNo - 1;
  eof_ = bof_ = false;
}

bool DataTable::Locate(std::string_view field, const Value& value) {
  RequireBrowsing("move");
  const int f = Require(field);
  for (std::size_t i = 0; i < order_.size(); ++i) {
    if (CompareValues(Computed(f, rows_[order_[i]].Values), value) == 0) {
      pos_ = static_cast<int>(i);
      eof_ = bof_ = false;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- editing

void DataTable::Append() {
  RequireBrowsing("append");
  buffer_.assign(fields_.size(), Value());
  state_ = TableState::Insert;
}

void DataTable::Edit() {
  RequireBrowsing("edit");
  if (pos_ < 0) throw Error(name_ + ": no row to edit");
  buffer_ = rows_[order_[static_cast<std::size_t>(pos_)]].Values;
  state_ = TableState::Edit;
}

void DataTable::CheckUnique(const std::vector<Value>& values, std::uint64_t skipId) const {
  for (const IndexDef& d : indexes_) {
    if (!d.Unique && !d.Primary) continue;
    const std::vector<int> key = KeyFields(d.Fields);
    for (const Row& r : rows_) {
      if (r.Id == skipId) continue;
      bool same = true;
      for (int f : key) same = same && CompareValues(r.Values[f], values[f]) == 0;
      if (same) throw Error(name_ + ": key violation of index '" + d.Name + "'");
    }
  }
}

void DataTable::Post() {
  RequireActive();
  if (state_ == TableState::Browse) return;
  if (state_ == TableState::Edit) {
    const std::uint64_t id = CurrentId();
    CheckUnique(buffer_, id);
    for (Row& r : rows_) {
      if (r.Id == id) r.Values = std::move(buffer_);
    }
    buffer_.clear();
    state_ = TableState::Browse;
    RebuildOrder(id);
    return;
  }
  std::vector<Value> values = buffer_;
  std::int64_t next = nextAutoInc_;
  for (std::size_t f = 0; f < fields_.size(); ++f) {
    if (fields_[f].Type == FieldType::AutoInc) values[f] = Value::Integer(next);
  }
  CheckUnique(values, 0);
  const std::uint64_t id = nextId_++;
  rows_.push_back(Row{id, std::move(values)});
  ++nextAutoInc_;
  buffer_.clear();
  state_ = TableState::Browse;
  RebuildOrder(id);
}

void DataTable::Cancel() {
  RequireActive();
  buffer_.clear();
  state_ = TableState::Browse;
}

void DataTable::Delete() {
  RequireActive();
  if (state_ != TableState::Browse) Cancel();
  if (pos_ < 0) throw Error(name_ + ": no row to delete");
  const std::size_t victim = order_[static_cast<std::size_t>(pos_)];
  // The cursor goes to the row after the deleted one, or the one before it
  // when the last row went.
  std::uint64_t keep = 0;
  if (static_cast<std::size_t>(pos_) + 1 < order_.size()) {
    keep = rows_[order_[static_cast<std::size_t>(pos_) + 1]].Id;
  } else if (pos_ > 0) {
    keep = rows_[order_[static_cast<std::size_t>(pos_) - 1]].Id;
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(victim));
  RebuildOrder(keep);
}

// ---------------------------------------------------------------- values

const std::vector<Value>* DataTable::CurrentValues() const {
  if (state_ == TableState::Edit || state_ == TableState::Insert) return &buffer_;
  if (pos_ < 0) return nullptr;
  return &rows_[order_[static_cast<std::size_t>(pos_)]].Values;
}

Value DataTable::Computed(int field, const std::vector<Value>& values) const {
  const FieldDef& def = fields_[static_cast<std::size_t>(field)];
  if (def.Calculated) return def.Calc(RowView(*this, values));
  return values[static_cast<std::size_t>(field)];
}

Value DataTable::Get(int field) const {
  Field(field);
  const std::vector<Value>* values = CurrentValues();
  if (values == nullptr) return Value();
  return Computed(field, *values);
}

Value DataTable::ValueAt(int recNo, int field) const {
  Field(field);
  if (recNo < 1 || recNo > RecordCount()) {
    throw Error(name_ + ": no row number " + std::to_string(recNo) + " (" +
                std::to_string(RecordCount()) + " rows)");
  }
  return Computed(field, rows_[order_[static_cast<std::size_t>(recNo - 1)]].Values);
}

Value DataTable::Converted(const FieldDef& def, const Value& value) const {
  if (value.IsNull()) return value;
  switch (def.Type) {
    case FieldType::String: {
      const std::string text = value.AsString();
      if (!IsValidUtf8(text))
        throw Error(name_ + ": text for field '" + def.Name + "' is not valid UTF-8");
      return Value::Text(CutToGbkBytes(text, static_cast<std::size_t>(def.Size)));
    }
    case FieldType::Integer:
      return Value::Integer(value.AsInteger());
    case FieldType::Float:
      return Value::Float(value.AsFloat());
    case FieldType::AutoInc:
      break;
  }
  return value;
}

void DataTable::Set(int field, const Value& value) {
  const FieldDef& def = Field(field);
  if (state_ != TableState::Edit && state_ != TableState::Insert) {
    throw Error(name_ + ": field '" + def.Name + "' can only be set while a row is edited");
  }
  if (def.Type == FieldType::AutoInc || def.Calculated) {
    throw Error(name_ + ": field '" + def.Name + "' is read-only");
  }
  buffer_[static_cast<std::size_t>(field)] = Converted(def, value);
}

// ---------------------------------------------------------------- whole rows

const std::vector<Value>& DataTable::StoredRow(std::size_t insertionIndex) const {
  if (insertionIndex >= rows_.size())
    throw Error(name_ + ": no stored row " + std::to_string(insertionIndex));
  return rows_[insertionIndex].Values;
}

void DataTable::LoadRows(std::vector<std::vector<Value>> rows, std::int64_t nextAutoInc) {
  if (fields_.empty()) throw Error(name_ + ": a table needs fields");
  std::int64_t maxAuto = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<Value>& values = rows[r];
    const std::string where = name_ + ": row " + std::to_string(r + 1);
    if (values.size() != fields_.size()) throw Error(where + " has the wrong number of values");
    for (std::size_t f = 0; f < fields_.size(); ++f) {
      const FieldDef& def = fields_[f];
      Value& v = values[f];
      if (def.Calculated) {
        v = Value();
        continue;
      }
      const std::string bad = where + ", field '" + def.Name + "': ";
      switch (def.Type) {
        case FieldType::AutoInc:
          if (!v.IsInteger() || v.AsInteger() < 1)
            throw Error(bad + "missing or invalid row number");
          maxAuto = std::max(maxAuto, v.AsInteger());
          break;
        case FieldType::Integer:
          if (!v.IsNull() && !v.IsInteger()) throw Error(bad + "not a whole number");
          break;
        case FieldType::Float:
          if (v.IsInteger()) v = Value::Float(static_cast<double>(v.AsInteger()));
          if (!v.IsNull() && !v.IsFloat()) throw Error(bad + "not a number");
          break;
        case FieldType::String:
          if (v.IsNull()) break;
          if (!v.IsText() || !IsValidUtf8(v.AsString())) throw Error(bad + "not a text");
          if (GbkLength(v.AsString()) > static_cast<std::size_t>(def.Size)) {
            throw Error(bad + "text longer than " + std::to_string(def.Size) + " bytes");
          }
          break;
      }
    }
  }
  DataTable trial(*this);
  trial.rows_.clear();
  trial.nextId_ = 1;
  for (std::vector<Value>& values : rows) {
    trial.CheckUnique(values, 0);
    trial.rows_.push_back(Row{trial.nextId_++, std::move(values)});
  }
  trial.nextAutoInc_ = std::max(nextAutoInc, maxAuto + 1);
  trial.state_ = TableState::Browse;
  trial.buffer_.clear();
  trial.RebuildOrder(0);
  *this = std::move(trial);
}

}  // namespace kestrelo
