// Reading one handed-over sheet, from the frame watch's hand-off to the
// answer lines: a photographed drawn card straight and turned (the turn adds
// the straightening), and the filled 45-question sample card when the build
// has laid out the card set in the program folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/CardTemplate.h"
#include "analysis/ReadSheet.h"
#include "imaging/BmpFile.h"
#include "settings/Cfg.h"
#include "tests/analysis/PhotographCard.h"
#include "tests/analysis/SyntheticCard.h"

namespace {

using namespace kestrelo;

struct Case {
  std::string Label;
  ReadHandOff HandOff;
  std::vector<TAnswer> Key;
};

Case DrawnCase(double angle) {
  test::CardPlan plan;
  plan.Rows = 12;
  plan.Cols = 10;
  plan.PitchX = 40;
  plan.PitchY = 28;
  plan.BoxW = 28;
  plan.BoxH = 18;
  plan.Outline = 2;
  plan.LineThick = 5;
  plan.Margin = 40;
  plan.Inset = 10;
  plan.Filled = {{0, 0}, {3, 1}, {11, 2}, {5, 3}, {1, 4}, {7, 5}, {2, 6}, {9, 7}, {4, 8}, {6, 9}};
  const test::Card card = test::DrawCard(plan);
  Tcfg cfg;
  test::Located l =
      test::Locate(test::Photograph(card.Sheet, 1.2, angle, 1),
                   CardTemplate::FromText(test::CardTemplateText(plan)).ToText(), cfg);
  return Case{"drawn 12x10, skew " + std::to_string(l.HandOff.Skew), std::move(l.HandOff),
              std::vector<TAnswer>(10)};
}

const std::filesystem::path kCardDir =
    std::filesystem::path(KESTRELO_PROGRAM_DIR) / "PaperTemplate";

std::filesystem::path U8(const std::string& s) {
  return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

bool SampleBuilt() { return std::filesystem::exists(kCardDir / U8("已填涂测试卡.PaperCard")); }

Case SampleCase() {
  const CardTemplate tmpl = CardTemplate::Load(kCardDir / U8("A类-标准45题卡(荐).Config"));
  const Picture card = ReadBmp(kCardDir / U8("已填涂测试卡.PaperCard"));
  Tcfg cfg;
  test::Located l =
      test::Locate(test::Photograph(card, 560.0 / card.Height(), 4, 1), tmpl.ToText(), cfg);
  return Case{"filled sample card, skew " + std::to_string(l.HandOff.Skew), std::move(l.HandOff),
              std::vector<TAnswer>(tmpl.Questions.size())};
}

void Read(benchmark::State& state, const Case& c) {
  Tcfg cfg;
  for (auto _ : state) {
    state.PauseTiming();
    ReadHandOff h = test::CopyHandOff(c.HandOff);
    state.ResumeTiming();
    const ReadSheetResult r = ReadSheet(std::move(h), c.Key, cfg);
    if (!r.Ok()) {
      state.SkipWithError((r.Status + ": " + r.Reason).c_str());
      break;
    }
    benchmark::DoNotOptimize(r.AnswerLines.data());
  }
  state.SetLabel(c.Label);
}

void Register() {
  std::vector<std::pair<const char*, Case (*)()>> cases{
      {"drawn_straight", [] { return DrawnCase(0); }},
      {"drawn_turned", [] { return DrawnCase(8); }}};
  if (SampleBuilt()) cases.push_back({"sample45_turned", &SampleCase});
  for (const auto& [name, make] : cases) {
    // Made when first run, so that a filter skips the photographing too.
    auto made = std::make_shared<std::unique_ptr<Case>>();
    benchmark::RegisterBenchmark((std::string("BM_ReadSheet/") + name).c_str(),
                                 [make, made](benchmark::State& s) {
                                   if (!*made) *made = std::make_unique<Case>(make());
                                   Read(s, **made);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  }
}
const int registered = (Register(), 0);

}  // namespace
