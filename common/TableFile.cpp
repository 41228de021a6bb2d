#include "common/TableFile.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Error.h"

namespace kestrelo {
namespace {

// 'KSTB' in the database header tells our table files from other SQLite files.
constexpr int kApplicationId = 0x4B535442;
constexpr int kFormatVersion = 1;

const char* TypeName(FieldType t) {
  switch (t) {
    case FieldType::Integer:
      return "integer";
    case FieldType::AutoInc:
      return "autoinc";
    case FieldType::String:
      return "string";
    case FieldType::Float:
      return "float";
  }
  return "?";
}

// One in-memory database; the file is only ever read or written as a whole,
// so a failed save never touches the old file and a load never sees a file
// that changes under it.
class Db {
 public:
  Db() {
    if (sqlite3_open(":memory:", &db_) != SQLITE_OK) {
      const std::string what = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw Error("cannot open an in-memory database: " + what);
    }
    // A foreign file must not be able to run code of its own (triggers, views).
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  }
  ~Db() { sqlite3_close(db_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  sqlite3* get() const { return db_; }
  std::string Message() const { return sqlite3_errmsg(db_); }

  void Exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      const std::string what = err ? err : Message();
      sqlite3_free(err);
      throw Error(what);
    }
  }

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement(const Db& db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st_, nullptr) != SQLITE_OK)
      throw Error(db.Message());
  }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // True while a row is there.
  bool Step() {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw Error(db_.Message());
  }
  void Reset() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }

  void Bind(int i, const Value& v) {
    int rc;
    if (v.IsInteger()) {
      rc = sqlite3_bind_int64(st_, i, v.AsInteger());
    } else if (v.IsFloat()) {
      rc = sqlite3_bind_double(st_, i, v.AsFloat());
    } else if (v.IsText()) {
      const std::string s = v.AsString();
      rc = sqlite3_bind_text(st_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    } else {
      rc = sqlite3_bind_null(st_, i);
    }
    if (rc != SQLITE_OK) throw Error(db_.Message());
  }
  void Bind(int i, const std::string& s) { Bind(i, Value::Text(s)); }
  void Bind(int i, std::int64_t n) { Bind(i, Value::Integer(n)); }

  Value Column(int i) const {
    switch (sqlite3_column_type(st_, i)) {
      case SQLITE_INTEGER:
        return Value::Integer(sqlite3_column_int64(st_, i));
      case SQLITE_FLOAT:
        return Value::Float(sqlite3_column_double(st_, i));
      case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return Value::Text(
            std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st_, i))));
      }
      case SQLITE_NULL:
        return Value();
      default:
        throw Error("unexpected binary data");
    }
  }
  std::string Text(int i) const {
    const Value v = Column(i);
    if (!v.IsText()) throw Error("a text is missing");
    return v.AsString();
  }
  std::int64_t Integer(int i) const {
    const Value v = Column(i);
    if (!v.IsInteger()) throw Error("a number is missing");
    return v.AsInteger();
  }

 private:
  const Db& db_;
  sqlite3_stmt* st_ = nullptr;
};

std::vector<int> StoredFields(const DataTable& table) {
  std::vector<int> out;
  for (int f = 0; f < table.FieldCount(); ++f) {
    if (!table.Field(f).Calculated) out.push_back(f);
  }
  return out;
}

std::string RowColumns(std::size_t count) {
  std::string s;
  for (std::size_t i = 0; i < count; ++i) s += ", f" + std::to_string(i);
  return s;
}

