#include "imaging/BorderBlobs.h"

#include <vector>

namespace kestrelo {

void RemoveBorderBlobs(TIntBmp& bmp) {
  const int w = bmp.Width;
  const int h = bmp.Height;
  // Points of the regions that stay; copied, because the fill buffer is reused.
  std::vector<TPoint> keep;
  TDotBlock block;

  const auto take = [&](int row, int col, bool byWidth) {
    if (!bmp.IsColor(row, col, kBlack)) return;
    bmp.FloodFill(bmp.BoundsRect, col, row, kBlack, kYellow, block);
    const bool large = byWidth ? block.Width > w / 3 : block.Height > h / 3;
    if (!large) return;
    for (const TFindPoint& p : block.PointSpan()) keep.push_back(TPoint{p.X, p.Y});
  };

  if (h > 20) {
    for (int r = 10; r <= h - 11; ++r) {
      take(r, 0, true);
      take(r, w - 1, true);
    }
  }
  if (w > 20) {
    for (int c = 10; c <= w - 11; ++c) {
      take(0, c, false);
      take(h - 1, c, false);
    }
  }
  for (const TPoint& p : keep) bmp.SetPixel(p.Y, p.X, kBlack);
}

}  // namespace kestrelo
