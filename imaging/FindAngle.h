#pragma once
// Locates the answer sheet in a black-and-white frame: from each corner of the
// picture inward, the first large line-like block of ink (a corner of the
// sheet's printed frame) gives one point; the tilt comes from the line
// between two points, refined against the ink along it.
#include "imaging/IntBmp.h"
#include "settings/Cfg.h"

namespace kestrelo {

class TFindAngle {
 public:
  // The settings are consulted for the debug colours at every search.
  explicit TFindAngle(const Tcfg& cfg = Cfg()) : cfg_(&cfg) {}

  void SetBmp(TIntBmp& bmp) { Bmp = &bmp; }

  // Runs the four corner scans; returns how many corners were found (4 = all).
  // Repaints every examined block, so callers that need the frame work on a copy.
  int FindCorners();

  static int EdgeAngle(TPoint a, TPoint b);
  int TopEdgeAngle() const { return EdgeAngle(TopLeft, TopRight); }
  int BottomEdgeAngle() const { return EdgeAngle(BottomLeft, BottomRight); }
  // Among angle-2 .. angle+2, the one along which the line from a meets the
  // most black; the smaller on a tie; `angle` when none meets any.
  int RefineAngle(TPoint a, TPoint b, int angle) const;

  static bool IsLineBlock(const TDotBlock& block);

  TIntBmp* Bmp = nullptr;
  TPoint TopLeft;
  TPoint BottomLeft;
  TPoint TopRight;
  TPoint BottomRight;
  TRect Bounds;

 private:
  const Tcfg* cfg_;
};

}  // namespace kestrelo
