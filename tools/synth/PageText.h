#pragma once
// The printed test paper around the card: a header, two columns of question
// text that flow around the pasted card, and a page number, in the pinned CJK
// font at the card picture's resolution.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/synth/Random.h"
#include "tools/synth/Raster.h"
#include "tools/synth/SynthCard.h"

namespace kestrelo::synth {

// Glyphs of one font file, rendered by FreeType and kept.
class GlyphFont {
 public:
  // Throws FileError when the font file cannot be opened.
  explicit GlyphFont(const std::filesystem::path& fontFile);
  ~GlyphFont();
  GlyphFont(const GlyphFont&) = delete;
  GlyphFont& operator=(const GlyphFont&) = delete;

  struct Glyph {
    int Left = 0;  // from the pen position to the bitmap's left edge
    int Top = 0;   // from the baseline up to the bitmap's top row
    int Width = 0;
    int Height = 0;
    int Advance = 0;                      // pixels to the next pen position
    std::vector<unsigned char> Coverage;  // Width x Height, 0..255
  };
  const Glyph& Get(char32_t code, int pixelSize);
  int TextWidth(const std::u32string& text, int pixelSize);

 private:
  struct Face;
  std::unique_ptr<Face> face_;
  std::map<std::pair<char32_t, int>, Glyph> cache_;
};

// Lines of question text and paper headers (UTF-8 files, "#" lines skipped).
struct PageTexts {
  std::vector<std::u32string> Lines;
  std::vector<std::u32string> Titles;
};
// Throws FileError when a file is missing or holds no line.
PageTexts LoadPageTexts(const std::filesystem::path& linesFile,
                        const std::filesystem::path& titlesFile);

std::u32string Utf8ToU32(const std::string& text);

struct TextRun {
  std::u32string Text;
  int X = 0;  // pen position of the first glyph
  int Baseline = 0;
  int Size = 0;  // pixels per em
};

struct PageLayout {
  int Width = 0;  // the paper, in card picture pixels
  int Height = 0;
  int CardX = 0;  // where the card picture's top-left corner lies on the paper
  int CardY = 0;
  float Paper[3] = {0.85f, 0.85f, 0.85f};  // reflectance of blank paper, R G B
  std::vector<TextRun> Runs;
};

// Where the card goes on the page. Normally near the middle; with an edge
// side, the paper ends that close to the card's frame, so the desk shows.
struct PagePlacement {
  int EdgeSide = -1;   // -1 none, 0 left, 1 top, 2 right, 3 bottom
  double EdgeGap = 0;  // card picture pixels from the frame's outer edge to the paper's edge
};

// An A3 page (portrait, at the card picture's 200 dots per inch) with the
// card pasted in and text all around it.
PageLayout PlanPage(const SynthCard& card, const PageTexts& texts, GlyphFont& font, Rng& rng,
                    const PagePlacement& place = {});

// Prints the runs that reach into `page` (a piece of the paper) in black.
void PrintText(LinearImage& page, const PageLayout& layout, GlyphFont& font);

}  // namespace kestrelo::synth
