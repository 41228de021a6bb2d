#pragma once
// Result texts of the sheet analysis and the error that turns a sheet the
// analysis cannot handle into one of them instead of a stop of reading.
#include "common/Error.h"

namespace kestrelo {

inline constexpr const char* kAnalysisSuccess = "Success";
inline constexpr const char* kAnalysisFailed = "分析失败";
inline constexpr const char* kAnalysisUnclear = "分析失败，可能标记不清晰，请调节浓度";

// A sheet that cannot be analysed against its template (an index outside the
// lines found, a grid that cannot be divided). Reported as kAnalysisFailed.
class AnalysisError : public Error {
 public:
  using Error::Error;
};

}  // namespace kestrelo
