#include "analysis/ReadSheet.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "analysis/PaperRectDevide.h"
#include "common/Rounding.h"
#include "imaging/FramePrep.h"
#include "imaging/PictureOps.h"

namespace kestrelo {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool GreyMatches(const TIntDynaArrArr& grey, const Picture& picture) {
  return static_cast<int>(grey.size()) == picture.Height() &&
         std::all_of(grey.begin(), grey.end(), [&](const TIntDynaArr& row) {
           return static_cast<int>(row.size()) == picture.Width();
         });
}

TRect ClipTo(const TRect& r, const TRect& bounds) {
  return TRect{std::max(r.Left, bounds.Left), std::max(r.Top, bounds.Top),
               std::min(r.Right, bounds.Right), std::min(r.Bottom, bounds.Bottom)};
}

}  // namespace

TPoint DeskewedPoint(TPoint p, int frameWidth, int frameHeight, int skew) {
  // The turn shows source pixel (cx + dx·c − dy·s, cy + dx·s + dy·c) at
  // (cx + dx, cy + dy); this is its inverse.
  const int cx = frameWidth / 2;
  const int cy = frameHeight / 2;
  const double a = skew * 0.017453292519943295;
  const double s = std::sin(a);
  const double c = std::cos(a);
  const double ux = p.X - cx;
  const double uy = p.Y - cy;
  return TPoint{RoundEven(ux * c + uy * s) + cx, RoundEven(-ux * s + uy * c) + cy};
}

