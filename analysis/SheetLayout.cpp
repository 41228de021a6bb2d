#include "analysis/SheetLayout.h"

#include "analysis/AnalysisError.h"
#include "analysis/PaperRectDevide.h"

namespace kestrelo {

SheetLayout LayOutSheet(const CardTemplate& tmpl, Picture& sheet, const Tcfg& cfg,
                        const SheetLayoutOptions& options) {
  SheetLayout out;
  out.Status = kAnalysisFailed;
  if (sheet.Empty()) {
    out.Reason = "the sheet picture is empty";
    return out;
  }
  TIntBmp bmp;
  bmp.LoadBitmap(sheet);
  // The grey level of a black-and-white picture is its first byte.
  TIntDynaArrArr grey(static_cast<std::size_t>(sheet.Height()));
  for (int y = 0; y < sheet.Height(); ++y) {
    const std::uint8_t* p = sheet.Row(y);
    TIntDynaArr& row = grey[static_cast<std::size_t>(y)];
    row.resize(static_cast<std::size_t>(sheet.Width()));
    for (int x = 0; x < sheet.Width(); ++x) row[static_cast<std::size_t>(x)] = p[3 * x];
  }

  try {
    TPaperRectDevide division;
    division.Bmp = &bmp;
    division.SetPaperConfig(tmpl);
    division.Devide();
    out.GridRect = division.GridRect;
    for (int i = 0; i < division.LineList.Count(); ++i)
      out.HorizontalLines.push_back(division.LineList[i]);
    for (int i = 0; i < division.ColumList.Count(); ++i)
      out.VerticalLines.push_back(division.ColumList[i]);
    out.PaperRects = division.PaperRects;

    TRectAnalyse analyse(division.GridRect, division.LineCount, division.ColumCount, cfg);
    analyse.PaperDevide = &division;
    analyse.Bmp = &bmp;
    analyse.GreyPlane = &grey;
    analyse.SheetNo = options.SheetNo;
    analyse.DebugFolder = options.DebugFolder;
    const int r = sheet.Width() - 1;
    const int b = sheet.Height() - 1;
    const std::array<TPoint, 4> corners = options.Corners.value_or(
        std::array<TPoint, 4>{TPoint{0, 0}, TPoint{r, 0}, TPoint{0, b}, TPoint{r, b}});
    for (int i = 0; i < 4; ++i) analyse.Corners[i] = corners[static_cast<std::size_t>(i)];

    std::string errorText;
    analyse.AnalyseLayout(errorText);
    if (!errorText.empty()) {
      out.Status = errorText;
      out.Reason = analyse.FailReason;
      return out;
    }
    out.Cells = std::move(analyse.Cells);
    out.Status = kAnalysisSuccess;
  } catch (const AnalysisError& e) {
    out.Status = kAnalysisFailed;
    out.Reason = e.what();
  }
  return out;
}

}  // namespace kestrelo
