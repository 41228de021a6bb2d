#pragma once
// One call from a black-and-white sheet picture to its grid cells: division
// and layout step together, for the card tests, the tools and the benchmark.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/CardTemplate.h"
#include "analysis/RectAnalyse.h"
#include "imaging/Picture.h"
#include "settings/Cfg.h"

namespace kestrelo {

struct SheetLayoutOptions {
  // Sheet corners (top-left, top-right, bottom-left, bottom-right) whose
  // sides are erased like frame lines; the picture's corners when unset.
  std::optional<std::array<TPoint, 4>> Corners;
  int SheetNo = 0;
  std::filesystem::path DebugFolder = DefaultDebugFolder();
};

struct SheetLayout {
  // kAnalysisSuccess, kAnalysisUnclear or kAnalysisFailed.
  std::string Status;
  // Why it failed, in words for a developer (empty on success).
  std::string Reason;
  TRect GridRect;
  std::vector<int> HorizontalLines;  // frame lines found, ascending y
  std::vector<int> VerticalLines;    // ascending x
  std::vector<TPaperRect> PaperRects;
  // Cells[row][col], in picture coordinates; empty unless Status is success.
  std::vector<std::vector<TCellInfo>> Cells;

  bool Ok() const { return Status == kAnalysisSuccess; }
  // The cell of a template block's k-th cell: Cells[ref.Line][ref.Colum].
  const TCellInfo& Cell(GridCellRef ref) const { return Cells.at(ref.Line).at(ref.Colum); }
};

// Divides `sheet` (black-and-white: pure black ink on white, as binarised)
// by `tmpl` and lays out its grid. The picture is changed as the analysis
// changes it (cleared areas and erased lines become near-black). Never
// throws for a sheet the analysis cannot read: that is a Status other than
// success with its Reason.
SheetLayout LayOutSheet(const CardTemplate& tmpl, Picture& sheet, const Tcfg& cfg,
                        const SheetLayoutOptions& options = {});

}  // namespace kestrelo
