#pragma once
// The answer key: normalising answers, compiling the key table into the key
// that grading reads, resetting it to a card's question count, checking that
// a setup is complete, and the pair of key files (".score" and ".score.x").
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Prompt.h"
#include "setup/ExamTables.h"

namespace kestrelo {

// One compiled question.
struct TAnswer {
  std::int32_t Item = 0;
  std::int32_t TypeIndex = -1;  // run in KeyTypeRuns
  std::string SType;            // at most 30 GBK bytes
  float RightScore = 0;
  float SelOverScore = 0;
  float SelScareScore = 0;
  std::string Answer;  // normalised
  bool IsMulti = false;
  bool IsUnused = false;
};

// One run of consecutive questions of one type.
struct TTypeRec {
  std::int32_t Index = 0;
  std::string Name;  // at most 30 GBK bytes
  float RightScore = 0;
  float SelOverScore = 0;
  float SelScareScore = 0;
  float Total = 0;  // 0 in the key; a sheet sums into its own copy
};

struct CompiledKey {
  std::vector<TAnswer> AnswerKey;
  std::vector<TTypeRec> KeyTypeRuns;
};

// Upper-cases ASCII letters and keeps each letter A-Z once, in alphabetical
// order. Letters from F on (except the unused-question answer "X") show a
// warning; the result is returned all the same.
std::string NormalizeAnswer(std::string_view text, Prompt& prompt);

// The key table in question order, compiled. Leaves the cursor on row 1.
CompiledKey CompileKey(DataTable& answerCD, Prompt& prompt);

// Removes every type range and brings the key to n rows of type "未设置" and
// score 0; answers and partial scores of questions 1..n stay.
void ResetKey(ExamTables& exam, int n);

// A card with n questions was chosen. Asks before clearing existing type
// ranges; false when the user cancelled (questions beyond n are gone anyway).
bool SetQuestionCount(ExamTables& exam, int n, Prompt& prompt);

// Whether a card is chosen and the key is complete; with show, the problems
// are shown. A key whose type runs do not match the type ranges one to one is
// refused too: the results table is built from the ranges and grading writes
// by the runs.
bool CheckSetup(const ExamTables& exam, std::string_view templateText, bool show, Prompt& prompt);

// Names of the type ranges in table order: sType, followed by Sequence when
// it is not 0. These are the type fields of the results table.
std::vector<std::string> TypeRangeNames(const DataTable& ranges);

// True when the key's runs of equal types are exactly the type ranges, in
// order, and no two ranges share a name.
bool TypeRangesMatchKey(const DataTable& answerCD, const DataTable& ranges);

// Saves the key under a name derived from the chosen file: its part before
// the first "_" without any ".score", then "_" and the card name. Asks before
// overwriting; returns the ".score" path written, or empty when the user
// declined.
std::filesystem::path SaveKeyFiles(const ExamTables& exam, const std::filesystem::path& chosen,
                                   Prompt& prompt);

// Loads the chosen ".score" file and its ".score.x" partner. Both are read and
// checked before either table is replaced, so any failure (shown through the
// prompt) leaves the whole current key as it was. True when loaded.
bool LoadKeyFiles(ExamTables& exam, const std::filesystem::path& chosen, Prompt& prompt);

}  // namespace kestrelo
