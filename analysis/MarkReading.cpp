// Mark reading of TRectAnalyse: the judgement of every template cell from its
// record, the result lines of the blocks and the colouring of the sheet
// picture that shows what was taken.
#include <algorithm>
#include <cstdint>
#include <exception>

#include "analysis/AnalysisError.h"
#include "analysis/RectAnalyse.h"
#include "common/Rounding.h"
#include "setup/AnswerKey.h"

namespace kestrelo {

namespace {

constexpr TColorTriple kDebugBlue{255, 0, 0};
// Grey values from here on are the layout's row-line markers, not ink.
constexpr int kFirstMarker = 256;
// A cell with no more pure-black pixels than this has no measurable ink.
constexpr int kMinDarknessPixels = 50;
constexpr int kUnmeasuredDarkness = 200;

TRect ClipTo(const TRect& r, const TRect& bounds) {
  return TRect{std::max(r.Left, bounds.Left), std::max(r.Top, bounds.Top),
               std::min(r.Right, bounds.Right), std::min(r.Bottom, bounds.Bottom)};
}

bool IsUtf8Lead(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

int CharCount(std::string_view s) {
  return static_cast<int>(std::count_if(s.begin(), s.end(), IsUtf8Lead));
}

// The first `n` characters of s.
std::string_view FirstChars(std::string_view s, int n) {
  std::size_t i = 0;
  for (int k = 0; i < s.size(); ++i) {
    if (IsUtf8Lead(s[i]) && k++ == n) break;
  }
  return s.substr(0, i);
}

// Removes blanks and control characters at both ends.
std::string_view TrimBlanks(std::string_view s) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

void TRectAnalyse::Analyse(std::vector<std::string>& answerLines, std::string& examNo,
                           std::string& status) {
  answerLines.clear();
  status = kAnalysisSuccess;
  VerifyText.clear();
  std::string error;
  try {
    AnalyseLayout(error);
    // Verification belongs to the layout step: an error in it fails the
    // analysis, its outcome does not.
    if (error.empty()) VerifyText = ReadVerifys(PaperDevide->PaperCfg->Verifys);
  } catch (const std::exception& e) {
    error = kAnalysisFailed;
    FailReason = e.what();
  }
  if (!error.empty()) {
    status = error;
    return;
  }
  const CardTemplate& tmpl = *PaperDevide->PaperCfg;
  examNo = ReadTestNo(tmpl.TestNo);
  answerLines = ReadQuestions(tmpl.Questions);
}

std::string TRectAnalyse::ReadTestNo(const std::vector<TemplateBlock>& blocks) {
  std::string number;
  for (const TemplateBlock& block : blocks) {
    const std::string line = ReadBlock(block, TReadMode::Answer, {}, true, false, false);
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    number += TrimBlanks(FirstChars(std::string_view(line).substr(eq + 1), 3));
  }
  return number;
}

std::vector<std::string> TRectAnalyse::ReadQuestions(const std::vector<TemplateBlock>& blocks) {
  std::vector<std::string> lines;
  lines.reserve(blocks.size());
  const TAnswer none;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    // A key shorter than the card is the read thread's count error to
    // report; reading goes on without the missing entries.
    const TAnswer& a = AnswerKey != nullptr && i < AnswerKey->size() ? (*AnswerKey)[i] : none;
    lines.push_back(
        ReadBlock(blocks[i], TReadMode::Answer, a.Answer, false, a.IsUnused, a.IsMulti));
  }
  return lines;
}

std::string TRectAnalyse::ReadVerifys(const std::vector<TemplateBlock>& blocks) {
  std::string text;
  if (!EnableVerify) return text;
  for (const TemplateBlock& block : blocks) {
    text += ReadBlock(block, TReadMode::Verify, {}, false, false, false);
  }
  return text;
}

std::string TRectAnalyse::ReadBlock(const TemplateBlock& block, TReadMode mode,
                                    std::string_view keyAnswer, bool numberMode, bool skip,
                                    bool isMulti) {
  MarkList.ClearCellRects();
  const bool answer = mode == TReadMode::Answer;
  if (skip) return answer ? block.Id + "= " : std::string();
  if (PaperDevide == nullptr || PaperDevide->PaperCfg == nullptr || Bmp == nullptr) {
    throw AnalysisError("mark reading has no template or picture");
  }
  const CardTemplate& tmpl = *PaperDevide->PaperCfg;
  const std::vector<GridCellRef> cells = tmpl.BlockCells(block);

  std::string text;
  std::vector<bool> taken(cells.size(), false);
  int n = 0;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const GridCellRef ref = cells[k];
    const bool marked = IsMarked(ref.Line, ref.Colum, mode);
    // Every option of a multiple-choice question is a candidate; otherwise
    // only the marks, among which the darkest may be chosen.
    if (!marked && !isMulti) continue;
    const std::string letter = tmpl.Letter(block, static_cast<int>(k));
    if (marked) {
      text += letter;
      taken[k] = true;
      ++n;
    }
    const TRect content = GetCell(ref.Line, ref.Colum).ContentRect;
    TSortCellRect& entry = MarkList.AddCellRect();
    entry.Line = ref.Line;
    entry.Colum = ref.Colum;
    entry.Letter = letter;
    entry.Darkness = CellDarkness(content);
  }
  MarkList.SortDescending();

  if (!answer) return n == block.BackAnswerNum ? std::string() : std::string(kVerifyFailed);

