#include "imaging/PictureOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "common/Error.h"
#include "common/Rounding.h"

namespace kestrelo {

int BytesPerPixel(const Picture&) { return Picture::kBytesPerPixel; }

void MirrorLeftRight(Picture& picture) {
  const int w = picture.Width();
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int i = 0; i <= (w - 1) / 2; ++i) {
      std::swap_ranges(row + 3 * i, row + 3 * i + 3, row + 3 * (w - 1 - i));
    }
  }
}

void MirrorTopBottom(Picture& picture) {
  const int h = picture.Height();
  const std::size_t stride = picture.Stride();
  for (int r = 0; r <= (h - 1) / 2; ++r) {
    if (r == h - 1 - r) break;
    std::swap_ranges(picture.Row(r), picture.Row(r) + stride, picture.Row(h - 1 - r));
  }
}

void RotateQuarterTurns(Picture& picture, int angle) {
  const int a = ((angle % 360) + 360) % 360;
  if (a == 0) return;
  if (a != 90 && a != 180 && a != 270) {
    throw Error("a picture turns by quarter turns only, not by " + std::to_string(angle));
  }
  const int w = picture.Width();
  const int h = picture.Height();
  const int w2 = a == 180 ? w : h;
  const int h2 = a == 180 ? h : w;
  Picture dst(w2, h2);
  for (int r = 0; r < h; ++r) {
    const std::uint8_t* src = picture.Row(r);
    for (int c = 0; c < w; ++c) {
      std::uint8_t* d;
      if (a == 90) {
        d = dst.Pixel(w2 - 1 - r, c);
      } else if (a == 180) {
        d = dst.Pixel(w - 1 - c, h - 1 - r);
      } else {
        d = dst.Pixel(r, w - 1 - c);
      }
      std::memcpy(d, src + 3 * c, 3);
    }
  }
  picture = std::move(dst);
}

void RotateAboutCentre(const Picture& src, Picture& dst, TIntDynaArrArr& greyIn,
                       TIntDynaArrArr& greyOut, double angle) {
  const int sw = src.Width();
  const int sh = src.Height();
  const int cx = sw / 2;
  const int cy = sh / 2;
  const double a = angle * 0.017453292519943295;
  const double s = std::sin(a);
  const double c = std::cos(a);

  int dw, dh;
  if (s * c >= 0) {
    dw = RoundEven(std::fabs(sh * s + sw * c));
    dh = RoundEven(std::fabs(sh * c + sw * s));
  } else {
    dw = RoundEven(std::fabs(sw * c - sh * s));
    dh = RoundEven(std::fabs(sw * s - sh * c));
  }
  dst.Resize(dw, dh);
  greyOut.assign(static_cast<std::size_t>(dh), TIntDynaArr(static_cast<std::size_t>(dw), 255));

  // A grey matrix that does not match the picture is treated as white
  // rather than read out of bounds.
  const bool greyOk = static_cast<int>(greyIn.size()) == sh &&
                      std::all_of(greyIn.begin(), greyIn.end(),
                                  [&](const TIntDynaArr& r) { return static_cast<int>(r.size()) == sw; });

  for (int y = dh - 1; y >= 0; --y) {
    std::uint8_t* drow = dst.Row(y);
    int* grow = greyOut[y].data();
    const double dy = y - cy;
    for (int x = dw - 1; x >= 0; --x) {
      const double dx = x - cx;
      const int sx = RoundEven(dx * c - dy * s) + cx;
      const int sy = RoundEven(dx * s + dy * c) + cy;
      std::uint8_t* d = drow + 3 * x;
      if (sx >= 0 && sx <= sw - 1 && sy >= 0 && sy <= sh - 1) {
        std::memcpy(d, src.Pixel(sx, sy), 3);
        grow[x] = greyOk ? greyIn[sy][sx] : 255;
      } else {
        d[0] = d[1] = d[2] = 255;
        grow[x] = 255;
      }
    }
  }
  TIntDynaArrArr().swap(greyIn);
}

