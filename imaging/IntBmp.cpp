#include "imaging/IntBmp.h"

#include <algorithm>

#include "common/Rounding.h"

namespace kestrelo {

TColorTriple ColorToTriple(TColor colour) {
  if ((colour & 0xFF000000u) == 0xFF000000u) {
    // System colours resolve to the classic desktop scheme.
    switch (colour & 0xFFu) {
      case 0x05: colour = 0xFFFFFF; break;  // window
      case 0x08: colour = 0x000000; break;  // window text
      case 0x0D: colour = 0xD77800; break;  // highlight
      case 0x0E: colour = 0xFFFFFF; break;  // highlight text
      case 0x0F: colour = 0xF0F0F0; break;  // button face
      case 0x10: colour = 0xA0A0A0; break;  // button shadow
      case 0x11: colour = 0x6D6D6D; break;  // grey text
      case 0x12: colour = 0x000000; break;  // button text
      default: colour = 0xC0C0C0; break;
    }
  }
  return TColorTriple{static_cast<std::uint8_t>((colour >> 16) & 0xFF),
                      static_cast<std::uint8_t>((colour >> 8) & 0xFF),
                      static_cast<std::uint8_t>(colour & 0xFF)};
}

void TIntBmp::LoadBitmap(Picture& picture) {
  Binarised = false;
  Bitmap = &picture;  // our pictures are 24-bit already
  Width = picture.Width();
  Height = picture.Height();
  BoundsRect = TRect{0, 0, Width - 1, Height - 1};
  // Existing grey entries keep their values; only the size follows the picture.
  Grey.resize(static_cast<std::size_t>(Height));
  for (auto& row : Grey) row.resize(static_cast<std::size_t>(Width), 0);
  Rows.resize(static_cast<std::size_t>(Height));
  for (int y = 0; y < Height; ++y) Rows[y] = picture.Row(y);
  const std::size_t points = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
  for (auto& buf : PointBufs) buf.resize(points);
}

void TIntBmp::BinariseBlocks(int blockCount, float factor) {
  int n = blockCount;
  if (n < 1 || Height < 2 * n || Width < 2 * n) n = 1;
  const int bh = RoundEven(static_cast<double>(Height) / n);
  const int bw = RoundEven(static_cast<double>(Width) / n);

  // Block columns: the last one ends at the picture's right edge; a block
  // that starts beyond the picture is skipped.
  struct Span {
    int first, last;
  };
  std::vector<Span> cols;
  for (int c = 0; c < n; ++c) {
    const int left = c * bw;
    if (left > Width - 1) continue;
    cols.push_back(Span{left, std::min(c == n - 1 ? Width - 1 : left + bw - 1, Width - 1)});
  }
  std::vector<std::int64_t> sums(cols.size());
  // Room for the tallest block row; the last one may be taller than bh.
  greyRows_.resize(static_cast<std::size_t>(Height) * static_cast<std::size_t>(Width));
  std::vector<int> thresholds(cols.size());

  for (int r = 0; r < n; ++r) {
    const int top = r * bh;
    if (top > Height - 1) continue;
    const int bottom = std::min(r == n - 1 ? Height - 1 : top + bh - 1, Height - 1);

    // Pass one over the block row: grey levels into a row buffer and each
    // block's sum. The sum does not depend on the visiting order, so whole
    // rows are walked.
    std::fill(sums.begin(), sums.end(), 0);
    for (int y = top; y <= bottom; ++y) {
      const std::uint8_t* __restrict src = Rows[y];
      std::uint8_t* __restrict g = greyRows_.data() + static_cast<std::size_t>(y - top) * Width;
      for (int x = 0; x < Width; ++x) {
        g[x] = static_cast<std::uint8_t>((77 * src[3 * x + 2] + 151 * src[3 * x + 1] +
                                          28 * src[3 * x]) >> 8);
      }
      for (std::size_t k = 0; k < cols.size(); ++k) {
        int sum = 0;
        for (int x = cols[k].first; x <= cols[k].last; ++x) sum += g[x];
        sums[k] += sum;
      }
      if (!Binarised) {
        int* __restrict grey = Grey[y].data();
        for (int x = 0; x < Width; ++x) grey[x] = g[x];
      }
    }
    const std::int64_t rowsInBlock = bottom - top + 1;
    for (std::size_t k = 0; k < cols.size(); ++k) {
      const std::int64_t count = rowsInBlock * (cols[k].last - cols[k].first + 1);
      thresholds[k] = RoundEven(static_cast<double>(sums[k]) * static_cast<double>(factor) /
                                static_cast<double>(count));
    }

    // Pass two: grey 0 is always ink and 255 always paper, whatever t is.
    for (int y = top; y <= bottom; ++y) {
      std::uint8_t* __restrict dst = Rows[y];
      const std::uint8_t* __restrict g = greyRows_.data() + static_cast<std::size_t>(y - top) * Width;
      for (std::size_t k = 0; k < cols.size(); ++k) {
        const int t = thresholds[k];
        for (int x = cols[k].first; x <= cols[k].last; ++x) {
          const int v = g[x];
          const std::uint8_t out = ((v >= t && v >= 1) || v == 255) ? 255 : 0;
          dst[3 * x] = out;
          dst[3 * x + 1] = out;
          dst[3 * x + 2] = out;
        }
      }
    }
  }
  Binarised = true;
}

void TIntBmp::BinariseGlobal(int threshold) {
  for (int y = 0; y < Height; ++y) {
    std::uint8_t* p = Rows[y];
    int* grey = Grey[y].data();
    for (int x = 0; x < Width; ++x, p += 3) {
      const int v = p[0];
      if (!Binarised) grey[x] = v;
      const std::uint8_t out = v > threshold ? 255 : 0;
      p[0] = p[1] = p[2] = out;
    }
  }
  Binarised = true;
}

void TIntBmp::DrawDot(TPoint pt, TColor colour) {
  const TColorTriple c = ColorToTriple(colour);
  for (int y = pt.Y - 1; y <= pt.Y + 1; ++y) {
    for (int x = pt.X - 1; x <= pt.X + 1; ++x) {
      if (y > 0 && y < Height - 1 && x > 0 && x < Width - 1) SetPixel(y, x, c);
    }
  }
}

void TIntBmp::DrawHBand(const TRect& r, int y, int thickness, TColor colour) {
  if (y < 0) return;
  const TColorTriple c = ColorToTriple(colour);
  for (int x = r.Left; x <= r.Right; ++x) {
    for (int i = 0; i < thickness; ++i) {
      // The picture bound guards against a caller's rectangle larger than the picture.
      if (y + i < r.Bottom && Inside(y + i, x)) SetPixel(y + i, x, c);
    }
  }
}

void TIntBmp::DrawVBand(const TRect& r, int x, int thickness, TColor colour) {
  if (x < 0) return;
  const TColorTriple c = ColorToTriple(colour);
  for (int y = r.Top; y <= r.Bottom; ++y) {
    for (int i = 0; i < thickness; ++i) {
      if (x + i < r.Right && Inside(y, x + i)) SetPixel(y, x + i, c);
    }
  }
}

void TIntBmp::PaintBorder(const TRect& r, int thickness, bool paint, TColorTriple colour) {
  if (!paint) return;
  const TRect s{r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2};
  const auto put = [&](int row, int col) {
    if (Inside(row, col)) SetPixel(row, col, colour);
  };
  for (int i = 0; i < thickness && s.Top + i <= s.Bottom; ++i) {
    for (int x = s.Left; x <= s.Right; ++x) put(s.Top + i, x);
  }
  for (int i = 0; i < thickness && s.Bottom - i > s.Top; ++i) {
    for (int x = s.Left; x <= s.Right; ++x) put(s.Bottom - i, x);
  }
  for (int i = 0; i < thickness && s.Left + i <= s.Right; ++i) {
    for (int y = s.Top; y <= s.Bottom; ++y) put(y, s.Left + i);
  }
  for (int i = 0; i < thickness && s.Right - i > s.Left; ++i) {
    for (int y = s.Top; y <= s.Bottom; ++y) put(y, s.Right - i);
  }
}

void TIntBmp::PaintBlock(const TDotBlock& block, TColorTriple colour) {
  for (const TFindPoint& p : block.PointSpan()) SetPixel(p.Y, p.X, colour);
}

void TIntBmp::ReplaceBlack(const TRect& r) {
  const int top = std::max(r.Top, 0);
  const int bottom = std::min(r.Bottom, Height - 1);
  const int left = std::max(r.Left, 0);
  const int right = std::min(r.Right, Width - 1);
  for (int y = top; y <= bottom; ++y) {
    std::uint8_t* p = Rows[y] + 3 * left;
    for (int x = left; x <= right; ++x, p += 3) {
      if (p[0] == 0 && p[1] == 0 && p[2] == 0) p[0] = p[1] = p[2] = 1;
    }
  }
}

void TIntBmp::MaxRuns(TIntDynaArr& columnRuns, TIntDynaArr& rowRuns, TColorTriple colour) const {
  columnRuns.assign(static_cast<std::size_t>(Width), 0);
  rowRuns.assign(static_cast<std::size_t>(Height), 0);
  // One pass over the rows keeps a running column run per column.
  std::vector<int> columnCurrent(static_cast<std::size_t>(Width), 0);
  for (int y = 0; y < Height; ++y) {
    const std::uint8_t* p = Rows[y];
    int run = 0;
    int best = 0;
    for (int x = 0; x < Width; ++x, p += 3) {
      if (p[0] == colour.Blue && p[1] == colour.Green && p[2] == colour.Red) {
        ++run;
        best = std::max(best, run);
        int& col = columnCurrent[x];
        ++col;
        columnRuns[x] = std::max(columnRuns[x], col);
      } else {
        run = 0;
        columnCurrent[x] = 0;
      }
    }
    rowRuns[y] = best;
  }
}

int TIntBmp::PixelCount(const TRect& r) {
  if (r.Right < r.Left || r.Bottom < r.Top) return 0;
  return (r.Right - r.Left + 1) * (r.Bottom - r.Top + 1);
}

void TIntBmp::FloodFill(const TRect& r, int x, int y, TColorTriple match, TColorTriple fill,
                        TDotBlock& block) {
  FloodFillBuf(PointBufs[0], r, x, y, match, fill, block);
}

void TIntBmp::FloodFillBuf(TFindPointArr& buffer, const TRect& r, int x, int y,
                           TColorTriple match, TColorTriple fill, TDotBlock& block) {
  block = TDotBlock{x, y, x, y, 1, 1, 0, buffer.data()};
  // A seed outside the picture has no pixel to grow from, and a fill in the
  // match colour would take its own pixels again without end.
  if (!Inside(y, x) || buffer.empty() || match == fill) return;

  TFindPoint* pts = buffer.data();
  pts[0] = TFindPoint{x, y, x, y};
  SetPixel(y, x, fill);

  // The limit is clipped to the picture once, so the inner test is plain.
  const int rl = std::max(r.Left, 0);
  const int rt = std::max(r.Top, 0);
  const int rr = std::min(r.Right, Width - 1);
  const int rb = std::min(r.Bottom, Height - 1);

  int count = 0;
  int left = x, top = y, right = x, bottom = y;
  const auto take = [&](int xx, int yy, int cx, int cy) {
    if (xx < rl || xx > rr || yy < rt || yy > rb) return;
    std::uint8_t* p = Rows[yy] + 3 * xx;
    if (p[0] != match.Blue || p[1] != match.Green || p[2] != match.Red) return;
    p[0] = fill.Blue;
    p[1] = fill.Green;
    p[2] = fill.Red;
    ++count;
    pts[count] = TFindPoint{xx, yy, 2 * xx - cx, 2 * yy - cy};
    left = std::min(left, xx);
    right = std::max(right, xx);
    top = std::min(top, yy);
    bottom = std::max(bottom, yy);
  };

  // The seed looks at all eight neighbours, rows outer, columns inner.
  for (int yy = y - 1; yy <= y + 1; ++yy) {
    for (int xx = x - 1; xx <= x + 1; ++xx) take(xx, yy, x, y);
  }
  // Every later point looks along its own row and at the column one step
  // further in the direction it was reached from. In the same row-major
  // order that is: (nx, cy-1), (cx-1, cy), (cx+1, cy), (nx, cy+1); the point
  // itself is already painted, and nx is always within one of cx.
  for (int i = 1; i <= count; ++i) {
    const int cx = pts[i].X;
    const int cy = pts[i].Y;
    const int nx = pts[i].NextX;
    take(nx, cy - 1, cx, cy);
    take(cx - 1, cy, cx, cy);
    take(cx + 1, cy, cx, cy);
    take(nx, cy + 1, cx, cy);
  }
  block.Left = left;
  block.Top = top;
  block.Right = right;
  block.Bottom = bottom;
  block.Count = count + 1;
  block.Width = right - left + 1;
  block.Height = bottom - top + 1;
}

}  // namespace kestrelo
