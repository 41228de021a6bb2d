#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "export/XLSFile.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

struct RecordCase {
  const char* Name;
  std::function<void(TXLSWriter&)> Write;
  const char* Expected;  // hex bytes
};

TEST(XlsRecords, AreWrittenByteForByte) {
  const std::string chinese128 = [] {
    std::string s;
    for (int i = 0; i < 128; ++i) s += "考";
    return s;
  }();
  const std::string cut254 = [] {
    std::string s;
    for (int i = 0; i < 127; ++i) s += "bf bc ";
    return s.substr(0, s.size() - 1);
  }();
  const RecordCase cases[] = {
      {"beginning of file", [](TXLSWriter& w) { w.WriteBOF(); }, "09 08 06 00 00 00 10 00 00 00"},
      {"code page 936", [](TXLSWriter& w) { w.WriteCodePage(); }, "42 00 02 00 a8 03"},
      {"dimensions", [](TXLSWriter& w) { w.WriteDimensions(); },
       "00 00 08 00 00 00 ff ff 00 00 64 00"},
      {"integer 7", [](TXLSWriter& w) { w.WriteInteger(1, 2, 7); },
       "02 00 09 00 01 00 02 00 00 00 00 07 00"},
      {"integer keeps its low 16 bits", [](TXLSWriter& w) { w.WriteInteger(0, 0, 0x11170); },
       "02 00 09 00 00 00 00 00 00 00 00 70 11"},
      {"number 85.5", [](TXLSWriter& w) { w.WriteNumber(3, 1, 85.5); },
       "03 00 0f 00 03 00 01 00 00 00 00 00 00 00 00 00 60 55 40"},
      {"text of 3 bytes", [](TXLSWriter& w) { w.WriteLabel(0x102, 4, "abc"); },
       "04 00 0b 00 02 01 04 00 00 00 00 03 61 62 63"},
      {"Chinese text in GBK", [](TXLSWriter& w) { w.WriteLabel(0, 0, "考号"); },
       "04 00 0c 00 00 00 00 00 00 00 00 04 bf bc ba c5"},
      {"empty text", [](TXLSWriter& w) { w.WriteLabel(0, 0, ""); },
       "04 00 08 00 00 00 00 00 00 00 00 00"},
      {"end of file", [](TXLSWriter& w) { w.WriteEOF(); }, "0a 00 00 00"},
      {"auto-increment cell",
       [](TXLSWriter& w) { w.WriteCell(1, 0, FieldType::AutoInc, Value::Integer(7)); },
       "02 00 09 00 01 00 00 00 00 00 00 07 00"},
      {"null integer cell", [](TXLSWriter& w) { w.WriteCell(1, 0, FieldType::Integer, Value()); },
       "02 00 09 00 01 00 00 00 00 00 00 00 00"},
      // An integer cell cannot hold -1; the number cell keeps its value.
      {"integer out of range as number",
       [](TXLSWriter& w) { w.WriteCell(1, 0, FieldType::Integer, Value::Integer(-1)); },
       "03 00 0f 00 01 00 00 00 00 00 00 00 00 00 00 00 00 f0 bf"},
      {"float cell", [](TXLSWriter& w) { w.WriteCell(2, 1, FieldType::Float, Value::Float(85.5)); },
       "03 00 0f 00 02 00 01 00 00 00 00 00 00 00 00 00 60 55 40"},
      {"text cell",
       [](TXLSWriter& w) { w.WriteCell(2, 1, FieldType::String, Value::Text("0815")); },
       "04 00 0c 00 02 00 01 00 00 00 00 04 30 38 31 35"},
  };
  for (const RecordCase& c : cases) {
    TXLSWriter w{std::filesystem::path()};
    c.Write(w);
    EXPECT_EQ(Hex(w.Bytes()), c.Expected) << c.Name;
  }

  // Beyond 255 bytes a text is cut between characters: 128 two-byte
  // characters keep 127 of them, never half of the 128th.
  TXLSWriter w{std::filesystem::path()};
  w.WriteLabel(0, 0, chinese128);
  EXPECT_EQ(Hex(w.Bytes()), "04 00 06 01 00 00 00 00 00 00 00 fe " + cut254);
  TXLSWriter ascii{std::filesystem::path()};
  ascii.WriteLabel(0, 0, std::string(300, 'x'));
  EXPECT_EQ(ascii.Bytes().size(), 4u + 8u + 255u);
  EXPECT_EQ(static_cast<unsigned char>(ascii.Bytes()[11]), 255);
}

