// kestrelo-export: writes the exports of a saved results table (the record
// spreadsheet, the record document and the statistics report) the way the
// export commands do, with file names from the command line.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "common/Error.h"
#include "common/Prompt.h"
#include "common/TableFile.h"
#include "export/RecordExport.h"
#include "export/StatisticsReport.h"
#include "grading/ResultRecords.h"
#include "setup/AnswerKey.h"
#include "setup/ExamTables.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrelo-export RESULTS KEY.score [--xls FILE] [--doc FILE [--all-questions]]\n"
    "                       [--stats FILE]\n"
    "RESULTS is a saved results table, KEY.score the answer key it was graded with\n"
    "(KEY.score.x beside it holds the type ranges).\n"
    "Exit status: 0 written, 1 no results to export, 2 bad input or a write failed.\n";

struct Options {
  std::filesystem::path results;
  std::filesystem::path key;
  std::filesystem::path xls;
  std::filesystem::path doc;
  std::filesystem::path stats;
  bool allQuestions = false;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options o;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--xls" && i + 1 < argc) {
      o.xls = argv[++i];
    } else if (a == "--doc" && i + 1 < argc) {
      o.doc = argv[++i];
    } else if (a == "--stats" && i + 1 < argc) {
      o.stats = argv[++i];
    } else if (a == "--all-questions") {
      o.allQuestions = true;
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      std::exit(0);
    } else if (!a.starts_with("-") && positional < 2) {
      (positional++ == 0 ? o.results : o.key) = std::filesystem::path(a);
    } else {
      std::cerr << "kestrelo-export: unexpected argument '" << a << "'\n" << kUsage;
      return std::nullopt;
    }
  }
  if (positional < 2) {
    std::cerr << kUsage;
    return std::nullopt;
  }
  if (o.allQuestions && o.doc.empty()) {
    std::cerr << "kestrelo-export: --all-questions goes with --doc\n";
    return std::nullopt;
  }
  return o;
}

// Messages go to the error stream; questions take their default answer.
class ConsolePrompt : public kestrelo::Prompt {
 public:
  kestrelo::PromptAnswer Ask(const kestrelo::PromptRequest& request) override {
    std::cerr << "kestrelo-export: " << request.Text << "\n";
    return request.Default;
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrelo;
  const std::optional<Options> opt = Parse(argc, argv);
  if (!opt) return 2;

  ConsolePrompt prompt;
  try {
    DataTable answerCD = ReadTableFile(opt->key, MakeAnswerTable());
    std::filesystem::path rangesFile = opt->key;
    rangesFile += ".x";
    const DataTable ranges = ReadTableFile(rangesFile, MakeTypeRangeTable());
    const CompiledKey key = CompileKey(answerCD, prompt);

    DataTable dsDB = MakeResultsTable();
    BuildResultsTable(dsDB, TypeRangeNames(ranges), answerCD.RecordCount(), prompt);
    dsDB = ReadTableFile(opt->results, dsDB);

    if (!HasResults(dsDB, prompt)) return 1;
    if (!opt->xls.empty()) ExportResultsXls(dsDB, opt->xls, prompt);
    if (!opt->doc.empty()) ExportResultsDoc(dsDB, opt->doc, opt->allQuestions, prompt);
    if (!opt->stats.empty()) {
      ExportStatistics(dsDB, key.KeyTypeRuns, answerCD.RecordCount(), opt->stats, prompt);
    }
  } catch (const Error& e) {
    std::cerr << "kestrelo-export: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
