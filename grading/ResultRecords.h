#pragma once
// The results table: its fields, which reading appends a row and which
// replaces one, and writing a sheet's cells into it.
//
// Rows are found by their "序号", never by position, so a table that an
// export has sorted by "考号" still takes each later reading into the
// examinee's own row, and new rows still go to the end of insertion order.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/DataTable.h"
#include "common/Prompt.h"
#include "grading/RecArray.h"
#include "setup/AnswerKey.h"
#include "setup/Roster.h"

namespace kestrelo {

// Fixed fields before the type fields.
inline constexpr int kResultHeadFields = 5;

// The results table with only its fixed fields, open and empty.
DataTable MakeResultsTable();

// Recreates the table empty: the fixed fields, one field per type name (a
// repeated name is reported and left out) and one per question "1".."N".
void BuildResultsTable(DataTable& dsDB, const std::vector<std::string>& types, int questionCount,
                       Prompt& prompt);

// True when the table has one type field per run of the key, named as the
// runs in order, and one field per question: the sheet's cells then land in
// the fields they belong to.
bool ResultsTableMatchesKey(const DataTable& dsDB, const CompiledKey& key);

// Cells for a sheet recorded into this table: one per field after "序号".
TRecArray MakeCells(const DataTable& dsDB);

// What reading keeps between sheets. Row values are "序号" values.
struct RecordingState {
  NameValueList RosterNames;  // number=name
  NameValueList RosterRows;   // number=row, -1 = not recorded yet
  std::string LastWrittenRow;
};

// The row a reading of this examinee number replaces, or -1 to append. An
// append enters the new row's number into RosterRows and LastWrittenRow.
int DecideTargetRow(RecordingState& state, const DataTable& dsDB,
                    const std::string& examineeNumber);

struct WriteResultInput {
  std::string Detail;
  int TargetRow = -1;
  std::string ExamineeNumber;
  const TRecArray* Cells = nullptr;
};

// Hooks into the main window, both optional.
struct WriteResultHooks {
  std::function<void(const std::string& detail)> ShowDetail;
  // Holds frame grabbing while the duplicate question is open.
  std::function<void(bool hold)> HoldFrames;
};

enum class WriteAnswer { Written = 6, Declined = 7 };

// Appends or replaces the row; with warnDuplicate, asks before replacing a
// row other than the last one written.
WriteAnswer WriteResult(DataTable& dsDB, RecordingState& state, const WriteResultInput& input,
                        bool warnDuplicate, Prompt& prompt, const WriteResultHooks& hooks = {});

}  // namespace kestrelo
