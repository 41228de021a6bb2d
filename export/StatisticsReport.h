#pragma once
// The statistics report over all results: the average score of each question
// type, how many examinees fall into each band of ten points, and the share
// of examinees who answered each question correctly. It is built row by row
// as the report table StaticDB (text columns A0, A1, ...) and written as a
// spreadsheet.
//
// The window runs the command in this order: stop reading; HasResults;
// BuildStaticDB (its errors end the command before any dialog); the save
// dialog; ExportDataSet; OfferToOpen.
#include <filesystem>
#include <vector>

#include "common/DataTable.h"
#include "common/Prompt.h"
#include "export/RecordExport.h"
#include "setup/AnswerKey.h"

namespace kestrelo {

inline constexpr SaveDialogSetup kStatisticsDialog{"成绩分析.xls", "xls", "*.xls|*.xls|*.*|*.*"};

// Columns of the report table; more only when the key has so many type runs
// that their averages would not fit.
inline constexpr int kStaticColumns = 101;

// The report of questions 1..questionCount over every row of dsDB, in its
// current order. A type column that is missing or holds no number is left
// out of that average. Throws Error when a score is empty or not a number or
// a question column is missing.
DataTable BuildStaticDB(const DataTable& dsDB, const std::vector<TTypeRec>& keyTypeRuns,
                        int questionCount);

// Builds the report and writes it. False, after telling the user, when the
// table holds no results; on an error nothing is written.
bool ExportStatistics(const DataTable& dsDB, const std::vector<TTypeRec>& keyTypeRuns,
                      int questionCount, const std::filesystem::path& file, Prompt& prompt);

}  // namespace kestrelo