std::string Serialize(const DataTable& table) {
  Db db;
  db.Exec("PRAGMA application_id = " + std::to_string(kApplicationId) +
          ";"
          "PRAGMA user_version = " +
          std::to_string(kFormatVersion) +
          ";"
          "BEGIN;"
          "CREATE TABLE kestrelo_table(key TEXT PRIMARY KEY, value);"
          "CREATE TABLE kestrelo_fields(position INTEGER PRIMARY KEY, name TEXT NOT NULL,"
          " type TEXT NOT NULL, size INTEGER NOT NULL, calculated INTEGER NOT NULL);"
          "CREATE TABLE kestrelo_indexes(position INTEGER PRIMARY KEY, name TEXT NOT NULL,"
          " fields TEXT NOT NULL, is_unique INTEGER NOT NULL, is_primary INTEGER NOT NULL);");
  const std::vector<int> stored = StoredFields(table);
  db.Exec("CREATE TABLE kestrelo_rows(ordinal INTEGER PRIMARY KEY" + RowColumns(stored.size()) +
          ");");

  {
    Statement st(db, "INSERT INTO kestrelo_table VALUES(?, ?)");
    const auto put = [&](const std::string& key, const Value& v) {
      st.Bind(1, key);
      st.Bind(2, v);
      st.Step();
      st.Reset();
    };
    put("name", Value::Text(table.Name()));
    put("next_autoinc", Value::Integer(table.NextAutoInc()));
  }
  {
    Statement st(db, "INSERT INTO kestrelo_fields VALUES(?, ?, ?, ?, ?)");
    for (int f = 0; f < table.FieldCount(); ++f) {
      const FieldDef& d = table.Field(f);
      st.Bind(1, std::int64_t{f});
      st.Bind(2, d.Name);
      st.Bind(3, std::string(TypeName(d.Type)));
      st.Bind(4, std::int64_t{d.Size});
      st.Bind(5, std::int64_t{d.Calculated ? 1 : 0});
      st.Step();
      st.Reset();
    }
  }
  {
    Statement st(db, "INSERT INTO kestrelo_indexes VALUES(?, ?, ?, ?, ?)");
    std::int64_t pos = 0;
    for (const IndexDef& d : table.Indexes()) {
      st.Bind(1, pos++);
      st.Bind(2, d.Name);
      st.Bind(3, d.Fields);
      st.Bind(4, std::int64_t{d.Unique ? 1 : 0});
      st.Bind(5, std::int64_t{d.Primary ? 1 : 0});
      st.Step();
      st.Reset();
    }
  }
  {
    std::string sql = "INSERT INTO kestrelo_rows VALUES(?";
    for (std::size_t i = 0; i < stored.size(); ++i) sql += ", ?";
    Statement st(db, sql + ")");
    for (std::size_t r = 0; r < static_cast<std::size_t>(table.RecordCount()); ++r) {
      const std::vector<Value>& values = table.StoredRow(r);
      st.Bind(1, static_cast<std::int64_t>(r));
      for (std::size_t i = 0; i < stored.size(); ++i) {
        st.Bind(static_cast<int>(i) + 2, values[static_cast<std::size_t>(stored[i])]);
      }
      st.Step();
      st.Reset();
    }
  }
  db.Exec("COMMIT;");

  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db.get(), "main", &size, 0);
  if (bytes == nullptr) throw Error("cannot serialise the table: " + db.Message());
  std::string out(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  sqlite3_free(bytes);
  return out;
}

