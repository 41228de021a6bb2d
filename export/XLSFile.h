#pragma once
// A minimal spreadsheet file in the early worksheet record format: records of
// 16-bit type, 16-bit payload length and payload, little-endian throughout.
// Only the records below are written: no fonts, formats or workbook structure.
//
// The writer collects the records in memory and Close() puts them into the
// file atomically, replacing the whole file. A writer dropped without Close()
// (an export that failed half way) leaves any earlier file untouched.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/DataTable.h"

namespace kestrelo {

inline constexpr std::uint16_t kXlsBof = 0x0809;
inline constexpr std::uint16_t kXlsCodePage = 0x0042;
inline constexpr std::uint16_t kXlsDimensions = 0x0000;
inline constexpr std::uint16_t kXlsInteger = 0x0002;
inline constexpr std::uint16_t kXlsNumber = 0x0003;
inline constexpr std::uint16_t kXlsLabel = 0x0004;
inline constexpr std::uint16_t kXlsEof = 0x000A;

// Texts are stored in GBK; readers learn that from the code-page record.
inline constexpr std::uint16_t kGbkCodePage = 936;

// The length of a text cell is one byte.
inline constexpr std::size_t kXlsMaxLabelBytes = 255;

class TXLSWriter {
 public:
  explicit TXLSWriter(std::filesystem::path fileName);

  std::uint16_t MaxCols = 100;
  std::uint16_t MaxRows = 65535;

  void WriteBOF();
  // Code page 936, right after the beginning of file: without it a reader
  // outside a Chinese locale takes the labels for code page 1252.
  void WriteCodePage();
  void WriteDimensions();
  // Keeps the low 16 bits of the value.
  void WriteInteger(std::uint16_t row, std::uint16_t col, std::int64_t value);
  void WriteNumber(std::uint16_t row, std::uint16_t col, double value);
  // UTF-8 text, stored as GBK; beyond 255 bytes it is cut before the first
  // character that does not fit whole.
  void WriteLabel(std::uint16_t row, std::uint16_t col, std::string_view text);
  // The cell record chosen by the field's type: texts as text cells, whole
  // numbers as integer cells (number cells when outside 0..65535, which an
  // integer cell cannot hold), reals as number cells.
  void WriteCell(std::uint16_t row, std::uint16_t col, FieldType type, const Value& value);
  void WriteEOF();

  // The records written so far.
  const std::string& Bytes() const { return bytes_; }
  // Writes the records to the file, replacing it whole; throws FileError.
  void Close();

 private:
  void Record(std::uint16_t type, std::string_view payload);

  std::filesystem::path fileName_;
  std::string bytes_;
};

// Writes the whole table in its current order: the column names in row 0,
// then one row per table row, at most MaxRows of them. The table's cursor
// does not move.
void ExportDataSet(const DataTable& table, const std::filesystem::path& fileName);

// The same file's bytes, without writing it.
std::string DataSetBytes(const DataTable& table);

}  // namespace kestrelo
