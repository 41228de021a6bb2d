#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <string>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "common/TableFile.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

// Stored columns f0..f3 are id, n, s, x; "both" is calculated.
DataTable Sample(const std::string& name = "sample") {
  DataTable t(name);
  t.AddField({.Name = "id", .Type = FieldType::AutoInc});
  t.AddField({.Name = "n", .Type = FieldType::Integer});
  t.AddField({.Name = "s", .Type = FieldType::String, .Size = 8});
  t.AddField({.Name = "x", .Type = FieldType::Float});
  FieldDef both{.Name = "both", .Type = FieldType::String, .Size = 20, .Calculated = true};
  both.Calc = [](const RowView& r) {
    return Value::Text(r.Get("s").AsString() + r.Get("n").AsString());
  };
  t.AddField(both);
  t.AddIndex({.Name = "byN", .Fields = "n", .Unique = true});
  t.AddIndex({.Name = "byS", .Fields = "s"});
  t.CreateDataSet();
  return t;
}

void Add(DataTable& t, Value n, Value s, Value x) {
  t.Append();
  t.Set("n", n);
  t.Set("s", s);
  t.Set("x", x);
  t.Post();
}

DataTable Filled() {
  DataTable t = Sample();
  Add(t, Value::Integer(3), Value::Text("张三"), Value::Float(static_cast<double>(3.6f)));
  Add(t, Value::Integer(-1), Value::Text("0815"), Value());
  Add(t, Value::Integer(7), Value(), Value::Float(-0.5));
  Add(t, Value::Integer(9), Value::Text("gone"), Value::Float(1));
  t.Last();
  t.Delete();
  t.SetActiveIndex("byS");
  return t;
}

void Exec(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* err = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  const std::string what = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << what;
}

TEST(TableFile, RoundTripKeepsRowsOrderTypesAndNumbering) {
  TempFolder dir;
  const DataTable saved = Filled();
  SaveTableFile(saved, dir / "t.tbl");

  DataTable loaded = Sample();
  Add(loaded, Value::Integer(100), Value::Text("old"), Value());
  LoadTableFile(loaded, dir / "t.tbl");

  ASSERT_EQ(loaded.RecordCount(), 3);
  for (std::size_t r = 0; r < 3; ++r) {
    for (int f = 0; f < 4; ++f) {
      EXPECT_EQ(loaded.StoredRow(r)[f], saved.StoredRow(r)[f]) << "row " << r << " field " << f;
    }
  }
  EXPECT_EQ(loaded.StoredRow(0)[3].AsString(), "3.59999990463257");
  EXPECT_TRUE(loaded.StoredRow(1)[3].IsNull());
  EXPECT_EQ(loaded.ValueAt(1, "both").AsString(), "张三3");  // calculated again, not stored
  EXPECT_EQ(loaded.NextAutoInc(), 5);                        // the deleted row's number stays used
  EXPECT_EQ(loaded.ActiveIndex(), "");                       // the loading table's own index choice
  loaded.Append();
  loaded.SetInteger("n", 50);
  loaded.Post();
  EXPECT_EQ(loaded.AsInteger("id"), 5);
}

TEST(TableFile, RefusesWhatIsNotThisTableAndKeepsTheCurrentRows) {
  TempFolder dir;
  const std::filesystem::path good = dir / "good.tbl";
  SaveTableFile(Filled(), good);
  const std::string goodBytes = ReadWholeFile(good);

  struct Case {
    const char* name;
    std::string bytes;   // the file as given, or
    const char* tamper;  // SQL run on a copy of the good file
  };
  std::string damaged = goodBytes;
  for (std::size_t i = 4096; i < damaged.size(); ++i) damaged[i] = '\xAA';
  SaveTableFile(Sample("other"), dir / "other.tbl");
  const Case cases[] = {
      {"empty file", "", nullptr},
      {"text file", "ItemCount=45\r\n", nullptr},
      {"truncated", goodBytes.substr(0, goodBytes.size() / 2), nullptr},
      {"damaged pages", damaged, nullptr},
      {"another table", ReadWholeFile(dir / "other.tbl"), nullptr},
      {"foreign database", "", "PRAGMA application_id = 0"},
      {"newer format", "", "PRAGMA user_version = 2"},
      {"renamed table", "", "UPDATE kestrelo_table SET value = 'x' WHERE key = 'name'"},
      {"other field size", "", "UPDATE kestrelo_fields SET size = 30 WHERE name = 's'"},
      {"missing field", "", "DELETE FROM kestrelo_fields WHERE name = 'x'"},
      {"missing rows", "", "DROP TABLE kestrelo_rows"},
      {"text too long", "", "UPDATE kestrelo_rows SET f2 = '张三张三张三'"},
      {"text in a number", "", "UPDATE kestrelo_rows SET f1 = 'abc'"},
      {"binary value", "", "UPDATE kestrelo_rows SET f2 = x'00ff'"},
      {"duplicate unique key", "", "UPDATE kestrelo_rows SET f1 = 3"},
      {"row without number", "", "UPDATE kestrelo_rows SET f0 = NULL"},
  };
  for (const Case& c : cases) {
    const std::filesystem::path file = dir / "case.tbl";
    std::filesystem::remove(file);
    if (c.tamper) {
      std::filesystem::copy_file(good, file);
      Exec(file, c.tamper);
    } else {
      std::ofstream(file, std::ios::binary) << c.bytes;
    }
    DataTable target = Sample();
    Add(target, Value::Integer(1), Value::Text("keep"), Value::Float(2));
    try {
      LoadTableFile(target, file);
      ADD_FAILURE() << c.name << ": loaded";
    } catch (const FileError& e) {
      EXPECT_EQ(e.path(), file.string()) << c.name;
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << c.name;
    }
    ASSERT_EQ(target.RecordCount(), 1) << c.name;
    EXPECT_EQ(target.AsString("s"), "keep") << c.name;
  }

  DataTable target = Sample();
  EXPECT_THROW(LoadTableFile(target, dir / "missing.tbl"), FileError);
}

TEST(TableFile, TellsWhichTableAFileHolds) {
  TempFolder dir;
  SaveTableFile(Sample("NameLstCD"), dir / "roster");
  DataTable target = Sample("AnswerCD");
  try {
    LoadTableFile(target, dir / "roster");
    FAIL() << "loaded";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("'NameLstCD', not the table 'AnswerCD'"),
              std::string::npos)
        << e.what();
  }
}

TEST(TableFile, SavingReplacesTheWholeFileAndLeavesNoTemporaries) {
  TempFolder dir;
  SaveTableFile(Filled(), dir / "t.tbl");
  SaveTableFile(Sample(), dir / "t.tbl");
  DataTable loaded = Sample();
  LoadTableFile(loaded, dir / "t.tbl");
  EXPECT_EQ(loaded.RecordCount(), 0);
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);
  EXPECT_THROW(SaveTableFile(Sample(), dir / "no-such-folder" / "t.tbl"), FileError);
}

TEST(TableFile, FailedSaveKeepsTheOldFile) {
  TempFolder dir;
  const std::filesystem::path file = dir / "t.tbl";
  SaveTableFile(Filled(), file);
  const std::string before = ReadWholeFile(file);
  DataTable big = Sample();
  for (int i = 0; i < 2000; ++i)
    Add(big, Value::Integer(i), Value::Text("12345678"), Value::Float(i));

  // The file system refuses anything longer than the old file.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = before.size();
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    SaveTableFile(big, file);
  } catch (const FileError&) {
    threw = true;
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(threw);
  EXPECT_EQ(ReadWholeFile(file), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
}  // namespace kestrelo