DataTable TableOfColumns(int count) {
  DataTable t("t");
  for (int c = 0; c < count; ++c) {
    FieldDef d;
    d.Name = "c" + std::to_string(c);
    d.Size = 10;
    t.AddField(std::move(d));
  }
  t.CreateDataSet();
  return t;
}

TEST(ExportDataSet, EmptyTableIsHeaderBetweenBeginningAndEnd) {
  DataTable t("t");
  FieldDef number;
  number.Name = "序号";
  number.Type = FieldType::AutoInc;
  t.AddField(number);
  FieldDef score;
  score.Name = "得分";
  score.Type = FieldType::Float;
  t.AddField(score);
  t.CreateDataSet();
  EXPECT_EQ(Hex(DataSetBytes(t)),
            "09 08 06 00 00 00 10 00 00 00 "
            "42 00 02 00 a8 03 "
            "00 00 08 00 00 00 ff ff 00 00 64 00 "
            "04 00 0c 00 00 00 00 00 00 00 00 04 d0 f2 ba c5 "
            "04 00 0c 00 00 00 01 00 00 00 00 04 b5 c3 b7 d6 "
            "0a 00 00 00");
}

TEST(ExportDataSet, RowsFollowInTheTablesOrderWithCellsByType) {
  DataTable t("t");
  FieldDef number;
  number.Name = "n";
  number.Type = FieldType::AutoInc;
  t.AddField(number);
  FieldDef text;
  text.Name = "s";
  text.Size = 10;
  t.AddField(text);
  t.CreateDataSet();
  for (const char* s : {"b", "a"}) {
    t.Append();
    t.SetString("s", s);
    t.Post();
  }
  t.SortBy("s");
  const std::string bytes = DataSetBytes(t);
  // After the header: row 1 is the second row appended ("a", number 2).
  const std::string rows = bytes.substr(10 + 6 + 12 + 2 * 13);
  EXPECT_EQ(Hex(rows),
            "02 00 09 00 01 00 00 00 00 00 00 02 00 "
            "04 00 09 00 01 00 01 00 00 00 00 01 61 "
            "02 00 09 00 02 00 00 00 00 00 00 01 00 "
            "04 00 09 00 02 00 01 00 00 00 00 01 62 "
            "0a 00 00 00");
  EXPECT_EQ(t.RecNo(), 1) << "the cursor stays where it was";
}

TEST(ExportDataSet, WideTablesWidenTheDimensions) {
  // Dimensions follow the beginning of file (10 bytes) and the code page (6).
  const auto maxCols = [](const std::string& bytes) {
    return static_cast<unsigned char>(bytes[16 + 10]) |
           (static_cast<unsigned char>(bytes[16 + 11]) << 8);
  };
  EXPECT_EQ(maxCols(DataSetBytes(TableOfColumns(100))), 100);
  EXPECT_EQ(maxCols(DataSetBytes(TableOfColumns(101))), 102);
}

TEST(ExportDataSet, ReplacesALongerFileWholeAndLeavesItOnFailure) {
  TempFolder dir;
  const auto file = dir / "out.xls";
  WriteFileAtomically(file, std::string(4096, 'z'));
  DataTable t = TableOfColumns(2);
  ExportDataSet(t, file);
  EXPECT_EQ(ReadWholeFile(file), DataSetBytes(t)) << "nothing of the older file remains";

  // A value that cannot be produced half way through the rows.
  DataTable bad("bad");
  FieldDef s;
  s.Name = "s";
  s.Size = 10;
  bad.AddField(s);
  FieldDef calc;
  calc.Name = "c";
  calc.Type = FieldType::Float;
  calc.Calculated = true;
  calc.Calc = [](const RowView& row) -> Value {
    if (row.Get("s").AsString() == "boom") throw Error("cannot compute c");
    return Value::Float(1);
  };
  bad.AddField(calc);
  bad.CreateDataSet();
  for (const char* v : {"ok", "boom"}) {
    bad.Append();
    bad.SetString("s", v);
    bad.Post();
  }
  const std::string before = ReadWholeFile(file);
  EXPECT_THROW(ExportDataSet(bad, file), Error);
  EXPECT_EQ(ReadWholeFile(file), before);
  EXPECT_THROW(ExportDataSet(t, dir / "no-such-folder" / "out.xls"), FileError);
}

}  // namespace
}  // namespace kestrelo
