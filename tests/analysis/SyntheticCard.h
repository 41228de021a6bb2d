#pragma once
// Black-and-white card pictures drawn at known places: frame lines around a
// regular lattice of outlined option boxes, with the template that matches
// them. Shared by the analysis tests and the analysis benchmark.
#include <algorithm>
#include <string>
#include <vector>

#include "imaging/IntBmp.h"
#include "imaging/Picture.h"

namespace kestrelo::test {

struct CardPlan {
  int Rows = 10;  // grid rows ("LineCount"), including a middle-line row
  int Cols = 8;   // grid columns ("ColumCount")
  int PitchX = 24;
  int PitchY = 20;
  int BoxW = 16;
  int BoxH = 12;
  int Outline = 1;    // box outline thickness
  int LineThick = 3;  // frame line thickness
  int Margin = 30;    // white paper around the frame
  int Inset = 8;      // from a frame line's inner edge to the first box
  // Row index whose boxes give way to a third horizontal frame line through
  // its middle; -1 for two lines.
  int MiddleLineRow = -1;
  // Row index whose boxes are drawn this much taller, so that the row lines
  // around it lie further apart (the examinee-number gap); -1 for none.
  int TallRow = -1;
  int TallBy = 0;
  // Rows x columns of boxes painted solid, as pencil marks.
  std::vector<std::pair<int, int>> Filled;
};

struct Card {
  Picture Sheet;
  // Box[row][col]: the printed box (inclusive); rows without boxes hold the
  // place of the middle line (a zero rectangle).
  std::vector<std::vector<TRect>> Box;
  std::vector<int> HorizontalLines;  // y of the line row the division picks (its last row)
  std::vector<int> VerticalLines;
};

inline void FillBox(Picture& pic, const TRect& r, TColorTriple c) {
  for (int y = r.Top; y <= r.Bottom; ++y) {
    for (int x = r.Left; x <= r.Right; ++x) {
      std::uint8_t* p = pic.Pixel(x, y);
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }
  }
}

inline int RowTop(const CardPlan& s, int row) {
  int y = s.Margin + s.LineThick + s.Inset + row * s.PitchY;
  if (s.TallRow >= 0 && row > s.TallRow) y += s.TallBy;
  return y;
}

inline Card DrawCard(const CardPlan& s) {
  // Boxes sit centred in their pitch; the last pitch ends Inset before the line.
  const int gridInnerW = s.Cols * s.PitchX - (s.PitchX - s.BoxW);
  const int gridInnerH =
      RowTop(s, s.Rows - 1) + s.BoxH + (s.TallRow == s.Rows - 1 ? s.TallBy : 0) - RowTop(s, 0);
  const int frameW = s.LineThick * 2 + s.Inset * 2 + gridInnerW;
  const int frameH = s.LineThick * 2 + s.Inset * 2 + gridInnerH;
  Card card;
  card.Sheet = Picture(frameW + 2 * s.Margin, frameH + 2 * s.Margin);
  Picture& pic = card.Sheet;
  const int left = s.Margin;
  const int top = s.Margin;
  const int right = left + frameW - 1;
  const int bottom = top + frameH - 1;
  FillBox(pic, {left, top, right, top + s.LineThick - 1}, kBlack);
  FillBox(pic, {left, bottom - s.LineThick + 1, right, bottom}, kBlack);
  FillBox(pic, {left, top, left + s.LineThick - 1, bottom}, kBlack);
  FillBox(pic, {right - s.LineThick + 1, top, right, bottom}, kBlack);
  card.HorizontalLines = {top + s.LineThick - 1};
  card.VerticalLines = {left + s.LineThick - 1, right};

  card.Box.assign(static_cast<std::size_t>(s.Rows),
                  std::vector<TRect>(static_cast<std::size_t>(s.Cols)));
  for (int r = 0; r < s.Rows; ++r) {
    const int y0 = RowTop(s, r);
    if (r == s.MiddleLineRow) {
      const int mid = y0 + s.BoxH / 2 - s.LineThick / 2;
      FillBox(pic, {left, mid, right, mid + s.LineThick - 1}, kBlack);
      card.HorizontalLines.push_back(mid + s.LineThick - 1);
      continue;
    }
    for (int c = 0; c < s.Cols; ++c) {
      const int x0 = left + s.LineThick + s.Inset + c * s.PitchX;
      const int h = s.BoxH + (r == s.TallRow ? s.TallBy : 0);
      const TRect box{x0, y0, x0 + s.BoxW - 1, y0 + h - 1};
      card.Box[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = box;
      const int o = s.Outline - 1;
      FillBox(pic, {box.Left, box.Top, box.Right, box.Top + o}, kBlack);
      FillBox(pic, {box.Left, box.Bottom - o, box.Right, box.Bottom}, kBlack);
      FillBox(pic, {box.Left, box.Top, box.Left + o, box.Bottom}, kBlack);
      FillBox(pic, {box.Right - o, box.Top, box.Right, box.Bottom}, kBlack);
    }
  }
  for (const auto& [r, c] : s.Filled) {
    FillBox(pic, card.Box[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)], kBlack);
  }
  card.HorizontalLines.push_back(bottom);
  std::sort(card.HorizontalLines.begin(), card.HorizontalLines.end());
  return card;
}

// The template of a drawn card: one sub-rectangle over the whole grid, a
// question block down each column ("ABCD..." letters) and no cleared areas.
inline std::string CardTemplateText(const CardPlan& s, int testNoAreaBlank = -1) {
  const int lines = s.MiddleLineRow >= 0 ? 3 : 2;
  std::string q;
  for (int c = 0; c < s.Cols; ++c) {
    if (!q.empty()) q += ",";
    q += R"({"Id":")" + std::to_string(c + 1) +
         R"(","PaperRects_ID":1,"StartPosLine":1,"StartPosColum":)" + std::to_string(c + 1) +
         R"(,"GridNum":)" + std::to_string(s.Rows) + R"(,"Orient":"TopBottom","BackValue":")" +
         std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ").substr(0, s.Rows) + R"(","BackAnswerNum":0})";
  }
  return R"({"DevidePaper":{"LinesThreadCount":)" + std::to_string(lines) +
         R"(,"ColumsThreadCount":2,"LineCount":)" + std::to_string(s.Rows) + R"(,"ColumCount":)" +
         std::to_string(s.Cols) +
         R"(,"ClearRects":[],"PaperRects":{"PaperRect1":{"Left":0,"Top":0,"Right":1,"Bottom":)" +
         std::to_string(lines - 1) + R"(,"LineCount":)" + std::to_string(s.Rows) +
         R"(,"ColumCount":)" + std::to_string(s.Cols) + R"(,"FirstCellLine":1,"FirstCellColum":1}}},
  "SplitConfig":{"TestNoAreaBlank":)" +
         std::to_string(testNoAreaBlank) + R"(},
  "TestNo":[],"Questions":[)" +
         q + R"(],"Verifys":[]})";
}

}  // namespace kestrelo::test
