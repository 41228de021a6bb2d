#include "imaging/DotBlockRemoval.h"

namespace kestrelo {

void RemoveSpecks(TIntBmp& bmp, bool enabled) {
  if (!enabled) return;
  TDotBlock block;
  for (int y = 0; y < bmp.Height; ++y) {
    const std::uint8_t* row = bmp.Rows[y];
    for (int x = 0; x < bmp.Width; ++x) {
      const std::uint8_t* p = row + 3 * x;
      if (p[0] != 0 || p[1] != 0 || p[2] != 0) continue;
      // The whole block turns NearBlack, so it is examined exactly once.
      bmp.FloodFill(bmp.BoundsRect, x, y, kBlack, kNearBlack, block);
      const bool notWide = 2 * block.Height > 3 * block.Width || block.Count < 12;
      const bool notUpright = 5 * block.Width > block.Height;
      if (notWide && notUpright) bmp.PaintBlock(block, kWhite);
    }
  }
  for (int y = 0; y < bmp.Height; ++y) {
    std::uint8_t* p = bmp.Rows[y];
    for (int x = 0; x < bmp.Width; ++x, p += 3) {
      if (p[0] == 1 && p[1] == 1 && p[2] == 1) p[0] = p[1] = p[2] = 0;
    }
  }
}

}  // namespace kestrelo
