#pragma once
// A card of the set as the synthesiser fills it: the printed picture the
// card generator drew, where each option and digit box lies on it, and
// which box answers which question or examinee-number position. The boxes
// come from the generator's geometry record, their meaning from the card's
// template, so the synthesiser fills exactly what the reader will look at.
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/Picture.h"

namespace kestrelo::synth {

// Picture pixels: columns X .. X+W-1, rows Y .. Y+H-1.
struct Box {
  int X = 0;
  int Y = 0;
  int W = 0;
  int H = 0;
  int Right() const { return X + W; }
  int Bottom() const { return Y + H; }
};

struct Choice {
  std::string Letter;  // UTF-8, as the template's "BackValue" gives it
  Box Where;
};

struct SynthCard {
  std::string Name;
  std::string Family;  // "A" or "B"
  // The card as printed: white paper, no anchor pixels.
  Picture Print;
  Box Frame;  // outer edge of the printed frame
  int FrameLine = 0;
  int RowPitch = 0;
  int ColumnPitch = 0;
  // Every printed lattice box (options, digits, labels, examples), for the
  // placement of stray marks.
  std::vector<Box> AllBoxes;
  std::vector<std::vector<Choice>> ExamPositions;  // per position, its digits
  std::vector<std::vector<Choice>> Questions;      // per question, its options
};

// Reads `<templates>/<name>.PaperCard` and `.Config` and `<geometry>/<name>.json`.
// Throws FileError naming the file when one is missing or does not fit the others.
SynthCard LoadSynthCard(const std::filesystem::path& templates,
                        const std::filesystem::path& geometry, const std::string& name);

// A path from UTF-8 text (card names are Chinese).
std::filesystem::path Utf8Path(const std::string& utf8);

}  // namespace kestrelo::synth
