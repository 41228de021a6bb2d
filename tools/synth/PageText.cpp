#include "tools/synth/PageText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <tuple>

#include "common/AtomicFile.h"
#include "common/Error.h"

namespace kestrelo::synth {

struct GlyphFont::Face {
  FT_Library Library = nullptr;
  FT_Face Handle = nullptr;
  int Size = 0;
  ~Face() {
    if (Handle != nullptr) FT_Done_Face(Handle);
    if (Library != nullptr) FT_Done_FreeType(Library);
  }
};

GlyphFont::GlyphFont(const std::filesystem::path& fontFile) : face_(std::make_unique<Face>()) {
  if (FT_Init_FreeType(&face_->Library) != 0) throw Error("FreeType cannot start");
  if (FT_New_Face(face_->Library, fontFile.c_str(), 0, &face_->Handle) != 0) {
    throw FileError(fontFile.string(), "cannot be opened as a font");
  }
}

GlyphFont::~GlyphFont() = default;

const GlyphFont::Glyph& GlyphFont::Get(char32_t code, int pixelSize) {
  const auto key = std::make_pair(code, pixelSize);
  const auto it = cache_.find(key);
  if (it != cache_.end()) return it->second;
  Glyph g;
  if (face_->Size != pixelSize) {
    FT_Set_Pixel_Sizes(face_->Handle, 0, static_cast<FT_UInt>(pixelSize));
    face_->Size = pixelSize;
  }
  // A character the font lacks prints as its missing-glyph box, as a printer would.
  if (FT_Load_Char(face_->Handle, code, FT_LOAD_RENDER) == 0) {
    const FT_GlyphSlot s = face_->Handle->glyph;
    g.Left = s->bitmap_left;
    g.Top = s->bitmap_top;
    g.Width = static_cast<int>(s->bitmap.width);
    g.Height = static_cast<int>(s->bitmap.rows);
    g.Advance = static_cast<int>(s->advance.x >> 6);
    g.Coverage.resize(static_cast<std::size_t>(g.Width) * static_cast<std::size_t>(g.Height));
    for (int y = 0; y < g.Height; ++y) {
      const unsigned char* row =
          s->bitmap.buffer + static_cast<std::ptrdiff_t>(y) * s->bitmap.pitch;
      std::copy(row, row + g.Width, g.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * g.Width);
    }
  } else {
    g.Advance = pixelSize;
  }
  return cache_.emplace(key, std::move(g)).first->second;
}

int GlyphFont::TextWidth(const std::u32string& text, int pixelSize) {
  int w = 0;
  for (char32_t c : text) w += Get(c, pixelSize).Advance;
  return w;
}

std::u32string Utf8ToU32(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + static_cast<std::size_t>(n) > text.size()) {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    char32_t v = n == 1 ? c : c & (0x7F >> n);
    for (int k = 1; k < n; ++k)
      v = (v << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
    out.push_back(v);
    i += static_cast<std::size_t>(n);
  }
  return out;
}

namespace {

std::vector<std::u32string> ReadLines(const std::filesystem::path& file) {
  const std::string text = ReadWholeFile(file);
  std::vector<std::u32string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    lines.push_back(Utf8ToU32(line));
  }
  if (lines.empty()) throw FileError(file.string(), "holds no line of text");
  return lines;
}

// The longest front part of `text` that fits `width`.
std::u32string Fit(const std::u32string& text, int width, int size, GlyphFont& font) {
  int w = 0;
  std::size_t n = 0;
  while (n < text.size()) {
    const int a = font.Get(text[n], size).Advance;
    if (w + a > width) break;
    w += a;
    ++n;
  }
  return text.substr(0, n);
}

constexpr int kA3Width = 2339;  // 297 mm at 200 dpi
constexpr int kA3Height = 3307;
constexpr int kPageMargin = 150;
constexpr int kBodySize = 29;   // 10.5 pt
constexpr int kTitleSize = 46;  // 16.5 pt
constexpr int kLeading = 48;
constexpr int kCardGap = 45;  // blank paper kept around the pasted card

}  // namespace

PageTexts LoadPageTexts(const std::filesystem::path& linesFile,
                        const std::filesystem::path& titlesFile) {
  return PageTexts{ReadLines(linesFile), ReadLines(titlesFile)};
}

