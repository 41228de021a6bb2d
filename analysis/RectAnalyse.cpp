#include "analysis/RectAnalyse.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "analysis/AnalysisError.h"
#include "common/AtomicFile.h"
#include "common/GbkText.h"
#include "common/Rounding.h"
#include "imaging/BmpFile.h"
#include "imaging/PictureOps.h"

namespace kestrelo {

namespace {

constexpr int kRowMarker = 10000;
constexpr int kCrossingMarker = 30000;
constexpr TColorTriple kRed{0, 0, 255};
constexpr TColorTriple kBlue{255, 0, 0};

TRect ClipTo(const TRect& r, const TRect& bounds) {
  return TRect{std::max(r.Left, bounds.Left), std::max(r.Top, bounds.Top),
               std::min(r.Right, bounds.Right), std::min(r.Bottom, bounds.Bottom)};
}

int Centre(const TXianDuan& s, TLineDir dir) { return dir == TLineDir::Rows ? s.MidY : s.MidX; }

// Straight line on a picture, clipped to it.
void DrawLine(Picture& pic, TPoint a, TPoint b, TColorTriple c) {
  const int dx = std::abs(b.X - a.X);
  const int dy = -std::abs(b.Y - a.Y);
  const int sx = a.X < b.X ? 1 : -1;
  const int sy = a.Y < b.Y ? 1 : -1;
  int err = dx + dy;
  TPoint p = a;
  for (;;) {
    if (p.X >= 0 && p.X < pic.Width() && p.Y >= 0 && p.Y < pic.Height()) {
      std::uint8_t* q = pic.Pixel(p.X, p.Y);
      q[0] = c.Blue;
      q[1] = c.Green;
      q[2] = c.Red;
    }
    if (p == b) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      p.X += sx;
    }
    if (e2 <= dx) {
      err += dx;
      p.Y += sy;
    }
  }
}

// Our pictures carry no text; the diagnostic text goes beside them.
void WriteTextBeside(const std::filesystem::path& picture, const std::string& text) {
  std::filesystem::path txt = picture;
  txt.replace_extension(".txt");
  WriteFileAtomically(txt, text + "\n");
}

}  // namespace

std::filesystem::path DefaultDebugFolder() {
  std::error_code ec;
  std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  if (ec) tmp = "/tmp";
  return tmp / "Paper";
}

TRectAnalyse::TRectAnalyse(const TRect& gridRect, int lineCount, int columCount, const Tcfg& cfg)
    : GridRect(gridRect), FLinesCount(lineCount), FColumsCount(columCount), cfg_(cfg) {
  if (lineCount < 1 || columCount < 1) throw AnalysisError("the grid has no rows or columns");
  Crossings.assign(static_cast<std::size_t>(lineCount) + 1,
                   std::vector<TPoint>(static_cast<std::size_t>(columCount) + 1));
  Cells.assign(static_cast<std::size_t>(lineCount),
               std::vector<TCellInfo>(static_cast<std::size_t>(columCount)));
}

