#include "analysis/PaperRectDevide.h"

#include <algorithm>

#include "analysis/AnalysisError.h"

namespace kestrelo {

void PickFrameLines(std::vector<int>& runs, int count, int divisor, TsortList& out) {
  const int length = static_cast<int>(runs.size());
  const int window = length / divisor;
  for (int n = 0; n < count; ++n) {
    // The last of equal peaks wins; with nothing left every value is 0 and
    // the peak is the last index.
    int best = -10000;
    int m = -10000;
    for (int i = 0; i < length; ++i) {
      if (runs[static_cast<std::size_t>(i)] >= best) {
        best = runs[static_cast<std::size_t>(i)];
        m = i;
      }
    }
    if (m < 0) m = 0;
    for (int i = std::max(0, m - window); i < std::min(length, m + window); ++i) {
      runs[static_cast<std::size_t>(i)] = 0;
    }
    out.AddItem().Value = m;
  }
}

void TPaperRectDevide::Devide() {
  if (Bmp == nullptr || Bmp->Width <= 0 || Bmp->Height <= 0) {
    throw AnalysisError("the division has no sheet picture");
  }
  if (PaperCfg == nullptr) throw AnalysisError("the division has no card template");
  const CardTemplate& cfg = *PaperCfg;
  LinesThreadCount = cfg.LinesThreadCount;
  ColumsThreadCount = cfg.ColumsThreadCount;
  LineCount = cfg.LineCount;
  ColumCount = cfg.ColumCount;
  // A loaded template has these positive; a default-made one does not.
  if (LineCount <= 0 || ColumCount <= 0 || LinesThreadCount <= 0 || ColumsThreadCount <= 0) {
    throw AnalysisError("the card template has no grid");
  }

  std::vector<int> columnRuns;
  std::vector<int> rowRuns;
  Bmp->MaxRuns(columnRuns, rowRuns, kBlack);

  LineList.Clear();
  ColumList.Clear();
  PickFrameLines(rowRuns, LinesThreadCount, LineCount, LineList);
  LineList.SortAscending();
  PickFrameLines(columnRuns, ColumsThreadCount, ColumCount, ColumList);
  ColumList.SortAscending();

  GridRect = TRect{ColumList[0], LineList[0], ColumList.Last(), LineList.Last()};

  // The profiles above were taken before clearing, so cleared areas still
  // help to find the frame lines.
  for (const TemplateClearRect& c : cfg.ClearRects) {
    Bmp->ReplaceBlack(
        TRect{ColumList[c.Left], LineList[c.Top], ColumList[c.Right], LineList[c.Bottom]});
  }

  PaperRects.clear();
  for (const TemplatePaperRect& t : cfg.PaperRects) {
    TPaperRect r;
    r.Left = ColumList[t.Left];
    r.Right = ColumList[t.Right];
    r.Top = LineList[t.Top];
    r.Bottom = LineList[t.Bottom];
    r.LineCount = t.LineCount;
    r.ColumCount = t.ColumCount;
    r.FirstCellLine = t.FirstCellLine;
    r.FirstCellColum = t.FirstCellColum;
    PaperRects.push_back(r);
  }
}

}  // namespace kestrelo
