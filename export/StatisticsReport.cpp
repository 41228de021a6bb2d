#include "export/StatisticsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "common/DecimalText.h"
#include "common/Error.h"
#include "common/Rounding.h"
#include "export/XLSFile.h"

namespace kestrelo {
namespace {

constexpr const char* kScoreField = "得分";
constexpr const char* kWrongSign = "×";
constexpr int kBands = 10;

struct Average {
  std::string Name;
  float Sum = 0;
  float Mean = 0;
};

// Narrowed as a 32-bit float sum would be: beyond its range is infinity.
float ToSingle(double v) {
  if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string OneDecimalFromTenths(long long tenths) {
  return GeneralDecimalText(static_cast<double>(tenths) / 10.0);
}

// One decimal place, ties to even. A float times 10 is exact in a double
// (24 + 4 significant bits), so a value that is a half in tenths really rounds
// as a half; dividing by 0.1 would round 0.75 down to 0.7.
std::string OneDecimalText(float value) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e15f) return GeneralDecimalText(value);
  return OneDecimalFromTenths(std::llrint(static_cast<double>(value) * 10));
}

// count * 100 / total per cent, to one decimal place with ties to even,
// computed in whole numbers so that no tie is lost to binary fractions.
std::string PercentText(long long count, long long total) {
  const long long num = count * 1000;
  long long q = num / total;
  const long long rem2 = (num % total) * 2;
  if (rem2 > total || (rem2 == total && q % 2 != 0)) ++q;
  return OneDecimalFromTenths(q) + "%";
}

// Score bands of ten points: 0-9 is band 0, 90 and more band 9. A negative
// total (penalties) counts in band 0 rather than in no band or the top one.
int ScoreBand(double score) {
  const double s = std::nearbyint(score);
  if (s >= 90) return 9;
  if (s < 10) return 0;
  return static_cast<int>(s) / 10;
}

class Report {
 public:
  explicit Report(int columns) : table_("StaticDB") {
    for (int c = 0; c < columns; ++c) {
      FieldDef d;
      d.Name = "A" + std::to_string(c);
      d.Type = FieldType::String;
      d.Size = 100;
      table_.AddField(std::move(d));
    }
    table_.CreateDataSet();
  }

  // One row; cells given as (column, text), the rest stay empty.
  void Row(const std::vector<std::pair<int, std::string>>& cells) {
    table_.Append();
    for (const auto& [column, text] : cells) table_.Set(column, Value::Text(text));
    table_.Post();
  }

  DataTable Take() {
    table_.First();
    return std::move(table_);
  }

 private:
  DataTable table_;
};

}  // namespace

