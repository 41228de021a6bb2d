#pragma once
// Table files: one table per file, kept as an SQLite database with the
// table's name, its field and index definitions, every row in insertion order
// and the next auto-increment number. Saving writes the whole file atomically.
// Loading accepts only a table file of the expected table with the expected
// fields; anything else throws FileError and leaves the target table as it was.
#include <filesystem>

#include "common/DataTable.h"

namespace kestrelo {

void SaveTableFile(const DataTable& table, const std::filesystem::path& path);

// The table read from the file, with the definitions of `expected` (its
// indexes, active index and calculated fields) and the rows of the file.
DataTable ReadTableFile(const std::filesystem::path& path, const DataTable& expected);

// table := ReadTableFile(path, table), all or nothing.
void LoadTableFile(DataTable& table, const std::filesystem::path& path);

}  // namespace kestrelo
