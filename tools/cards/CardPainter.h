#pragma once
// Draws a laid-out card with Qt: into a picture (the ".PaperCard", with its
// anchor pixels) and into a print-ready PDF page (vector, no anchors). Boxes,
// frame and dashes are pixel-aligned rectangles drawn without antialiasing,
// so their edges are exactly where the layout put them; only text and the
// hand-drawn marks are antialiased.
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/Picture.h"
#include "tools/cards/CardLayout.h"

class QPainter;

namespace kestrelo::cards {

// Call once before drawing: registers the pinned CJK font file. Throws Error
// when it is missing, so every machine draws with the same font.
void LoadCardFont(const std::filesystem::path& fontFile);
inline constexpr const char* kCardFontFile = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

void PaintCard(QPainter& p, const CardStyle& style, const Card& card, const CardFilling* filling);

// The card picture: white paper, the card, then the anchor pixels.
Picture RenderCardPicture(const CardStyle& style, const Card& card, const CardFilling* filling);

// The picture of a label group: five question numbers from `first`, or the
// true/false label when first is 0. `fromAnchorColumn` is the anchor column
// the picture is pasted at (0: the true/false anchor, NumberLabelOffset():
// the number anchor; the picture then starts that many columns further in).
Picture RenderLabelPicture(const CardStyle& style, int rowPitch, int first, int fromAnchorColumn);

// An A4 portrait page with the card at its printed size at the top.
std::string RenderCardPdf(const CardStyle& style, const Card& card, const CardFilling* filling);

}  // namespace kestrelo::cards
