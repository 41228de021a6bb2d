#pragma once
// Runs of a black-pixel profile ("line segments"): the row and column lines
// of the grid are the centres of the light runs between rows and columns of
// printed boxes.
#include <string>
#include <vector>

namespace kestrelo {

inline constexpr int kDarkRun = 0;
inline constexpr int kLightRun = 16777215;

// One run. Along y (row profile): Y1..Y2 inclusive, MidY its centre, and X1,
// X2, MidX hold the threshold that produced it; along x the other way round.
struct TXianDuan {
  int No = 0;  // position when added, from 1; not renumbered after deletions
  int X1 = 0;
  int Y1 = 0;
  int X2 = 0;
  int Y2 = 0;
  int MidX = 0;
  int MidY = 0;
  int Len = 0;
  int Color = kDarkRun;  // kDarkRun (profile above the threshold) or kLightRun
};

class TXianDuanList {
 public:
  // A new run numbered Count (after adding); it becomes Current. The
  // reference stays valid until the list changes.
  TXianDuan& AddSegment();
  void DeleteSegment(int index);
  void ClearSegments();
  TXianDuan& GetSegment(int index);
  const TXianDuan& GetSegment(int index) const;
  // Keeps the runs of colour c, in order.
  void KeepColor(int c);
  int Count() const { return static_cast<int>(segments_.size()); }
  const std::vector<TXianDuan>& Segments() const { return segments_; }
  int CurrentIndex() const { return current_; }

  int Threshold = 0;  // the threshold this candidate was cut at

 private:
  std::vector<TXianDuan> segments_;
  mutable int current_ = -1;
};

// The twofold spacing check of a candidate's interior gaps.
struct TGapCheck {
  std::string Msg;  // "两倍错" when the check fails
  bool OK = true;
  int Spread = 0;  // MaxGap - MinGap
  int MaxGap = -1;
  int MinGap = 10000;
  int MaxIndex = -1;  // gap g lies between lines g and g+1; -1: no interior gap
  int MinIndex = -1;
};

// Why a strip found no lines; only for the debug pictures.
struct TLineDiag {
  int BestVariance = 10000;
  int BestSpread = 10000;
  TGapCheck GapCheck;
  std::string Text;  // at most 100 bytes in GBK
};

}  // namespace kestrelo
