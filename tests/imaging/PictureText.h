#pragma once
// Tiny pictures written as text in tests: '#' black, '.' white, 'n' NearBlack,
// '2' the (2,2,2) of examined ink, 'y' yellow, 'w' a grey of 128.
#include <string>
#include <vector>

#include "imaging/IntBmp.h"
#include "imaging/Picture.h"

namespace kestrelo::test {

inline TColorTriple ColourOf(char c) {
  switch (c) {
    case '#': return kBlack;
    case 'n': return kNearBlack;
    case '2': return kDealtBlack;
    case 'y': return kYellow;
    case 'w': return TColorTriple{128, 128, 128};
    default: return kWhite;
  }
}

inline char CharOf(const std::uint8_t* p) {
  const TColorTriple c{p[0], p[1], p[2]};
  for (char k : std::string("#n2yw.")) {
    if (ColourOf(k) == c) return k;
  }
  return '?';
}

inline Picture FromText(const std::vector<std::string>& rows) {
  Picture pic(rows.empty() ? 0 : static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < pic.Height(); ++y) {
    for (int x = 0; x < pic.Width(); ++x) {
      const TColorTriple c = ColourOf(rows[y][x]);
      std::uint8_t* p = pic.Pixel(x, y);
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }
  }
  return pic;
}

inline std::vector<std::string> ToText(const Picture& pic) {
  std::vector<std::string> rows;
  for (int y = 0; y < pic.Height(); ++y) {
    std::string row;
    for (int x = 0; x < pic.Width(); ++x) row += CharOf(pic.Pixel(x, y));
    rows.push_back(row);
  }
  return rows;
}

// A picture of one grey level everywhere.
inline Picture Uniform(int w, int h, std::uint8_t grey) {
  Picture pic(w, h);
  pic.Fill(grey, grey, grey);
  return pic;
}

inline void FillRect(Picture& pic, int left, int top, int right, int bottom, TColorTriple c) {
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      std::uint8_t* p = pic.Pixel(x, y);
      p[0] = c.Blue;
      p[1] = c.Green;
      p[2] = c.Red;
    }
  }
}

}  // namespace kestrelo::test