  const bool chooseDarkest = !isMulti && (cfg_.FForceSingleChoice() || numberMode);
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const GridCellRef ref = cells[k];
    const TRect r = GetCell(ref.Line, ref.Colum).Rect;
    Bmp->PaintBorder(r, 2, true, n == 0 ? kMarkRed : isMulti ? MultiFrameColor : FrameColor);
    if (!taken[k]) continue;
    if (n == 1) {
      Recolour(r, kBlack, SingleMarkColor);
      RecolourInset(r, 2, kWhite, BackColor);
      // A multiple-choice question with one letter is shown as suspect.
      if (isMulti) RecolourInset(r, 2, BackColor, kMarkRed);
      continue;
    }
    RecolourInset(r, 2, kWhite, BackColor);
    Recolour(r, kBlack, MultiMarkColor);
    if (chooseDarkest) {
      const TSortCellRect& darkest = MarkList.Last();
      if (darkest.Line == ref.Line && darkest.Colum == ref.Colum) {
        text = darkest.Letter;
        Recolour(r, MultiMarkColor, SingleMarkColor);
      } else {
        Recolour(r, MultiMarkColor, kBlack);
        if (!numberMode) RecolourInset(r, 2, BackColor, kMarkRed);
      }
    } else if (!isMulti) {
      RecolourInset(r, 2, BackColor, kMarkRed);
    } else if (cfg_.FFixedMultiCount() && n != CharCount(keyAnswer)) {
      RecolourInset(r, 2, MultiMarkColor, kYellow);
    }
  }
  return block.Id + "=" + (text.empty() ? std::string(" ") : text);
}

bool TRectAnalyse::IsMarked(int row, int col, TReadMode mode) {
  const TCellInfo c = GetCell(row, col);
  if (DebugCellRect && Bmp != nullptr) {
    Bmp->PaintBorder(c.Rect, 2, true, kDebugBlue);
    Bmp->PaintBorder(c.ContentRect, 2, true, kDebugBlue);
  }
  const int w = c.ContentRect.Right - c.ContentRect.Left;
  const int h = c.ContentRect.Bottom - c.ContentRect.Top;
  const int cellW = c.Rect.Right - c.Rect.Left;
  bool marked;
  if (cfg_.FAutoJudge()) {
    // A filled box: not much taller than wide, spanning more than a third of
    // the cell, at least 40 % ink, with ink in every column of its middle.
    marked = 5 * w > 4 * h && c.MaxRowDark > 10 && 3 * w > cellW && c.DarkCount > 50 &&
             3 * c.DarkCount > 2 * (c.ContentArea - c.DarkCount) && w + 1 > 10 && c.Filled;
  } else {
    marked = c.DarkCount > JudgeValue && c.ContentArea > 0;
  }
  if (mode == TReadMode::Answer) {
    const TMarginRecord seen{c.DarkCount, c.Rect, row, col};
    if (marked && c.DarkCount < LightestMarked.DarkCount) LightestMarked = seen;
    if (!marked && c.DarkCount > DarkestUnmarked.DarkCount) DarkestUnmarked = seen;
  }
  return marked;
}

int TRectAnalyse::CellDarkness(const TRect& r) const {
  if (Bmp == nullptr || GreyPlane == nullptr) {
    throw AnalysisError("the darkness measure has no picture or grey plane");
  }
  const TIntDynaArrArr& grey = *GreyPlane;
  const TRect c = ClipTo(r, Bmp->BoundsRect);
  std::int64_t n = 0;
  std::int64_t sum = 0;
  for (int y = c.Top; y <= c.Bottom; ++y) {
    if (static_cast<int>(grey.size()) <= y ||
        static_cast<int>(grey[static_cast<std::size_t>(y)].size()) != Bmp->Width) {
      throw AnalysisError("the grey plane does not match the sheet picture");
    }
    const std::uint8_t* p = Bmp->Rows[static_cast<std::size_t>(y)] + 3 * c.Left;
    const int* g = grey[static_cast<std::size_t>(y)].data();
    for (int x = c.Left; x <= c.Right; ++x, p += 3) {
      // Pure black only: the colours painted on finished cells (lime, red,
      // green) share a first byte of 0 but are no ink to measure.
      if ((p[0] | p[1] | p[2]) == 0 && g[x] < kFirstMarker) {
        ++n;
        sum += g[x];
      }
    }
  }
  if (n <= kMinDarknessPixels) return kUnmeasuredDarkness;
  return RoundEven(static_cast<double>(sum) / static_cast<double>(n));
}

void TRectAnalyse::Recolour(const TRect& r, TColorTriple a, TColorTriple b) {
  const TRect c = ClipTo(r, Bmp->BoundsRect);
  for (int y = c.Top; y <= c.Bottom; ++y) {
    std::uint8_t* p = Bmp->Rows[static_cast<std::size_t>(y)] + 3 * c.Left;
    for (int x = c.Left; x <= c.Right; ++x, p += 3) {
      if (p[0] == a.Blue && p[1] == a.Green && p[2] == a.Red) {
        p[0] = b.Blue;
        p[1] = b.Green;
        p[2] = b.Red;
      }
    }
  }
}

void TRectAnalyse::RecolourInset(const TRect& r, int d, TColorTriple a, TColorTriple b) {
  Recolour(TRect{r.Left + d, r.Top + d, r.Right - d, r.Bottom - d}, a, b);
}

}  // namespace kestrelo
