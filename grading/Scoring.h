#pragma once
// Scoring one sheet: each read answer against the compiled key, its mark, the
// totals (32-bit floats, summed in question order) and the detail text.
#include <string>
#include <string_view>
#include <vector>

#include "grading/RecArray.h"
#include "setup/AnswerKey.h"

namespace kestrelo {

// The four results of a comparison.
inline constexpr const char* kResultCorrect = "正确";
inline constexpr const char* kResultMissed = "漏选";
inline constexpr const char* kResultExtra = "多选";
inline constexpr const char* kResultWrong = "错误";

// Marks written after the read letters. Only the wrong mark holds "×": the
// exports and the statistics take that sign to mean a wrong answer.
inline constexpr const char* kMarkCorrect = "(√) ";
inline constexpr const char* kMarkExtra = "(多) ";
inline constexpr const char* kMarkMissed = "(漏) ";
inline constexpr const char* kMarkWrong = "(×) ";

inline constexpr const char* kMultiAsSingleNote = "多选题 单选！";
inline constexpr const char* kSingleAsMultiNote = "单选题 多选！";

// "正确", "漏选", "多选" or "错误"; an empty text is never contained.
const char* CompareAnswer(std::string_view read, std::string_view key);

struct GradeOptions {
  bool ShowRightDetail = false;  // detail lines of correct, extra and missed results
  bool ShowWrongDetail = false;  // detail lines of wrong results
};

struct SheetGrade {
  float Total = 0;
  std::vector<TTypeRec> TypeList;  // the key's runs with this sheet's totals
  std::string Detail;              // detail lines, without the summary
  std::string MultiAsSingleNote;
  std::string SingleAsMultiNote;
};

// answers[i] holds the letters read for question i (" " when none). Writes
// the mark of question i to cell (number of runs) + 4 + i. Throws Error when
// the answers and the key differ in count.
SheetGrade GradeSheet(const std::vector<std::string>& answers, const CompiledKey& key,
                      const GradeOptions& options, TRecArray& cells);

}  // namespace kestrelo