DataTable BuildStaticDB(const DataTable& dsDB, const std::vector<TTypeRec>& keyTypeRuns,
                        int questionCount) {
  const int rows = dsDB.Active() ? dsDB.RecordCount() : 0;
  if (rows == 0) throw Error("the results table holds no results");
  if (questionCount < 0) throw Error("question count " + std::to_string(questionCount));
  const int scoreField = dsDB.FieldIndex(kScoreField);
  if (scoreField < 0) throw Error("the results table has no field " + std::string(kScoreField));
  std::vector<int> questionFields(static_cast<std::size_t>(questionCount));
  for (int q = 1; q <= questionCount; ++q) {
    const int f = dsDB.FieldIndex(std::to_string(q));
    if (f < 0) {
      throw Error("the results table has no column for question " + std::to_string(q) + " of " +
                  std::to_string(questionCount));
    }
    questionFields[static_cast<std::size_t>(q - 1)] = f;
  }

  std::vector<Average> averages;
  averages.push_back({kScoreField, 0, 0});
  for (const TTypeRec& run : keyTypeRuns) averages.push_back({run.Name, 0, 0});
  for (int r = 1; r <= rows; ++r) {
    for (Average& a : averages) {
      if (TrimBlanks(a.Name).empty()) continue;
      const int f = dsDB.FieldIndex(a.Name);
      if (f < 0) continue;
      const std::optional<double> v = ParseDecimalNumber(dsDB.ValueAt(r, f).AsString());
      if (v) a.Sum = ToSingle(static_cast<double>(a.Sum) + *v);
    }
  }
  for (Average& a : averages) a.Mean = ToSingle(static_cast<double>(a.Sum) / rows);

  std::vector<long long> bands(kBands, 0);
  for (int r = 1; r <= rows; ++r) {
    const std::string text = dsDB.ValueAt(r, scoreField).AsString();
    const std::optional<double> score = ParseDecimalNumber(text);
    if (!score) {
      const int number = dsDB.FieldIndex("考号");
      throw Error("results row " + std::to_string(r) +
                  (number >= 0 ? " (考号 " + dsDB.ValueAt(r, number).AsString() + ")" : "") +
                  ": the score '" + text + "' is not a number");
    }
    ++bands[static_cast<std::size_t>(ScoreBand(*score))];
  }

  std::vector<long long> correct(static_cast<std::size_t>(questionCount), 0);
  for (int r = 1; r <= rows; ++r) {
    for (std::size_t q = 0; q < questionFields.size(); ++q) {
      if (dsDB.ValueAt(r, questionFields[q]).AsString().find(kWrongSign) == std::string::npos)
        ++correct[q];
    }
  }

  const int columns = std::max(kStaticColumns, static_cast<int>(averages.size()) + 1);
  Report report(columns);
  const std::string total = std::to_string(rows);

  report.Row({{0, "  "}});
  report.Row({{0, "************各种题型平均分************ "}});
  std::vector<std::pair<int, std::string>> labels;
  std::vector<std::pair<int, std::string>> values;
  for (std::size_t k = 0; k < averages.size(); ++k) {
    const int column = static_cast<int>(k) + 1;
    const Average& a = averages[k];
    labels.emplace_back(column,
                        a.Name == kScoreField ? std::string("全部题目均分") : a.Name + "均分");
    values.emplace_back(column, OneDecimalText(a.Mean));
  }
  report.Row(labels);
  report.Row(values);

  report.Row({{0, "  "}});
  report.Row({{0, "************分值范围************ "}});
  std::vector<std::pair<int, std::string>> bandLabels{{1, "总人数"}};
  std::vector<std::pair<int, std::string>> bandCounts{{1, total}};
  std::vector<std::pair<int, std::string>> bandRatios{{1, "比例"}};
  for (int i = 0; i < kBands; ++i) {
    const std::string d = std::to_string(i);
    const long long count = bands[static_cast<std::size_t>(i)];
    bandLabels.emplace_back(i + 2, d + "0_" + d + "9人数");
    bandCounts.emplace_back(i + 2, std::to_string(count));
    bandRatios.emplace_back(i + 2, PercentText(count, rows));
  }
  report.Row(bandLabels);
  report.Row(bandCounts);
  report.Row(bandRatios);

  report.Row({{0, "  "}});
  report.Row({{0, "************单项正确率统计************ "}});
  report.Row({{1, "题号"}, {2, "总人数"}, {3, "正确人数"}, {4, "正确比例"}});
  for (int q = 1; q <= questionCount; ++q) {
    const long long c = correct[static_cast<std::size_t>(q - 1)];
    report.Row({{1, "题" + std::to_string(q)},
                {2, total},
                {3, std::to_string(c)},
                {4, PercentText(c, rows)}});
  }
  return report.Take();
}

bool ExportStatistics(const DataTable& dsDB, const std::vector<TTypeRec>& keyTypeRuns,
                      int questionCount, const std::filesystem::path& file, Prompt& prompt) {
  if (!HasResults(dsDB, prompt)) return false;
  const DataTable report = BuildStaticDB(dsDB, keyTypeRuns, questionCount);
  ExportDataSet(report, file);
  return true;
}

}  // namespace kestrelo
