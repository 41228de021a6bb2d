#pragma once
// An in-memory table as the exam data uses it: ordered, named, typed fields;
// rows kept in insertion order; index definitions, one of which (or a list of
// sort fields) gives the visible order; a cursor over that visible order; and
// the append / edit / post / delete cycle of an editable data set.
//
// Misuse (a field that does not exist, a write while not editing, a unique
// key posted twice) throws Error; the table is left as it was before the call.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrelo {

enum class FieldType {
  Integer,  // 64-bit whole number
  AutoInc,  // numbered by the table when a row is appended; read-only
  String,   // text with a width in GBK bytes; longer text is cut
  Float,    // double
};

// One field value: null, a whole number, a real number or a text.
class Value {
 public:
  Value() = default;
  static Value Integer(std::int64_t v) { return Value(Storage(v)); }
  static Value Float(double v) { return Value(Storage(v)); }
  static Value Text(std::string v) { return Value(Storage(std::move(v))); }

  bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsInteger() const { return std::holds_alternative<std::int64_t>(v_); }
  bool IsFloat() const { return std::holds_alternative<double>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }

  // Field-style conversions: null reads as "" or 0; a float reads as whole
  // number rounded to even; a text must hold a decimal number (else Error).
  std::string AsString() const;
  std::int64_t AsInteger() const;
  double AsFloat() const;

  friend bool operator==(const Value&, const Value&) = default;

 private:
  using Storage = std::variant<std::monostate, std::int64_t, double, std::string>;
  explicit Value(Storage v) : v_(std::move(v)) {}
  Storage v_;
};

// Orders values for indexes: null first, then numbers, then texts by bytes.
int CompareValues(const Value& a, const Value& b);

class DataTable;

// Read access to one row, handed to calculated fields.
class RowView {
 public:
  RowView(const DataTable& table, const std::vector<Value>& values)
      : table_(table), values_(values) {}
  Value Get(std::string_view field) const;

 private:
  const DataTable& table_;
  const std::vector<Value>& values_;
};

struct FieldDef {
  std::string Name;
  FieldType Type = FieldType::String;
  int Size = 0;             // String: width in GBK bytes
  bool Calculated = false;  // not stored; Calc gives its value
  std::function<Value(const RowView&)> Calc{};
  std::string DisplayLabel{};  // grid title; empty means the name
  int DisplayWidth = 0;        // grid column width; 0 leaves it to the view
};

struct IndexDef {
  std::string Name;
  std::string Fields{};  // field names separated by ';'
  bool Unique = false;
  bool Primary = false;
};

enum class TableState { Inactive, Browse, Edit, Insert };

class DataTable {
 public:
  explicit DataTable(std::string name = {}) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  // --- Definitions (fields only while the table is inactive).
  void AddField(FieldDef def);
  void ClearFields();  // closes the table and drops fields and indexes
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  const FieldDef& Field(int index) const;
  const std::vector<FieldDef>& Fields() const { return fields_; }
  int FieldIndex(std::string_view name) const;  // -1 when absent
  bool HasField(std::string_view name) const { return FieldIndex(name) >= 0; }

  void AddIndex(IndexDef def);
  const std::vector<IndexDef>& Indexes() const { return indexes_; }
  // Visible order by a named index; "" returns to insertion order.
  void SetActiveIndex(std::string_view name);
  const std::string& ActiveIndex() const { return activeIndex_; }
  // Visible order by a list of fields ("考号" or "a;b") without a named index.
  void SortBy(std::string_view fields);
  const std::string& SortFields() const { return sortFields_; }

  // --- Life.
  void CreateDataSet();  // opens the table empty; auto-increment restarts at 1
  void Close();          // drops all rows
  bool Active() const { return state_ != TableState::Inactive; }
  TableState State() const { return state_; }
  void EmptyTable();  // deletes every row; numbering goes on

  // --- Cursor over the visible order. Row numbers are 1-based.
  int RecordCount() const { return static_cast<int>(rows_.size()); }
  int RecNo() const;  // 0 when the table is empty
  void First();
  void Last();
  void Next();   // past the last row sets Eof and stays on the last row
  void Prior();  // before the first row sets Bof and stays on the first row
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  void MoveTo(int recNo);
  // Moves to the first visible row whose field equals the value.
  bool Locate(std::string_view field, const Value& value);

  // --- Editing the current row.
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();

  // --- Values of the current row (the edit buffer while editing).
  Value Get(int field) const;
  Value Get(std::string_view field) const { return Get(Require(field)); }
  std::string AsString(std::string_view field) const { return Get(field).AsString(); }
  std::int64_t AsInteger(std::string_view field) const { return Get(field).AsInteger(); }
  double AsFloat(std::string_view field) const { return Get(field).AsFloat(); }

  // A value of any visible row without moving the cursor (stored rows only,
  // not the edit buffer).
  Value ValueAt(int recNo, int field) const;
  Value ValueAt(int recNo, std::string_view field) const { return ValueAt(recNo, Require(field)); }

  // Converted to the field's type: a String field takes any value as text and
  // cuts it to its width; Integer and Float fields take numbers or decimal
  // text. AutoInc and calculated fields cannot be set.
  void Set(int field, const Value& value);
  void Set(std::string_view field, const Value& value) { Set(Require(field), value); }
  void SetString(std::string_view field, std::string text) {
    Set(field, Value::Text(std::move(text)));
  }
  void SetInteger(std::string_view field, std::int64_t v) { Set(field, Value::Integer(v)); }
  void SetFloat(std::string_view field, double v) { Set(field, Value::Float(v)); }
  void SetNull(std::string_view field) { Set(field, Value()); }

  // --- Whole rows in insertion order, for files.
  std::int64_t NextAutoInc() const { return nextAutoInc_; }
  const std::vector<Value>& StoredRow(std::size_t insertionIndex) const;
  // Replaces all rows (stored fields in field order; calculated slots null)
  // after checking types, widths and unique keys; opens the table. Throws
  // Error and changes nothing when a row does not fit.
  void LoadRows(std::vector<std::vector<Value>> rows, std::int64_t nextAutoInc);

  int Require(std::string_view field) const;  // index of the field or Error

 private:
  struct Row {
    std::uint64_t Id;
    std::vector<Value> Values;
  };

  void RequireActive() const;
  void RequireBrowsing(const char* operation) const;
  const std::vector<Value>* CurrentValues() const;
  std::vector<int> KeyFields(std::string_view fields) const;
  std::vector<int> VisibleKey() const;
  void RebuildOrder(std::uint64_t keepId);
  std::uint64_t CurrentId() const;
  Value Converted(const FieldDef& def, const Value& value) const;
  // Error when values would break a unique index; skip = the row being replaced.
  void CheckUnique(const std::vector<Value>& values, std::uint64_t skipId) const;
  Value Computed(int field, const std::vector<Value>& values) const;

  std::string name_;
  std::vector<FieldDef> fields_;
  std::vector<IndexDef> indexes_;
  std::string activeIndex_;
  std::string sortFields_;

  TableState state_ = TableState::Inactive;
  std::vector<Row> rows_;           // insertion order
  std::vector<std::size_t> order_;  // visible order: indexes into rows_
  int pos_ = -1;                    // position in order_, -1 when empty
  bool eof_ = true;
  bool bof_ = true;
  std::vector<Value> buffer_;  // the row being edited or appended
  std::int64_t nextAutoInc_ = 1;
  std::uint64_t nextId_ = 1;

  friend class RowView;
};

}  // namespace kestrelo
