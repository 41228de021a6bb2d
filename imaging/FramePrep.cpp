#include "imaging/FramePrep.h"

#include <cstdlib>

#include "imaging/BorderBlobs.h"
#include "imaging/DotBlockRemoval.h"

namespace kestrelo {

float DarknessFactor(int darkness) { return static_cast<float>(darkness * 0.01 + 0.5); }

void PrepareFrame(TIntBmp& work, Picture& frame, const FrameCleaning& cleaning) {
  work.LoadBitmap(frame);
  work.BinariseBlocks(12, DarknessFactor(cleaning.Darkness));
  if (cleaning.RemoveBorder) RemoveBorderBlobs(work);
  RemoveSpecks(work, cleaning.RemoveSpecks);
}

SheetLocation LocateSheet(TIntBmp& work, TFindAngle& finder) {
  SheetLocation loc;
  loc.Message = " ";
  finder.SetBmp(work);
  loc.CornerCount = finder.FindCorners();
  loc.TopLeft = finder.TopLeft;
  loc.TopRight = finder.TopRight;
  loc.BottomLeft = finder.BottomLeft;
  loc.BottomRight = finder.BottomRight;
  loc.Bounds = finder.Bounds;
  if (loc.CornerCount < 4) {
    loc.Message = kNoAnswerArea;
    return loc;
  }
  if (std::abs(finder.TopRight.Y - finder.TopLeft.Y) >
      std::abs(finder.BottomRight.Y - finder.BottomLeft.Y)) {
    loc.Skew = finder.RefineAngle(finder.TopLeft, finder.TopRight, finder.TopEdgeAngle());
  } else {
    loc.Skew = finder.RefineAngle(finder.BottomLeft, finder.BottomRight, finder.BottomEdgeAngle());
  }
  if (std::abs(loc.Skew) > kMaxSkew) {
    loc.Message = kSheetNotStraight;
    return loc;
  }
  loc.Accepted = true;
  return loc;
}

bool PlausibleRectangle(const SheetLocation& l) {
  return std::abs(l.TopLeft.X - l.BottomLeft.X) < 300 && std::abs(l.TopLeft.Y - l.TopRight.Y) < 300 &&
         std::abs(l.TopRight.X - l.BottomRight.X) < 300 &&
         std::abs(l.BottomLeft.Y - l.BottomRight.Y) < 300;
}

}  // namespace kestrelo