void OpenFromBytes(Db& db, const std::string& bytes) {
  static const char kHeader[] = "SQLite format 3";  // with its terminating zero: 16 bytes
  if (bytes.size() < 512 || std::memcmp(bytes.data(), kHeader, sizeof kHeader) != 0) {
    throw Error("not a table file");
  }
  auto* buf = static_cast<unsigned char*>(sqlite3_malloc64(bytes.size()));
  if (buf == nullptr) throw Error("out of memory");
  std::memcpy(buf, bytes.data(), bytes.size());
  const int rc =
      sqlite3_deserialize(db.get(), "main", buf, static_cast<sqlite3_int64>(bytes.size()),
                          static_cast<sqlite3_int64>(bytes.size()),
                          SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
  if (rc != SQLITE_OK) throw Error("not a table file (" + db.Message() + ")");
}

std::int64_t PragmaValue(Db& db, const std::string& pragma) {
  Statement st(db, "PRAGMA " + pragma);
  if (!st.Step()) throw Error("no " + pragma);
  return st.Integer(0);
}

DataTable Parse(const std::string& bytes, const DataTable& expected) {
  Db db;
  OpenFromBytes(db, bytes);
  try {
    Statement check(db, "PRAGMA quick_check");
    if (!check.Step() || check.Column(0).AsString() != "ok") throw Error("the file is damaged");
  } catch (const Error&) {
    throw Error("the file is damaged");
  }
  if (PragmaValue(db, "application_id") != kApplicationId) throw Error("not a table file");
  const std::int64_t version = PragmaValue(db, "user_version");
  if (version > kFormatVersion) throw Error("written by a newer version of the program");
  if (version < 1) throw Error("not a table file");

  {
    Statement st(db,
                 "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN"
                 " ('kestrelo_table', 'kestrelo_fields', 'kestrelo_indexes', 'kestrelo_rows')");
    st.Step();
    if (st.Integer(0) != 4) throw Error("the table file is incomplete");
  }

  std::string name;
  std::int64_t nextAutoInc = 1;
  bool haveName = false;
  {
    Statement st(db, "SELECT key, value FROM kestrelo_table");
    while (st.Step()) {
      const std::string key = st.Text(0);
      if (key == "name") {
        name = st.Text(1);
        haveName = true;
      } else if (key == "next_autoinc") {
        nextAutoInc = st.Integer(1);
      }
    }
  }
  if (!haveName) throw Error("the table file has no table name");
  if (name != expected.Name()) {
    throw Error("holds the table '" + name + "', not the table '" + expected.Name() + "'");
  }

  {
    Statement st(db, "SELECT name, type, size, calculated FROM kestrelo_fields ORDER BY position");
    int f = 0;
    const std::string mismatch = "its fields are not those of the table '" + expected.Name() + "'";
    while (st.Step()) {
      if (f >= expected.FieldCount()) throw Error(mismatch);
      const FieldDef& d = expected.Field(f);
      const bool same = st.Text(0) == d.Name && st.Text(1) == TypeName(d.Type) &&
                        (d.Type != FieldType::String || st.Integer(2) == d.Size) &&
                        (st.Integer(3) != 0) == d.Calculated;
      if (!same) throw Error(mismatch);
      ++f;
    }
    if (f != expected.FieldCount()) throw Error(mismatch);
  }

  const std::vector<int> stored = StoredFields(expected);
  std::vector<std::vector<Value>> rows;
  {
    Statement st(
        db, "SELECT ordinal" + RowColumns(stored.size()) + " FROM kestrelo_rows ORDER BY ordinal");
    while (st.Step()) {
      std::vector<Value> values(static_cast<std::size_t>(expected.FieldCount()));
      for (std::size_t i = 0; i < stored.size(); ++i) {
        values[static_cast<std::size_t>(stored[i])] = st.Column(static_cast<int>(i) + 1);
      }
      rows.push_back(std::move(values));
    }
  }

  DataTable table(expected);
  table.LoadRows(std::move(rows), nextAutoInc);
  return table;
}

}  // namespace

void SaveTableFile(const DataTable& table, const std::filesystem::path& path) {
  std::string bytes;
  try {
    bytes = Serialize(table);
  } catch (const FileError&) {
    throw;
  } catch (const Error& e) {
    throw FileError(path.string(), std::string("cannot save the table: ") + e.what());
  }
  WriteFileAtomically(path, bytes);
}

DataTable ReadTableFile(const std::filesystem::path& path, const DataTable& expected) {
  const std::string bytes = ReadWholeFile(path);
  try {
    return Parse(bytes, expected);
  } catch (const FileError&) {
    throw;
  } catch (const Error& e) {
    throw FileError(path.string(), e.what());
  }
}

void LoadTableFile(DataTable& table, const std::filesystem::path& path) {
  DataTable loaded = ReadTableFile(path, table);
  table = std::move(loaded);
}

}  // namespace kestrelo