TCellInfo TRectAnalyse::GetCell(int row, int col) const {
  if (row < 0 || row >= FLinesCount || col < 0 || col >= FColumsCount) {
    throw AnalysisError("cell (" + std::to_string(row) + ", " + std::to_string(col) +
                        ") is outside the grid of " + std::to_string(FLinesCount) + " rows and " +
                        std::to_string(FColumsCount) + " columns");
  }
  return Cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void TRectAnalyse::AnalyseLayout(std::string& errorText) {
  errorText.clear();
  FailReason.clear();
  if (PaperDevide == nullptr || Bmp == nullptr || GreyPlane == nullptr ||
      PaperDevide->PaperCfg == nullptr) {
    throw AnalysisError("the layout step has no division, picture or grey plane");
  }
  if (static_cast<int>(GreyPlane->size()) != Bmp->Height ||
      std::any_of(GreyPlane->begin(), GreyPlane->end(), [&](const TIntDynaArr& row) {
        return static_cast<int>(row.size()) != Bmp->Width;
      })) {
    throw AnalysisError("the grey plane does not match the sheet picture");
  }
  const TRect bounds = Bmp->BoundsRect;
  if (GridRect.Left < 0 || GridRect.Top < 0 || GridRect.Right > bounds.Right ||
      GridRect.Bottom > bounds.Bottom) {
    throw AnalysisError("the grid rectangle is not inside the sheet picture");
  }

  TestNoAreaBlank = PaperDevide->PaperCfg->TestNoAreaBlank;
  const int gridW = GridRect.Right - GridRect.Left + 1;
  const int gridH = GridRect.Bottom - GridRect.Top + 1;
  CellWidth = gridW / FColumsCount;
  CellHeight = gridH / FLinesCount;

  const int n = std::max(1, static_cast<int>(cfg_.FDeformCorrect()));
  // Too few lines found puts several at the picture's edge: the grid then
  // cannot hold its rows and columns, let alone strips of them.
  if (gridW < FColumsCount + 1 || gridH < FLinesCount + 1 || gridW < n * n || gridH < n * n) {
    throw AnalysisError("the grid found (" + std::to_string(gridW) + " x " + std::to_string(gridH) +
                        " pixels) is too small for " + std::to_string(FLinesCount) + " rows and " +
                        std::to_string(FColumsCount) + " columns");
  }

  EraseFrameLines();

  const std::vector<TRect> hStrips = HorizontalStrips(GridRect, n);
  const std::vector<TRect> vStrips = VerticalStrips(GridRect, n);

  std::vector<std::unique_ptr<TXianDuanList>> rowLines;
  for (int i = 0; i < n; ++i) {
    TLineSearch s = FindRowLines(i, vStrips[static_cast<std::size_t>(i)]);
    if (!s.Lines) {
      errorText = kAnalysisUnclear;
      FailReason = "no row lines in vertical strip " + std::to_string(i) + ": " + s.Diag.Text;
      if (cfg_.FDebugAnalyse())
        WriteDebugPictures(i, vStrips[static_cast<std::size_t>(i)], s, true);
      return;
    }
    rowLines.push_back(std::move(s.Lines));
  }
  std::vector<std::unique_ptr<TXianDuanList>> colLines;
  for (int i = 0; i < n; ++i) {
    TLineSearch s = FindColumLines(hStrips[static_cast<std::size_t>(i)]);
    if (!s.Lines) {
      errorText = kAnalysisUnclear;
      FailReason = "no column lines in horizontal strip " + std::to_string(i) + ": " + s.Diag.Text;
      if (cfg_.FDebugAnalyse())
        WriteDebugPictures(i, hStrips[static_cast<std::size_t>(i)], s, false);
      return;
    }
    colLines.push_back(std::move(s.Lines));
  }

  TIntDynaArrArr& grey = *GreyPlane;
  for (int i = 0; i < n; ++i) {
    const TRect& v = vStrips[static_cast<std::size_t>(i)];
    for (const TXianDuan& line : rowLines[static_cast<std::size_t>(i)]->Segments()) {
      TIntDynaArr& row = grey[static_cast<std::size_t>(line.MidY)];
      for (int x = v.Left; x <= v.Right; ++x) row[static_cast<std::size_t>(x)] = kRowMarker;
    }
  }

  // Walking down column line j through the strips, the p-th row marker met
  // is row line p.
  for (int j = 0; j <= FColumsCount; ++j) {
    int p = 0;
    for (int k = 0; k < n; ++k) {
      const TRect& h = hStrips[static_cast<std::size_t>(k)];
      const int x = colLines[static_cast<std::size_t>(k)]->GetSegment(j).MidX;
      for (int y = h.Top; y <= h.Bottom; ++y) {
        int& g = grey[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
        if (g >= kRowMarker) {
          if (p <= FLinesCount) {
            Crossings[static_cast<std::size_t>(p)][static_cast<std::size_t>(j)] = TPoint{x, y};
            g = kCrossingMarker;
          }
          ++p;
        }
      }
    }
    // A crossing not met would leave a cell spanning from the picture's
    // corner: such a sheet is not read rather than read wrongly.
    if (p < FLinesCount + 1) {
      throw AnalysisError("column line " + std::to_string(j) + " meets only " + std::to_string(p) +
                          " of the " + std::to_string(FLinesCount + 1) + " row lines");
    }
  }

  BuildCells();
}

std::vector<TRect> TRectAnalyse::HorizontalStrips(const TRect& grid, int n) {
  const int h = grid.Bottom - grid.Top + 1;
  const int hS = h / n + (h % n > 0 ? 1 : 0);
  std::vector<TRect> strips;
  for (int i = 0; i < n; ++i) {
    strips.push_back(TRect{grid.Left, grid.Top + i * hS, grid.Right,
                           i == n - 1 ? grid.Bottom : grid.Top + i * hS + hS - 1});
  }
  return strips;
}

std::vector<TRect> TRectAnalyse::VerticalStrips(const TRect& grid, int n) {
  const int w = grid.Right - grid.Left + 1;
  const int wS = w / n + (w % n > 0 ? 1 : 0);
  std::vector<TRect> strips;
  for (int i = 0; i < n; ++i) {
    strips.push_back(TRect{grid.Left + i * wS, grid.Top,
                           i == n - 1 ? grid.Right : grid.Left + i * wS + wS - 1, grid.Bottom});
  }
  return strips;
}

void TRectAnalyse::EraseFrameLines() {
  TIntBmp& bmp = *Bmp;
  const int limit = 2 * (CellWidth + CellHeight);
  std::vector<TPoint> restore;
  TDotBlock block;
  const auto eraseFrom = [&](int x, int y) {
    if (!bmp.IsColor(y, x, kBlack)) return;
    bmp.FloodFill(bmp.BoundsRect, x, y, kBlack, kNearBlack, block);
    // Small ink that only touches a line (a mark, a letter) comes back.
    if (block.Width < limit && block.Height < limit) {
      for (const TFindPoint& q : block.PointSpan()) restore.push_back(TPoint{q.X, q.Y});
    }
  };

  const TPaperRectDevide& div = *PaperDevide;
  for (int k = 0; k < div.LinesThreadCount; ++k) {
    const int y = div.LineList[k];
    for (int x = GridRect.Left; x <= GridRect.Right; ++x) eraseFrom(x, y);
  }
  for (int k = 0; k < div.ColumsThreadCount; ++k) {
    const int x = div.ColumList[k];
    for (int y = GridRect.Top; y <= GridRect.Bottom; ++y) eraseFrom(x, y);
  }
  const TPoint& p0 = Corners[0];
  const TPoint& p1 = Corners[1];
  const TPoint& p2 = Corners[2];
  const TPoint& p3 = Corners[3];
  const std::pair<TPoint, TPoint> sides[] = {{p0, p2}, {p1, p3}, {p0, p1}, {p2, p3}};
  for (const auto& [a, b] : sides) {
    const TRect side = ClipTo(
        TRect{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)},
        bmp.BoundsRect);
    for (int y = side.Top; y <= side.Bottom; ++y) {
      for (int x = side.Left; x <= side.Right; ++x) eraseFrom(x, y);
    }
  }
  for (const TPoint& q : restore) bmp.SetPixel(q.Y, q.X, kBlack);
}

void TRectAnalyse::BuildCells() {
  const TIntBmp& bmp = *Bmp;
  const auto darkInColumn = [&](int x, int top, int bottom) {
    int n = 0;
    for (int y = top; y <= bottom; ++y) n += bmp.IsDark(y, x) ? 1 : 0;
    return n;
  };
  const auto darkInRow = [&](int y, int left, int right) {
    int n = 0;
    for (int x = left; x <= right; ++x) n += bmp.IsDark(y, x) ? 1 : 0;
    return n;
  };
  const int maxX = bmp.Width - 1;
  const int maxY = bmp.Height - 1;

  for (int i = 0; i < FLinesCount; ++i) {
    for (int j = 0; j < FColumsCount; ++j) {
      const TPoint tl = Crossings[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
      const TPoint tr = Crossings[static_cast<std::size_t>(i)][static_cast<std::size_t>(j) + 1];
      const TPoint bl = Crossings[static_cast<std::size_t>(i) + 1][static_cast<std::size_t>(j)];
      const TPoint br = Crossings[static_cast<std::size_t>(i) + 1][static_cast<std::size_t>(j) + 1];
      TRect r{(tl.X + bl.X) / 2, (tl.Y + tr.Y) / 2, (tr.X + br.X) / 2, (bl.Y + br.Y) / 2};
      // Where the sheet is skewed, a cell with ink on its border line is
      // widened to take that ink in; never beyond the picture.
      const auto moves = [](int a, int b) {
        const int d = std::abs(a - b);
        return d == 0 ? 0 : d - d / 2 + 1;
      };
      for (int m = moves(tl.X, bl.X); m > 0 && r.Left > 0; --m) {
        if (darkInColumn(r.Left, std::max(r.Top, 0), std::min(r.Bottom, maxY)) <= 2) break;
        --r.Left;
      }
      for (int m = moves(tl.Y, tr.Y); m > 0 && r.Top > 0; --m) {
        if (darkInRow(r.Top, std::max(r.Left, 0), std::min(r.Right, maxX)) <= 2) break;
        --r.Top;
      }
      for (int m = moves(tr.X, br.X); m > 0 && r.Right < maxX; --m) {
        if (darkInColumn(r.Right, std::max(r.Top, 0), std::min(r.Bottom, maxY)) <= 2) break;
        ++r.Right;
      }
      for (int m = moves(bl.Y, br.Y); m > 0 && r.Bottom < maxY; --m) {
        if (darkInRow(r.Bottom, std::max(r.Left, 0), std::min(r.Right, maxX)) <= 2) break;
        ++r.Bottom;
      }
      MakeCellInfo(i, j, r);
    }
  }
}

void TRectAnalyse::MakeCellInfo(int row, int col, const TRect& r) {
  TCellInfo& cell = Cells.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(col));
  cell.Rect = r;
  const TRect c = FindContentRect(r, cell.MaxRowDark);
  if (c.Top == c.Bottom) {
    cell.ContentRect = TRect{0, 0, 0, 0};
    cell.DarkCount = 0;
    cell.ContentArea = 0;
    cell.Filled = false;
    return;
  }
  cell.ContentRect = c;
  cell.DarkCount = CountDarkNormalise(c);
  cell.ContentArea = TIntBmp::PixelCount(c);
  const int q = RoundEven((c.Right - c.Left + 1) / 4.0);
  const TRect in = ClipTo(c, Bmp->BoundsRect);
  cell.Filled = true;
  for (int x = c.Left + q; x <= c.Right - q && cell.Filled; ++x) {
    bool ink = false;
    if (x >= in.Left && x <= in.Right) {
      for (int y = in.Top; y <= in.Bottom && !ink; ++y) ink = Bmp->IsDark(y, x);
    }
    cell.Filled = ink;
  }
}

TRect TRectAnalyse::FindContentRect(const TRect& r, int& maxRowDark) const {
  const TRect in = ClipTo(r, Bmp->BoundsRect);
  const int rows = std::max(0, r.Bottom - r.Top + 1);
  const int cols = std::max(0, r.Right - r.Left + 1);
  std::vector<int> rowDark(static_cast<std::size_t>(rows), 0);
  std::vector<int> colDark(static_cast<std::size_t>(cols), 0);
  for (int y = in.Top; y <= in.Bottom; ++y) {
    const std::uint8_t* p = Bmp->Rows[static_cast<std::size_t>(y)];
    int n = 0;
    for (int x = in.Left; x <= in.Right; ++x) {
      if (p[3 * x] < 10) {
        ++n;
        ++colDark[static_cast<std::size_t>(x - r.Left)];
      }
    }
    rowDark[static_cast<std::size_t>(y - r.Top)] = n;
  }
  maxRowDark = rows == 0 ? 0 : *std::max_element(rowDark.begin(), rowDark.end());

  TRect c = r;
  for (int y = r.Top; y <= r.Bottom; ++y) {
    if (rowDark[static_cast<std::size_t>(y - r.Top)] > 2) {
      c.Top = y;
      break;
    }
  }
  for (int y = r.Bottom; y >= c.Top; --y) {
    if (rowDark[static_cast<std::size_t>(y - r.Top)] > 2) {
      c.Bottom = y;
      break;
    }
  }
  for (int x = r.Left; x <= r.Right; ++x) {
    if (colDark[static_cast<std::size_t>(x - r.Left)] > 2) {
      c.Left = x;
      break;
    }
  }
  for (int x = r.Right; x >= c.Left; --x) {
    if (colDark[static_cast<std::size_t>(x - r.Left)] > 2) {
      c.Right = x;
      break;
    }
  }
  return c;
}

int TRectAnalyse::CountDarkNormalise(const TRect& r) {
  const TRect in = ClipTo(r, Bmp->BoundsRect);
  int n = 0;
  for (int y = in.Top; y <= in.Bottom; ++y) {
    std::uint8_t* p = Bmp->Rows[static_cast<std::size_t>(y)] + 3 * in.Left;
    for (int x = in.Left; x <= in.Right; ++x, p += 3) {
      if (p[0] < 10) {
        ++n;
        if (p[0] != 0) p[0] = p[1] = p[2] = 0;
      }
    }
  }
  return n;
}

std::vector<int> TRectAnalyse::RowProfile(const TRect& r) const {
  std::vector<int> p(static_cast<std::size_t>(std::max(0, r.Bottom - r.Top + 1)), 0);
  const TRect in = ClipTo(r, Bmp->BoundsRect);
  for (int y = in.Top; y <= in.Bottom; ++y) {
    const std::uint8_t* q = Bmp->Rows[static_cast<std::size_t>(y)] + 3 * in.Left;
    int n = 0;
    for (int x = in.Left; x <= in.Right; ++x, q += 3) n += (q[0] | q[1] | q[2]) == 0 ? 1 : 0;
    p[static_cast<std::size_t>(y - r.Top)] = n;
  }
  return p;
}

std::vector<int> TRectAnalyse::ColumProfile(const TRect& r) const {
  std::vector<int> p(static_cast<std::size_t>(std::max(0, r.Right - r.Left + 1)), 0);
  const TRect in = ClipTo(r, Bmp->BoundsRect);
  for (int y = in.Top; y <= in.Bottom; ++y) {
    const std::uint8_t* q = Bmp->Rows[static_cast<std::size_t>(y)] + 3 * in.Left;
    for (int x = in.Left; x <= in.Right; ++x, q += 3) {
      p[static_cast<std::size_t>(x - r.Left)] += (q[0] | q[1] | q[2]) == 0 ? 1 : 0;
    }
  }
  return p;
}

void TRectAnalyse::RowRuns(const TRect& r, TXianDuanList& l, const std::vector<int>& p, int t) {
  l.ClearSegments();
  bool previous = false;
  for (int y = r.Top; y <= r.Bottom; ++y) {
    const bool dark = p[static_cast<std::size_t>(y - r.Top)] > t;
    if (y == r.Top || dark != previous) {
      TXianDuan& s = l.AddSegment();
      s.Color = dark ? kDarkRun : kLightRun;
      s.X1 = t;
      s.Y1 = y;
    }
    previous = dark;
  }
  const int count = l.Count();
  if (count == 0) return;
  TXianDuan& last = l.GetSegment(count - 1);
  last.X2 = t;
  last.Y2 = r.Bottom;
  for (int i = 0; i < count; ++i) {
    TXianDuan& s = l.GetSegment(i);
    if (i + 1 < count) s.Y2 = l.GetSegment(i + 1).Y1 - 1;
    s.X2 = t;
    s.MidY = (s.Y1 + s.Y2) / 2;
    s.MidX = t;
    s.Len = s.Y2 - s.Y1 + 1;
  }
}

void TRectAnalyse::ColumRuns(const TRect& r, TXianDuanList& l, const std::vector<int>& p, int t) {
  l.ClearSegments();
  bool previous = false;
  for (int x = r.Left; x <= r.Right; ++x) {
    const bool dark = p[static_cast<std::size_t>(x - r.Left)] > t;
    if (x == r.Left || dark != previous) {
      TXianDuan& s = l.AddSegment();
      s.Color = dark ? kDarkRun : kLightRun;
      s.X1 = x;
      s.Y1 = t;
    }
    previous = dark;
  }
  const int count = l.Count();
  if (count == 0) return;
  TXianDuan& last = l.GetSegment(count - 1);
  last.X2 = r.Right;
  last.Y2 = t;
  for (int i = 0; i < count; ++i) {
    TXianDuan& s = l.GetSegment(i);
    if (i + 1 < count) s.X2 = l.GetSegment(i + 1).X1 - 1;
    s.Y2 = t;
    s.MidX = (s.X1 + s.X2) / 2;
    s.MidY = t;
    s.Len = s.X2 - s.X1 + 1;
  }
}

void TRectAnalyse::RemoveNarrowestGap(TXianDuanList& l, TLineDir dir) const {
  const int count = l.Count();
  if (count < 3) return;  // the first and the last line are never deleted
  const auto gap = [&](int i) {
    return Centre(l.GetSegment(i + 1), dir) - Centre(l.GetSegment(i), dir);
  };
  int k = -1;
  int smallest = 10000;
  for (int i = 0; i <= count - 2; ++i) {
    if (dir == TLineDir::Rows && i == TestNoAreaBlank) continue;
    const int g = gap(i);
    if (g < smallest) {
      smallest = g;
      k = i;
    }
  }
  if (k < 0) k = (dir == TLineDir::Rows && TestNoAreaBlank == 0) ? 1 : 0;
  if (k == 0) {
    l.DeleteSegment(1);
  } else if (k == count - 2) {
    l.DeleteSegment(count - 2);
  } else if (gap(k - 1) > gap(k + 1)) {
    l.DeleteSegment(k + 1);
  } else {
    l.DeleteSegment(k);
  }
}

TGapCheck TRectAnalyse::CheckGapSpread(const TXianDuanList& l, TLineDir dir) const {
  TGapCheck c;
  for (int i = 2; i <= l.Count() - 2; ++i) {
    // One lower than the gap RemoveNarrowestGap leaves out; kept as the
    // cards are laid out for it.
    if (dir == TLineDir::Rows && i == TestNoAreaBlank) continue;
    const int g = Centre(l.GetSegment(i), dir) - Centre(l.GetSegment(i - 1), dir);
    if (g < c.MinGap) {
      c.MinGap = g;
      c.MinIndex = i - 1;
    }
    if (g > c.MaxGap) {
      c.MaxGap = g;
      c.MaxIndex = i - 1;
    }
  }
  c.Spread = c.MaxGap - c.MinGap;
  if (c.Spread > c.MinGap) {
    c.Msg = "两倍错";
    c.OK = false;
  }
  return c;
}

int TRectAnalyse::GapVariance(const TXianDuanList& l, TLineDir dir) {
  const int len = l.Count() - 1;
  Gaps.assign(static_cast<std::size_t>(std::max(0, len)), 0);
  for (int i = 0; i < len; ++i) {
    Gaps[static_cast<std::size_t>(i)] =
        Centre(l.GetSegment(i + 1), dir) - Centre(l.GetSegment(i), dir);
  }
  const int inner = len - 2;
  if (inner == 0) {
    throw AnalysisError("a grid of two " + std::string(dir == TLineDir::Rows ? "rows" : "columns") +
                        " has no interior gap to measure its spacing by");
  }
  int sum = 0;
  for (int i = 1; i <= len - 2; ++i) sum += Gaps[static_cast<std::size_t>(i)];
  const int m = sum / inner;
  int var = 0;
  for (int i = 1; i <= len - 2; ++i) {
    const int d = m - Gaps[static_cast<std::size_t>(i)];
    var += d * d;
  }
  return var / inner;
}

namespace {

// The threshold search shared by rows and columns.
template <typename Runs>
std::unique_ptr<TXianDuanList> SearchLines(TRectAnalyse& ra, const TRect& r, int t0, int t1, int n,
                                           const std::vector<int>& p, TLineSearch& out,
                                           TLineDir dir, int trustRange, Runs runs) {
  TLineDiag& diag = out.Diag;
  diag.BestVariance = 10000;
  diag.BestSpread = 10000;
  out.SpreadFail.reset();
  out.VarFail.reset();
  std::unique_ptr<TXianDuanList> best;
  int bestVariance = 100000;
  const int origin = dir == TLineDir::Rows ? r.Top : r.Left;
  const int lines = n + 1;

  for (int t = t0; t <= t1; ++t) {
    if ((t - t0) % 3 == 0) continue;
    auto l = std::make_unique<TXianDuanList>();
    runs(r, *l, p, t);
    if (l->Count() > 4 * n) break;
    l->KeepColor(kLightRun);
    if (l->Count() - lines > 3) {
      // Too many light runs: drop the slivers, then the least light runs.
      int bestV = 0;
      int i1 = -1, i2 = -1, i3 = -1;
      int i = 0;
      while (i < l->Count() - 1) {
        const TXianDuan& s = l->GetSegment(i);
        if (s.Len < 3) {
          l->DeleteSegment(i);
          continue;
        }
        const int from = dir == TLineDir::Rows ? s.Y1 : s.X1;
        const int to = dir == TLineDir::Rows ? s.Y2 : s.X2;
        int v = 99999;
        for (int k = from; k <= to; ++k) v = std::min(v, p[static_cast<std::size_t>(k - origin)]);
        if (v > bestV) {
          bestV = v;
          i3 = i2;
          i2 = i1;
          i1 = i;
        }
        ++i;
      }
      const auto drop = [&](int index) {
        if (index >= 0) l->DeleteSegment(index);
      };
      if (l->Count() - lines == 1) drop(i1);
      if (l->Count() - lines == 2) {
        drop(i1);
        drop(i2);
      }
      if (l->Count() - lines == 3) {
        drop(i1);
        drop(i2);
        drop(i3);
      }
    } else {
      while (l->Count() > lines) ra.RemoveNarrowestGap(*l, dir);
    }
    if (l->Count() != lines) continue;

    l->Threshold = t;
    const TGapCheck c = ra.CheckGapSpread(*l, dir);
    if (!c.OK) {
      if (diag.BestSpread > c.Spread) {
        diag.BestSpread = c.Spread;
        diag.GapCheck = c;
        out.SpreadFail = std::move(l);
      }
      continue;
    }
    const int v = ra.GapVariance(*l, dir);
    if (v > trustRange) {
      if (diag.BestVariance > v) {
        diag.BestVariance = v;
        out.VarFail = std::move(l);
      }
      continue;
    }
    if (v < bestVariance) {
      bestVariance = v;
      best = std::move(l);
      if (bestVariance <= 3) break;
    }
  }

  std::string text = "最大最小差" + std::to_string(diag.BestSpread) + "  最小" +
                     std::to_string(diag.GapCheck.MinGap) + "  最大" +
                     std::to_string(diag.GapCheck.MaxGap) + "  ";
  if (dir == TLineDir::Colums) text += "列数" + std::to_string(n);
  text += "方差" + std::to_string(diag.BestVariance);
  diag.Text = CutToGbkBytes(text, 100);
  return best;
}

}  // namespace

std::unique_ptr<TXianDuanList> TRectAnalyse::SearchRowLines(const TRect& r, int t0, int t1, int n,
                                                            const std::vector<int>& p,
                                                            TLineSearch& out) {
  return SearchLines(*this, r, t0, t1, n, p, out, TLineDir::Rows, cfg_.FTrustRange(), &RowRuns);
}

std::unique_ptr<TXianDuanList> TRectAnalyse::SearchColumLines(const TRect& r, int t0, int t1, int n,
                                                              const std::vector<int>& p,
                                                              TLineSearch& out) {
  return SearchLines(*this, r, t0, t1, n, p, out, TLineDir::Colums, cfg_.FTrustRange(), &ColumRuns);
}

TLineSearch TRectAnalyse::FindRowLines(int index, const TRect& r) {
  TLineSearch out;
  out.Profile = RowProfile(r);
  if (out.Profile.empty()) return out;
  const int w = r.Right - r.Left + 1;
  // The strip's first and last rows always count as fully dark.
  out.Profile.front() = w;
  out.Profile.back() = w;
  if (PaperDevide->LinesThreadCount == 3) {
    // The middle frame line was erased with the others; where it crosses this
    // strip counts as fully dark, like a thin row of boxes.
    const int y = PaperDevide->LineList[1];
    const int located = LocateLineRow(*Bmp, y, CellHeight, r, index != 0);
    const int row = std::clamp(located, r.Top, r.Bottom);
    out.Profile[static_cast<std::size_t>(row - r.Top)] = w;
  }
  out.Lines = SearchRowLines(r, 0, CellHeight + CellWidth, FLinesCount, out.Profile, out);
  return out;
}

TLineSearch TRectAnalyse::FindColumLines(const TRect& r) {
  TLineSearch out;
  out.Profile = ColumProfile(r);
  if (out.Profile.empty()) return out;
  const int h = r.Bottom - r.Top + 1;
  out.Profile.front() = h;
  out.Profile.back() = h;
  out.Lines = SearchColumLines(r, 0, CellHeight + CellWidth, FColumsCount, out.Profile, out);
  return out;
}

void TRectAnalyse::WriteDebugPictures(int index, const TRect& strip, const TLineSearch& search,
                                      bool rows) {
  // Debug output never changes the outcome of the analysis.
  try {
    const std::string name =
        std::to_string(SheetNo) + (rows ? "ColumRect_Row" + std::to_string(index) + "_FLinesCount" +
                                              std::to_string(FLinesCount)
                                        : "RowRect_Colum" + std::to_string(index) +
                                              "_FColumsCount" + std::to_string(FColumsCount));
    const std::filesystem::path folder = DebugFolder / name;
    std::filesystem::create_directories(folder);
    Bmp->PaintBorder(strip, 1, true, kBlue);
    const std::filesystem::path src = folder / (rows ? "ErrSrc.bmp" : "WrrSrc.bmp");
    WriteBmp(*Bmp->Bitmap, src);
    WriteTextBeside(src, search.Diag.Text);
    const char kind = rows ? 'E' : 'W';
    const std::string prefix = rows ? "Err" : "Wrr";
    if (search.SpreadFail) {
      SaveStripPicture(strip, *search.SpreadFail, search.Diag.GapCheck, search.Diag.Text,
                       folder / (prefix + "最大最小差.bmp"), kind, search.Profile);
    }
    if (search.VarFail) {
      SaveStripPicture(strip, *search.VarFail, search.Diag.GapCheck, search.Diag.Text,
                       folder / (prefix + "方差.bmp"), kind, search.Profile);
    }
  } catch (const std::exception&) {
  }
}

void TRectAnalyse::SaveStripPicture(const TRect& r, const TXianDuanList& l, const TGapCheck& g,
                                    const std::string& text, const std::filesystem::path& file,
                                    char kind, const std::vector<int>& profile) {
  Picture& pic = kind == 'E' ? ErrPicture : WrrPicture;
  try {
    if (pic.Width() != Bmp->Width || pic.Height() != Bmp->Height)
      pic.Resize(Bmp->Width, Bmp->Height);
    TIntBmp work;
    work.LoadBitmap(pic);
    work.PaintBorder(ClipTo(r, work.BoundsRect), 2, true, kRed);
    const int n = static_cast<int>(profile.size());
    for (int i = 0; i < n; ++i) {
      const int v = profile[static_cast<std::size_t>(i)];
      if (kind == 'W') {
        DrawLine(pic, {r.Left + i, r.Top}, {r.Left + i, r.Top + v}, kBlack);
      } else {
        DrawLine(pic, {r.Left, r.Top + i}, {r.Left + v, r.Top + i}, kBlack);
      }
    }
    for (const TXianDuan& s : l.Segments()) {
      if (kind == 'E') {
        DrawLine(pic, {r.Left + 80, s.MidY}, {r.Left + 300, s.MidY}, kRed);
      } else {
        DrawLine(pic, {s.MidX, r.Top + 80}, {s.MidX, r.Top + 300}, kRed);
      }
    }
    const auto stroke = [&](int gapIndex) {
      if (gapIndex < 0 || gapIndex + 1 >= l.Count()) return;
      const TXianDuan& a = l.GetSegment(gapIndex);
      const TXianDuan& b = l.GetSegment(gapIndex + 1);
      if (kind == 'E') {
        DrawLine(pic, {300, a.MidY}, {300, b.MidY}, kBlue);
      } else {
        DrawLine(pic, {a.MidX, 300}, {b.MidX, 300}, kBlue);
      }
    };
    stroke(g.MaxIndex);
    stroke(g.MinIndex);
    WriteBmp(pic, file);
    WriteTextBeside(file, text + "线段数" + std::to_string(l.Count()));
  } catch (const std::exception&) {
    std::filesystem::path failed = file;
    failed += "错误.bmp";
    WriteBmp(pic, failed);
  }
}

}  // namespace kestrelo
