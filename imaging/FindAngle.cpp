#include "imaging/FindAngle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Rounding.h"

namespace kestrelo {

bool TFindAngle::IsLineBlock(const TDotBlock& b) {
  const double fill = static_cast<double>(b.Count) /
                      (static_cast<double>(b.Width) * static_cast<double>(b.Height));
  return fill < 0.38 || (b.Width > 5 * b.Height && b.Height < 30) ||
         (b.Height > 5 * b.Width && b.Width < 30);
}

int TFindAngle::FindCorners() {
  Bounds = TRect{};
  TopLeft = BottomLeft = TopRight = BottomRight = TPoint{};
  if (Bmp == nullptr) return 0;
  TIntBmp& bmp = *Bmp;

  // With "FindAngle" debugging on, examined blocks turn red, accepted ones
  // blue, and the scan paths are dotted, so the search can be watched.
  const bool debug = cfg_->FDebugFindAngle();
  const TColorTriple fill = debug ? TColorTriple{0, 0, 255} : kDealtBlack;
  const TColorTriple paint = debug ? TColorTriple{255, 0, 0} : kBlack;

  const int w = bmp.Width;
  const int h = bmp.Height;
  const int minSize = w / 5;
  const int d = std::min(w, h) - 1;
  const int w2 = w / 2;
  const int h2 = h / 2;
  int count = 0;

  // One diagonal step: true when the block met there is accepted.
  TDotBlock block;
  const auto step = [&](int x, int y, const TRect& quadrant) {
    if (!(y > 0 && y < h - 1)) return false;
    if (debug && bmp.IsColor(y, x, kWhite)) bmp.DrawDot(TPoint{x, y}, clRed);
    if (!bmp.IsColor(y, x, kBlack)) return false;
    bmp.FloodFill(quadrant, x, y, kBlack, fill, block);
    return (block.Width >= minSize || block.Height >= minSize) && IsLineBlock(block);
  };
  // The bottom-right scan starts the bounds; the others widen them.
  const auto accept = [&](bool first) {
    ++count;
    const TRect box{block.Left, block.Top, block.Right, block.Bottom};
    if (first) {
      Bounds = box;
    } else {
      Bounds.Left = std::min(Bounds.Left, box.Left);
      Bounds.Top = std::min(Bounds.Top, box.Top);
      Bounds.Right = std::max(Bounds.Right, box.Right);
      Bounds.Bottom = std::max(Bounds.Bottom, box.Bottom);
    }
    bmp.PaintBlock(block, paint);
  };

  // Bottom-right: lines x + y = s, nearest the corner first.
  {
    const TRect q{w2, h2, w - 1, h - 1};
    bool done = false;
    for (int s = w + h - 1; s >= w + h - 1 - h2 && !done; --s) {
      // Only steps with 0 < y < H-1 do anything; y = s - i.
      for (int i = std::max(0, s - h + 2); i <= std::min(w - 1, s - 1); ++i) {
        const int y = s - i;
        if (step(i, y, q)) {
          BottomRight = TPoint{i - 1, y};
          accept(true);
          done = true;
          break;
        }
      }
    }
  }
  // Bottom-left: lines y - x = s.
  {
    const TRect q{0, h2, w2, h - 1};
    bool done = false;
    for (int s = h - 1; s >= h - 1 - h2 && !done; --s) {
      // y = s + i.
      for (int i = std::max(0, 1 - s); i <= std::min(d, h - 2 - s); ++i) {
        const int y = s + i;
        if (step(i, y, q)) {
          BottomLeft = TPoint{i + 1, y};
          accept(false);
          done = true;
          break;
        }
      }
    }
  }
  // Top-left: lines x + y = s.
  {
    const TRect q{0, 0, w2, h2};
    bool done = false;
    for (int s = 0; s <= h2 && !done; ++s) {
      // y = s - i.
      for (int i = std::max(0, s - h + 2); i <= std::min(d, s - 1); ++i) {
        const int y = s - i;
        if (step(i, y, q)) {
          TopLeft = TPoint{i + 1, y};
          accept(false);
          done = true;
          break;
        }
      }
    }
  }
  // Top-right: lines y - x = s, from the right edge inward.
  {
    const TRect q{w2, 0, w - 1, h2};
    bool done = false;
    for (int s = -w - 1; s <= -w - 1 + h2 && !done; ++s) {
      // y = s + i, walked from the right edge inward.
      for (int i = std::min(w, h - 2 - s); i >= std::max(0, 1 - s); --i) {
        const int y = s + i;
        if (step(i, y, q)) {
          TopRight = TPoint{i - 1, y};
          accept(false);
          done = true;
          break;
        }
      }
    }
  }

  Bounds.Top = std::min({Bounds.Top, TopLeft.Y, TopRight.Y});
  Bounds.Left = std::min({Bounds.Left, TopLeft.X, BottomLeft.X});
  Bounds.Right = std::max({Bounds.Right, TopRight.X, BottomRight.X});
  Bounds.Bottom = std::max({Bounds.Bottom, BottomLeft.Y, BottomRight.Y});
  return count;
}

int TFindAngle::EdgeAngle(TPoint a, TPoint b) {
  const int dx = b.X - a.X;
  const int dy = b.Y - a.Y;
  if (dx == 0 || dy == 0) return 0;
  int r = RoundEven(std::atan(static_cast<double>(dy) / dx) * 180.0 / std::numbers::pi);
  if (r > 90) r -= 90;
  if (r < -90) r += 90;
  return r;
}

int TFindAngle::RefineAngle(TPoint a, TPoint b, int angle) const {
  if (Bmp == nullptr) return angle;
  int result = angle;
  int best = 0;
  for (int cand = angle - 2; cand <= angle + 2; ++cand) {
    const double t = std::tan(cand * std::numbers::pi / 180.0);
    int count = 0;
    for (int x = a.X; x <= b.X; ++x) {
      const int y0 = RoundEven((x - a.X) * t + a.Y);
      for (int k = 0; k < 3; ++k) {
        if (Bmp->IsColor(y0 + k, x, kBlack)) ++count;
      }
    }
    if (count > best) {
      best = count;
      result = cand;
    }
  }
  return result;
}

}  // namespace kestrelo
