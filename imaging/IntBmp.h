#pragma once
// The integer grey-level bitmap on which all sheet analysis works. It is
// attached in place to a caller's 24-bit picture: binarisation and drawing
// change that picture, and the grey level of every pixel is kept in `Grey`.
//
// Colour convention shared by all analysis: ink is exact black, paper white;
// ink that has been dealt with is repainted in another colour (a flood-fill
// colour or NearBlack), so later searches for black no longer see it while
// the picture still looks the same on screen.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/Picture.h"

namespace kestrelo {

// One pixel colour in memory order blue, green, red.
struct TColorTriple {
  std::uint8_t Blue = 0;
  std::uint8_t Green = 0;
  std::uint8_t Red = 0;
  bool operator==(const TColorTriple&) const = default;
};

inline constexpr TColorTriple kBlack{0, 0, 0};
inline constexpr TColorTriple kWhite{255, 255, 255};
inline constexpr TColorTriple kNearBlack{1, 1, 1};
inline constexpr TColorTriple kDealtBlack{2, 2, 2};  // examined ink: corner search, line rows
inline constexpr TColorTriple kYellow{0, 255, 255};
inline constexpr TColorTriple kGuideGrey{128, 128, 128};

// A window-system colour: low byte red, then green, then blue. A value with
// the top byte 0xFF names a system colour (clBtnFace and the like).
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clHighlight = 0xFF00000D;

// Inclusive rectangle: columns Left..Right, rows Top..Bottom.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TRect&) const = default;
};

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

// A flood-fill point and the pixel one step further in the direction it was
// reached from (the seed points at itself).
struct TFindPoint {
  std::int32_t X;
  std::int32_t Y;
  std::int32_t NextX;
  std::int32_t NextY;
};
using TFindPointArr = std::vector<TFindPoint>;

using TIntDynaArr = std::vector<int>;
using TIntDynaArrArr = std::vector<TIntDynaArr>;

// One connected block found by a flood fill. `Points` shares the storage of
// the point buffer the fill used: it is valid until the next fill into that
// buffer; the box and Count are values.
struct TDotBlock {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width = 0;
  int Height = 0;
  int Count = 0;
  const TFindPoint* Points = nullptr;

  std::span<const TFindPoint> PointSpan() const {
    return {Points, static_cast<std::size_t>(Count)};
  }
};

TColorTriple ColorToTriple(TColor colour);

class TIntBmp {
 public:
  TIntBmp() = default;
  TIntBmp(const TIntBmp&) = delete;
  TIntBmp& operator=(const TIntBmp&) = delete;

  // Attaches the picture (not owned; it must outlive the use) and sizes the
  // grey matrix, row table and point buffers to it.
  void LoadBitmap(Picture& picture);

  void BinariseBlocks(int blockCount, float factor);
  void BinariseGlobal(int threshold);

  static TColorTriple ColorToTriple(TColor colour) { return kestrelo::ColorToTriple(colour); }

  // No bounds check: callers stay inside the picture.
  void SetPixel(int row, int col, TColorTriple c) {
    std::uint8_t* p = Rows[row] + 3 * col;
    p[0] = c.Blue;
    p[1] = c.Green;
    p[2] = c.Red;
  }
  // False outside the picture, which keeps every scan safe at the edges.
  bool IsColor(int row, int col, TColorTriple c) const {
    if (row < 0 || row >= Height || col < 0 || col >= Width) return false;
    const std::uint8_t* p = Rows[row] + 3 * col;
    return p[0] == c.Blue && p[1] == c.Green && p[2] == c.Red;
  }
  // No bounds check: callers stay inside the picture.
  bool IsDark(int row, int col) const { return Rows[row][3 * col] < 10; }

  void DrawDot(TPoint p, TColor colour);
  void DrawHBand(const TRect& r, int y, int thickness, TColor colour);
  void DrawVBand(const TRect& r, int x, int thickness, TColor colour);
  void PaintBorder(const TRect& r, int thickness, bool paint, TColorTriple colour);
  void PaintBlock(const TDotBlock& block, TColorTriple colour);
  void ReplaceBlack(const TRect& r);
  void MaxRuns(TIntDynaArr& columnRuns, TIntDynaArr& rowRuns, TColorTriple colour) const;
  static int PixelCount(const TRect& r);

  void FloodFill(const TRect& r, int x, int y, TColorTriple match, TColorTriple fill,
                 TDotBlock& block);
  void FloodFillBuf(TFindPointArr& buffer, const TRect& r, int x, int y, TColorTriple match,
                    TColorTriple fill, TDotBlock& block);

  bool Binarised = false;
  std::array<TFindPointArr, 2> PointBufs;
  TRect BoundsRect;
  Picture* Bitmap = nullptr;
  std::vector<std::uint8_t*> Rows;
  TIntDynaArrArr Grey;
  int Width = 0;
  int Height = 0;

 private:
  std::vector<std::uint8_t> greyRows_;  // one block row of grey levels while binarising
  bool Inside(int row, int col) const { return row >= 0 && row < Height && col >= 0 && col < Width; }
};

}  // namespace kestrelo
