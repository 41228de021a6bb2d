#pragma once
// Sheet division: finds the card's printed frame lines on the black-and-white
// sheet picture (the longest ink runs per row and column), turns the
// template's line-indexed sub-rectangles into pixel rectangles and clears the
// areas the template excludes from reading.
#include <vector>

#include "analysis/CardTemplate.h"
#include "analysis/SortList.h"
#include "imaging/IntBmp.h"

namespace kestrelo {

// One sub-rectangle of the card in pixel coordinates of the sheet picture.
struct TPaperRect {
  int Left = 0;  // x of the vertical frame line named by the template's "Left"
  int Top = 0;   // y of the horizontal frame line named by "Top"
  int Right = 0;
  int Bottom = 0;
  int LineCount = 0;  // the template's values, unchanged
  int ColumCount = 0;
  int FirstCellLine = 1;  // grid row (from 1) of its first cell
  int FirstCellColum = 1;
};

// Picks `count` peaks of `runs` in the order they are found (the largest
// value, the last of equal ones), clearing (length div divisor) entries on
// each side of every peak before the next; appends them to `out` unsorted.
// `runs` is used up. divisor must be positive.
void PickFrameLines(std::vector<int>& runs, int count, int divisor, TsortList& out);

class TPaperRectDevide {
 public:
  // The template must outlive the division (it is read, not copied).
  void SetPaperConfig(const CardTemplate& config) { PaperCfg = &config; }

  // Runs the division on Bmp (black-and-white, loaded): fills LineList,
  // ColumList (ascending), GridRect and PaperRects and turns the cleared
  // areas' black into NearBlack. Throws AnalysisError when Bmp or the
  // template is missing or a line index is outside the lines found.
  void Devide();

  int LinesThreadCount = 0;
  int ColumsThreadCount = 0;
  TIntBmp* Bmp = nullptr;  // not owned
  // First to last vertical line (Left/Right), first to last horizontal line.
  TRect GridRect;
  int LineCount = 0;                       // grid rows
  int ColumCount = 0;                      // grid columns
  std::vector<TPaperRect> PaperRects;      // element i is "PaperRect<i+1>"
  TsortList LineList;                      // y of the horizontal frame lines, ascending
  TsortList ColumList;                     // x of the vertical frame lines, ascending
  const CardTemplate* PaperCfg = nullptr;  // not owned
};

}  // namespace kestrelo