ReadSheetResult ReadSheet(ReadHandOff handOff, const std::vector<TAnswer>& key, const Tcfg& cfg,
                          const ReadSheetOptions& options) {
  ReadSheetResult out;
  out.Status = kAnalysisFailed;
  out.Template = CardTemplate::FromText(handOff.TemplateText, "template");

  Picture& frame = handOff.Frame;
  if (frame.Empty()) {
    out.Reason = "the handed-over frame is empty";
    return out;
  }
  if (!GreyMatches(handOff.Grey, frame)) {
    out.Reason = "the grey plane does not match the handed-over frame";
    out.Sheet = std::move(frame);
    return out;
  }

  std::array<TPoint, 4> corners{handOff.TopLeft, handOff.TopRight, handOff.BottomLeft,
                                handOff.BottomRight};
  TRect marker = handOff.Bounds;
  TIntDynaArrArr grey;
  if (handOff.Skew != 0 && cfg.FAutoDeskew()) {
    // The frame watch hands over only sheets it measured within this.
    if (std::abs(handOff.Skew) > kMaxSkew) {
      out.Reason = "the skew " + std::to_string(handOff.Skew) + " was not measured";
      out.Sheet = std::move(frame);
      return out;
    }
    RotateAboutCentre(frame, out.Sheet, handOff.Grey, grey, handOff.Skew);
    // The corners are used on the straightened sheet (its sides are erased,
    // the shown part is widened to them), so they go where the turn put them.
    // The marks' bounding box of the tilted frame has no such counterpart:
    // turned, it would take in a margin that grows with the skew; the
    // corners alone bound the straightened sheet.
    const int w = frame.Width();
    const int h = frame.Height();
    for (TPoint& p : corners) p = DeskewedPoint(p, w, h, handOff.Skew);
    marker = TRect{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
    for (const TPoint& p : corners) {
      marker = TRect{std::min(marker.Left, p.X), std::min(marker.Top, p.Y),
                     std::max(marker.Right, p.X), std::max(marker.Bottom, p.Y)};
    }
    frame = Picture();
  } else {
    out.Sheet = std::move(frame);
    grey = std::move(handOff.Grey);
  }

  TIntBmp bmp;
  bmp.LoadBitmap(out.Sheet);
  try {
    TPaperRectDevide division;
    division.Bmp = &bmp;
    division.SetPaperConfig(out.Template);
    division.Devide();

    const TRect& g = division.GridRect;
    const TPoint& tl = corners[0];
    const TPoint& tr = corners[1];
    const TPoint& bl = corners[2];
    const TPoint& br = corners[3];
    out.SheetRect = ClipTo(TRect{std::min({tl.X, bl.X, g.Left, marker.Left}),
                                 std::min({tl.Y, tr.Y, g.Top, marker.Top}),
                                 std::max({tr.X, br.X, g.Right, marker.Right}),
                                 std::max({bl.Y, br.Y, g.Bottom, marker.Bottom})},
                           bmp.BoundsRect);

    // The analysis works on the grid between the frame lines; the widened
    // rectangle only tells what to show.
    TRectAnalyse analyse(division.GridRect, division.LineCount, division.ColumCount, cfg);
    analyse.PaperDevide = &division;
    analyse.Bmp = &bmp;
    analyse.GreyPlane = &grey;
    analyse.JudgeValue = options.JudgeValue;
    analyse.SheetNo = handOff.Sequence;
    analyse.DebugFolder = options.DebugFolder;
    for (int i = 0; i < 4; ++i) analyse.Corners[i] = corners[static_cast<std::size_t>(i)];
    analyse.AnswerKey = &key;
    analyse.EnableVerify = options.EnableVerify;
    analyse.DebugCellRect = options.DebugCellRect;

    std::string status;
    std::string examNo;
    analyse.Analyse(out.AnswerLines, examNo, status);
    out.Status = std::string(TrimBlanks(status));
    out.VerifyText = analyse.VerifyText;
    out.LightestMarked = analyse.LightestMarked;
    out.DarkestUnmarked = analyse.DarkestUnmarked;
    out.RowDebugPicture = std::move(analyse.ErrPicture);
    out.ColumDebugPicture = std::move(analyse.WrrPicture);
    if (out.Ok()) {
      out.ExamNo = std::string(TrimBlanks(examNo));
      out.Cells = std::move(analyse.Cells);
    } else {
      out.Reason = analyse.FailReason;
    }
  } catch (const AnalysisError& e) {
    // The division and the cell addressing fail only on sheets whose lines
    // could not be found as the template wants them.
    out.Status = kAnalysisFailed;
    out.Reason = e.what();
    out.AnswerLines.clear();
  }
  return out;
}

std::string_view AnswerValue(std::string_view line) {
  const std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? line : line.substr(eq + 1);
}

std::vector<std::string> AnswerValues(const std::vector<std::string>& lines) {
  std::vector<std::string> values;
  values.reserve(lines.size());
  for (const std::string& line : lines) values.emplace_back(AnswerValue(line));
  return values;
}

void OutlineMultiGroups(Picture& sheet, const CardTemplate& tmpl,
                        const std::vector<std::vector<TCellInfo>>& cells,
                        const std::vector<TAnswer>& key) {
  const auto cellRect = [&](GridCellRef ref) -> std::optional<TRect> {
    if (ref.Line < 0 || ref.Line >= static_cast<int>(cells.size())) return std::nullopt;
    const auto& row = cells[static_cast<std::size_t>(ref.Line)];
    if (ref.Colum < 0 || ref.Colum >= static_cast<int>(row.size())) return std::nullopt;
    return row[static_cast<std::size_t>(ref.Colum)].Rect;
  };
  // From the first cell's top-left to the last cell's bottom-right, along
  // the block's own direction.
  const auto questionRect = [&](std::size_t i) -> std::optional<TRect> {
    const std::vector<GridCellRef> refs = tmpl.BlockCells(tmpl.Questions[i]);
    if (refs.empty()) return std::nullopt;
    const std::optional<TRect> first = cellRect(refs.front());
    const std::optional<TRect> last = cellRect(refs.back());
    if (!first || !last) return std::nullopt;
    return TRect{first->Left, first->Top, last->Right, last->Bottom};
  };

  TIntBmp bmp;
  bmp.LoadBitmap(sheet);
  const TColorTriple blue = ColorToTriple(clBlue);
  const auto draw = [&](const std::optional<TRect>& start, const std::optional<TRect>& end) {
    if (start && end)
      bmp.PaintBorder(TRect{start->Left, start->Top, end->Right, end->Bottom}, 3, true, blue);
  };

  const std::size_t n = tmpl.Questions.size();
  const int perLine = std::max(1, tmpl.LineQuestionCount);
  bool open = false;
  std::optional<TRect> frame;
  for (std::size_t i = 0; i < n; ++i) {
    const bool multi = i < key.size() && key[i].IsMulti;
    if (!open && multi) {
      open = true;
      frame = questionRect(i);
    }
    if (open && multi && (static_cast<int>(i) + 1) % perLine == 0) {
      open = false;
      draw(frame, questionRect(i));
    }
    if (open && !multi) {
      open = false;
      draw(frame, questionRect(i - 1));
    }
    if (open && i + 1 == n) {
      open = false;
      draw(frame, questionRect(i));
    }
  }
}

}  // namespace kestrelo
