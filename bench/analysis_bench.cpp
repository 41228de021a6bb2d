// Division plus grid layout of one sheet at camera scale: a card about 600
// pixels wide in an 800-pixel frame, black and white as the read thread gets
// it: a drawn lattice of boxes, and the real 45-question card when the build
// has laid out the card set in the program folder.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

#include "analysis/CardTemplate.h"
#include "analysis/PaperRectDevide.h"
#include "analysis/RectAnalyse.h"
#include "analysis/SheetLayout.h"
#include "imaging/BmpFile.h"
#include "imaging/FramePrep.h"
#include "imaging/IntBmp.h"
#include "settings/Cfg.h"
#include "tests/analysis/SyntheticCard.h"

namespace {

using namespace kestrelo;

struct Sheet {
  CardTemplate Template;
  Picture Bw;
};

Sheet DrawnSheet() {
  test::CardPlan plan;
  plan.Rows = 20;
  plan.Cols = 24;
  plan.PitchX = 23;
  plan.PitchY = 18;
  plan.BoxW = 17;
  plan.BoxH = 11;
  plan.Margin = 110;
  plan.Filled = {{0, 0}, {5, 7}, {12, 3}, {19, 23}};
  test::Card card = test::DrawCard(plan);
  return Sheet{CardTemplate::FromText(test::CardTemplateText(plan), "drawn 20x24"),
               std::move(card.Sheet)};
}

// The card picture shrunk by area averaging to `width` pixels, on a white
// margin of 100 pixels, binarised like a camera frame.
Picture CameraScale(const Picture& card, int width) {
  const double f = static_cast<double>(card.Width()) / width;
  const int height = static_cast<int>(card.Height() / f);
  Picture out(width + 200, height + 200);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int x0 = static_cast<int>(x * f);
      const int x1 = std::max(x0 + 1, static_cast<int>((x + 1) * f));
      const int y0 = static_cast<int>(y * f);
      const int y1 = std::max(y0 + 1, static_cast<int>((y + 1) * f));
      long sum = 0;
      int n = 0;
      for (int yy = y0; yy < y1 && yy < card.Height(); ++yy) {
        for (int xx = x0; xx < x1 && xx < card.Width(); ++xx) {
          const std::uint8_t* p = card.Pixel(xx, yy);
          sum += (77 * p[2] + 151 * p[1] + 28 * p[0]) >> 8;
          ++n;
        }
      }
      const auto g = static_cast<std::uint8_t>(n == 0 ? 255 : sum / n);
      std::uint8_t* q = out.Pixel(x + 100, y + 100);
      q[0] = q[1] = q[2] = g;
    }
  }
  TIntBmp bmp;
  bmp.LoadBitmap(out);
  bmp.BinariseBlocks(12, DarknessFactor(30));
  return out;
}

const std::filesystem::path kCardDir =
    std::filesystem::path(KESTRELO_PROGRAM_DIR) / "PaperTemplate";
const std::string kCard = "A类-标准45题卡(荐)";

bool RealCardBuilt() {
  return std::filesystem::exists(kCardDir / (kCard + ".Config")) &&
         std::filesystem::exists(kCardDir / (kCard + ".PaperCard"));
}

const Sheet* RealSheet() {
  static const Sheet sheet{CardTemplate::Load(kCardDir / (kCard + ".Config")),
                           CameraScale(ReadBmp(kCardDir / (kCard + ".PaperCard")), 600)};
  return &sheet;
}

const Sheet* Drawn() {
  static const Sheet sheet = DrawnSheet();
  return &sheet;
}

void Label(benchmark::State& state, const Sheet& sheet) {
  state.SetLabel(sheet.Template.Name() + " " + std::to_string(sheet.Bw.Width()) + "x" +
                 std::to_string(sheet.Bw.Height()));
}

// Division and layout step on a picture already loaded, as the read thread
// runs them after loading the sheet.
void DivisionAndLayout(benchmark::State& state, const Sheet* sheet) {
  Tcfg cfg;
  Picture work = sheet->Bw.Clone();
  TIntBmp bmp;
  bmp.LoadBitmap(work);
  TIntDynaArrArr greyStart(static_cast<std::size_t>(work.Height()),
                           TIntDynaArr(static_cast<std::size_t>(work.Width()), 255));
  TIntDynaArrArr grey = greyStart;
  const std::size_t bytes = sheet->Bw.Stride() * static_cast<std::size_t>(sheet->Bw.Height());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.Data(), sheet->Bw.Data(), bytes);
    for (std::size_t y = 0; y < grey.size(); ++y) grey[y] = greyStart[y];
    state.ResumeTiming();
    TPaperRectDevide division;
    division.Bmp = &bmp;
    division.SetPaperConfig(sheet->Template);
    division.Devide();
    TRectAnalyse analyse(division.GridRect, division.LineCount, division.ColumCount, cfg);
    analyse.PaperDevide = &division;
    analyse.Bmp = &bmp;
    analyse.GreyPlane = &grey;
    std::string error;
    analyse.AnalyseLayout(error);
    if (!error.empty()) {
      state.SkipWithError((error + ": " + analyse.FailReason).c_str());
      break;
    }
    benchmark::DoNotOptimize(analyse.Cells.data());
  }
  Label(state, *sheet);
}

// The whole call from a black-and-white picture, including loading it and
// building its grey plane (the point buffers of a fresh load dominate).
void WholeCall(benchmark::State& state, const Sheet* sheet) {
  Tcfg cfg;
  Picture work = sheet->Bw.Clone();
  const std::size_t bytes = sheet->Bw.Stride() * static_cast<std::size_t>(sheet->Bw.Height());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.Data(), sheet->Bw.Data(), bytes);
    state.ResumeTiming();
    const SheetLayout layout = LayOutSheet(sheet->Template, work, cfg);
    if (!layout.Ok()) {
      state.SkipWithError((layout.Status + ": " + layout.Reason).c_str());
      break;
    }
    benchmark::DoNotOptimize(layout.Cells.data());
  }
  Label(state, *sheet);
}

void Register() {
  const std::pair<const char*, const Sheet* (*)()> sheets[] = {{"drawn", &Drawn},
                                                               {"card45", &RealSheet}};
  for (const auto& [name, get] : sheets) {
    if (get == &RealSheet && !RealCardBuilt()) continue;
    benchmark::RegisterBenchmark((std::string("BM_DivisionAndLayout/") + name).c_str(),
                                 [get](benchmark::State& s) { DivisionAndLayout(s, get()); })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(9)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark((std::string("BM_LayOutSheet/") + name).c_str(),
                                 [get](benchmark::State& s) { WholeCall(s, get()); })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(9)
        ->ReportAggregatesOnly(true);
  }
}
const int registered = (Register(), 0);

}  // namespace
