#pragma once
// The recent configuration: the last accepted setup (card, key, type ranges,
// roster) kept in the folder "Recent" so that it can be restored after a
// restart.
#include <functional>
#include <string>

#include "common/ProgramFolder.h"
#include "common/Prompt.h"
#include "setup/ExamTables.h"

namespace kestrelo {

// Writes "recent.paper", "recent.score", "recent.score.x" and "recent.名册".
void SaveRecent(const ExamTables& exam, const ProgramFolder& folder);

// Restores the card name (and asks loadTemplate to load that card), the
// question count and the three tables, each table only if its file exists.
// The tables are all read before any is replaced. Failures are shown through
// the prompt and return false; the card name has been taken by then.
bool LoadRecent(ExamTables& exam, const ProgramFolder& folder,
                const std::function<void(const std::string& cardName)>& loadTemplate,
                Prompt& prompt);

}  // namespace kestrelo