void FindLargestBlock(TIntBmp& bmp, const TRect& scan, const TRect& limit, TColorTriple match,
                      TColorTriple fill, TDotBlock& best) {
  best = TDotBlock{};
  int bestCount = 0;
  int k = 0;
  TDotBlock block;
  for (int y = scan.Top; y <= scan.Bottom; ++y) {
    for (int x = scan.Left; x <= scan.Right; ++x) {
      if (!bmp.IsColor(y, x, match)) continue;
      bmp.FloodFillBuf(bmp.PointBufs[k], limit, x, y, match, fill, block);
      if (block.Count > bestCount) {
        bestCount = block.Count;
        best = block;
        k = 1 - k;
      }
    }
  }
}

void LineLeftEnd(const TIntBmp&, const TDotBlock& block, TPoint& p) {
  int best = 9999999;
  for (const TFindPoint& q : block.PointSpan()) {
    if (q.X < best) {
      best = q.X;
      p = TPoint{q.X, q.Y};
    }
  }
}

void LineRightEnd(const TIntBmp& bmp, const TDotBlock& block, TPoint& p) {
  int best = -1;
  TPoint found{};
  for (const TFindPoint& q : block.PointSpan()) {
    if (q.X > best) {
      best = q.X;
      found = TPoint{q.X, q.Y};
    }
  }
  // Down the column over the line's thickness, to sit on its lower middle.
  int k = 0;
  while (bmp.IsColor(found.Y + k, found.X, kDealtBlack)) ++k;
  p = TPoint{found.X, found.Y + k - k / 2};
}

int LineAngle(const TIntBmp& bmp, const TDotBlock& block, TPoint p, TColorTriple colour) {
  int result = 0;
  int bestCount = 0;
  for (int t = -3; t <= 3; ++t) {
    const double tn = std::tan(t * std::numbers::pi / 180.0);
    int count = 0;
    for (int x = block.Left; x <= block.Right; ++x) {
      const int yl = RoundEven((x - p.X) * tn + p.Y);
      if (bmp.IsColor(yl, x, colour)) ++count;
    }
    if (count > bestCount) {
      bestCount = count;
      result = t;
    }
  }
  return result;
}

int LocateLineRow(TIntBmp& bmp, int row, int half, const TRect& r, bool fromLeft) {
  const TRect band{r.Left, row - half, r.Right, row + half};
  TDotBlock block;
  FindLargestBlock(bmp, band, band, kNearBlack, kDealtBlack, block);
  if (block.Count == 0) return row;

  TPoint a{}, b{};
  if (fromLeft) {
    LineLeftEnd(bmp, block, a);
    const int t = LineAngle(bmp, block, a, kDealtBlack);
    b.X = block.Right;
    b.Y = RoundEven(std::tan(t * std::numbers::pi / 180.0) * (b.X - a.X) + a.Y);
  } else {
    LineRightEnd(bmp, block, b);
    const int t = LineAngle(bmp, block, b, kDealtBlack);
    a.X = block.Left;
    a.Y = RoundEven(std::tan(t * std::numbers::pi / 180.0) * (a.X - b.X) + b.Y);
  }
  const TPoint m{(a.X + b.X) / 2, (a.Y + b.Y) / 2};

  // The line's own pixels are dealt with by now: what is counted is other ink
  // crossing each candidate row.
  const auto inkAcross = [&](int y) {
    int n = 0;
    for (int x = a.X; x <= b.X; ++x) {
      if (bmp.IsColor(y, x, kBlack)) ++n;
    }
    return n;
  };
  const int one = inkAcross(a.Y);
  const int two = inkAcross(m.Y);
  const int three = inkAcross(b.Y);
  int result = m.Y;
  if (one < two && one < three) result = a.Y;
  if (three < one && three < two) result = b.Y;
  return result;
}

}  // namespace kestrelo
