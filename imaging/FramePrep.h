#pragma once
// The frame watch's work on one frame, free of any window: binarise the frame
// in 12 x 12 blocks by the user's darkness, clean it, find the four corner
// marks and the skew, and decide whether the sheet may be read.
#include <string>

#include "imaging/FindAngle.h"
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"
#include "settings/Cfg.h"

namespace kestrelo {

struct FrameCleaning {
  int Darkness = 30;  // 0..50, the "颜色浓度" value
  bool RemoveBorder = false;
  bool RemoveSpecks = false;
};

// The cleaning the settings ask for, with the user's darkness value.
inline FrameCleaning CleaningFrom(const Tcfg& cfg, int darkness) {
  return FrameCleaning{darkness, cfg.FRemoveBorder(), cfg.FRemoveSpecks()};
}

// 0.5 + darkness / 100, as the single-precision factor of the binarisation.
float DarknessFactor(int darkness);

// Loads the frame into `work` (which then reads and writes the frame's
// pixels in place), binarises and cleans it.
void PrepareFrame(TIntBmp& work, Picture& frame, const FrameCleaning& cleaning);

struct SheetLocation {
  int CornerCount = 0;
  TPoint TopLeft, TopRight, BottomLeft, BottomRight;
  TRect Bounds;
  int Skew = 1000;  // whole degrees; 1000 = not measured
  bool Accepted = false;
  std::string Message;  // the text shown for a refused frame, " " otherwise
};

inline constexpr int kMaxSkew = 40;
inline constexpr const char* kNoAnswerArea = "未找到有效的答题区";
inline constexpr const char* kSheetNotStraight = "分析失败，请将答题卡放正,大小约占视频选区的2/3";

// Finds the corners on the prepared frame and measures the skew from the
// edge whose ends differ more in height (the bottom one on a tie). Repaints
// examined ink (see TFindAngle::FindCorners).
SheetLocation LocateSheet(TIntBmp& work, TFindAngle& finder);

// Whether the four marks form a plausible rectangle, so guide lines are drawn.
bool PlausibleRectangle(const SheetLocation& loc);

}  // namespace kestrelo