PageLayout PlanPage(const SynthCard& card, const PageTexts& texts, GlyphFont& font, Rng& rng,
                    const PagePlacement& place) {
  PageLayout page;
  page.Width = kA3Width;
  page.Height = kA3Height;
  const int cw = card.Print.Width();
  const int ch = card.Print.Height();
  page.CardX = (page.Width - cw) / 2 + rng.Int(-120, 120);
  page.CardY = rng.Int(kPageMargin + 220, page.Height - ch - kPageMargin - 200);
  const int gap = static_cast<int>(std::lround(place.EdgeGap));
  switch (place.EdgeSide) {
    case 0:
      page.CardX = gap - card.Frame.X;
      break;
    case 1:
      page.CardY = gap - card.Frame.Y;
      break;
    case 2:
      page.CardX = page.Width - gap - card.Frame.Right();
      break;
    case 3:
      page.CardY = page.Height - gap - card.Frame.Bottom();
      break;
    default:
      break;
  }
  // Paper between bluish white and old cream.
  const float white = static_cast<float>(rng.Uniform(0.80, 0.90));
  const float warm = static_cast<float>(rng.Uniform(-0.015, 0.04));
  page.Paper[0] = white + warm;
  page.Paper[1] = white + warm * 0.4f;
  page.Paper[2] = white - warm;

  // Nothing is printed within kCardGap of the pasted card.
  const int exLeft = page.CardX - kCardGap;
  const int exRight = page.CardX + cw + kCardGap;
  const int exTop = page.CardY - kCardGap;
  const int exBottom = page.CardY + ch + kCardGap;
  const auto clear = [&](int x, int baseline, int width, int size) {
    return baseline + size / 3 <= exTop || baseline - size >= exBottom || x + width <= exLeft ||
           x >= exRight;
  };

  // Header: title, then the name line.
  const std::u32string& title =
      texts.Titles[static_cast<std::size_t>(rng.Int(0, static_cast<int>(texts.Titles.size()) - 1))];
  const std::u32string fields = U"班级：________  姓名：________  考号：____________";
  for (const auto& [text, size, baseline] : {std::tuple{title, kTitleSize, kPageMargin + 40},
                                             std::tuple{fields, kBodySize, kPageMargin + 120}}) {
    const int width = font.TextWidth(text, size);
    const int x = (page.Width - width) / 2;
    if (clear(x, baseline, width, size)) page.Runs.push_back(TextRun{text, x, baseline, size});
  }

  // Two columns of questions flowing around the card.
  const int colWidth = (page.Width - 2 * kPageMargin - 60) / 2;

  // Question stems ("12．..." ending in an answer bracket), each followed by
  // zero to two indented option lines.
  int question = rng.Int(1, 12);
  int optionLines = 0;
  const auto anyLine = [&] {
    return texts
        .Lines[static_cast<std::size_t>(rng.Int(0, static_cast<int>(texts.Lines.size()) - 1))];
  };
  for (int col = 0; col < 2; ++col) {
    const int x0 = kPageMargin + col * (colWidth + 60);
    const int x1 = x0 + colWidth;
    for (int base = kPageMargin + 200; base < page.Height - kPageMargin - 60; base += kLeading) {
      if (rng.Chance(0.08)) continue;  // room left for working
      // Free spans of this line beside the card.
      std::vector<std::pair<int, int>> spans;
      if (clear(x0, base, x1 - x0, kBodySize)) {
        spans.emplace_back(x0, x1);
      } else {
        if (exLeft - x0 > 4 * kBodySize) spans.emplace_back(x0, exLeft);
        if (x1 - exRight > 4 * kBodySize) spans.emplace_back(exRight, x1);
      }
      for (const auto& [a, b] : spans) {
        std::u32string text;
        int indent = 0;
        if (optionLines > 0) {
          --optionLines;
          text = anyLine();
          if (text.empty() || text[0] != U'A') text = U"A．" + text;
          indent = kBodySize;
        } else {
          for (const char32_t c : std::to_string(question++)) text.push_back(c);
          text += U"．" + anyLine() + U"（　　）";
          optionLines = rng.Int(0, 2);
        }
        text = Fit(text, b - a - indent, kBodySize, font);
        if (!text.empty()) page.Runs.push_back(TextRun{text, a + indent, base, kBodySize});
      }
    }
  }
  const std::u32string folio =
      U"第 " + std::u32string(1, static_cast<char32_t>(U'1' + rng.Int(0, 3))) + U" 页";
  const int folioWidth = font.TextWidth(folio, kBodySize);
  const int folioX = (page.Width - folioWidth) / 2;
  if (clear(folioX, page.Height - kPageMargin / 2, folioWidth, kBodySize)) {
    page.Runs.push_back(TextRun{folio, folioX, page.Height - kPageMargin / 2, kBodySize});
  }
  return page;
}

void PrintText(LinearImage& page, const PageLayout& layout, GlyphFont& font) {
  constexpr float kInk = 0.035f;  // reflectance of printed black
  for (const TextRun& run : layout.Runs) {
    const int top = run.Baseline - run.Size * 3 / 2 - page.OriginY;
    const int bottom = run.Baseline + run.Size - page.OriginY;
    if (bottom < 0 || top >= page.Height) continue;
    int pen = run.X - page.OriginX;
    for (char32_t c : run.Text) {
      const GlyphFont::Glyph& g = font.Get(c, run.Size);
      const int gx = pen + g.Left;
      const int gy = run.Baseline - page.OriginY - g.Top;
      pen += g.Advance;
      if (gx + g.Width <= 0 || gx >= page.Width || gy + g.Height <= 0 || gy >= page.Height)
        continue;
      for (int y = std::max(0, -gy); y < g.Height && gy + y < page.Height; ++y) {
        const unsigned char* cov = g.Coverage.data() + static_cast<std::size_t>(y) * g.Width;
        for (int x = std::max(0, -gx); x < g.Width && gx + x < page.Width; ++x) {
          if (cov[x] == 0) continue;
          const float a = cov[x] / 255.0f;
          float* p = page.Px(gx + x, gy + y);
          for (int k = 0; k < 3; ++k) p[k] = p[k] * (1 - a) + kInk * a;
        }
      }
    }
  }
}

}  // namespace kestrelo::synth
