#include "export/XLSFile.h"

#include <cstring>
#include <limits>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "common/GbkText.h"

namespace kestrelo {
namespace {

void Put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

// Row, column and the three attribute bytes that start every cell record.
std::string CellHead(std::uint16_t row, std::uint16_t col) {
  std::string p;
  Put16(p, row);
  Put16(p, col);
  p.append(3, '\0');
  return p;
}

// The longest prefix of GBK bytes of at most maxBytes that ends between
// characters (a lead byte 0x81..0xFE takes the byte after it along).
std::size_t GbkCut(std::string_view gbk, std::size_t maxBytes) {
  std::size_t i = 0;
  while (i < gbk.size()) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    const std::size_t len = (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return i;
}

void FillDataSet(TXLSWriter& w, const DataTable& table) {
  const int cols = table.FieldCount();
  if (cols > std::numeric_limits<std::uint16_t>::max() - 1) {
    throw Error(table.Name() + ": " + std::to_string(cols) +
                " columns are more than a spreadsheet file holds");
  }
  if (cols > w.MaxCols) w.MaxCols = static_cast<std::uint16_t>(cols + 1);
  w.WriteBOF();
  w.WriteCodePage();
  w.WriteDimensions();
  for (int c = 0; c < cols; ++c)
    w.WriteLabel(0, static_cast<std::uint16_t>(c), table.Field(c).Name);
  const int rows = table.Active() ? table.RecordCount() : 0;
  for (int r = 1; r <= rows && r <= w.MaxRows; ++r) {
    for (int c = 0; c < cols; ++c) {
      w.WriteCell(static_cast<std::uint16_t>(r), static_cast<std::uint16_t>(c), table.Field(c).Type,
                  table.ValueAt(r, c));
    }
  }
  w.WriteEOF();
}

}  // namespace

TXLSWriter::TXLSWriter(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

void TXLSWriter::Record(std::uint16_t type, std::string_view payload) {
  Put16(bytes_, type);
  Put16(bytes_, static_cast<std::uint16_t>(payload.size()));
  bytes_.append(payload);
}

void TXLSWriter::WriteBOF() {
  std::string p;
  Put16(p, 0);
  Put16(p, 0x0010);
  Put16(p, 0);
  Record(kXlsBof, p);
}

void TXLSWriter::WriteCodePage() {
  std::string p;
  Put16(p, kGbkCodePage);
  Record(kXlsCodePage, p);
}

void TXLSWriter::WriteDimensions() {
  std::string p;
  Put16(p, 0);
  Put16(p, MaxRows);
  Put16(p, 0);
  Put16(p, MaxCols);
  Record(kXlsDimensions, p);
}

void TXLSWriter::WriteInteger(std::uint16_t row, std::uint16_t col, std::int64_t value) {
  std::string p = CellHead(row, col);
  Put16(p, static_cast<std::uint16_t>(static_cast<std::uint64_t>(value) & 0xFFFF));
  Record(kXlsInteger, p);
}

void TXLSWriter::WriteNumber(std::uint16_t row, std::uint16_t col, double value) {
  static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  std::string p = CellHead(row, col);
  for (int i = 0; i < 8; ++i) p.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  Record(kXlsNumber, p);
}

void TXLSWriter::WriteLabel(std::uint16_t row, std::uint16_t col, std::string_view text) {
  const std::string gbk = Utf8ToGbk(text);
  const std::size_t n = GbkCut(gbk, kXlsMaxLabelBytes);
  std::string p = CellHead(row, col);
  p.push_back(static_cast<char>(n));
  p.append(gbk, 0, n);
  Record(kXlsLabel, p);
}

void TXLSWriter::WriteCell(std::uint16_t row, std::uint16_t col, FieldType type,
                           const Value& value) {
  switch (type) {
    case FieldType::Integer:
    case FieldType::AutoInc: {
      const std::int64_t v = value.AsInteger();
      if (v >= 0 && v <= 0xFFFF) {
        WriteInteger(row, col, v);
      } else {
        WriteNumber(row, col, static_cast<double>(v));
      }
      return;
    }
    case FieldType::Float:
      WriteNumber(row, col, value.AsFloat());
      return;
    case FieldType::String:
      WriteLabel(row, col, value.AsString());
      return;
  }
  // A type without a cell record of its own.
  WriteLabel(row, col, "");
}

void TXLSWriter::WriteEOF() { Record(kXlsEof, {}); }

void TXLSWriter::Close() { WriteFileAtomically(fileName_, bytes_); }

void ExportDataSet(const DataTable& table, const std::filesystem::path& fileName) {
  TXLSWriter w(fileName);
  FillDataSet(w, table);
  w.Close();
}

std::string DataSetBytes(const DataTable& table) {
  TXLSWriter w{std::filesystem::path()};
  FillDataSet(w, table);
  return w.Bytes();
}

}  // namespace kestrelo
