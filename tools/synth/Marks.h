#pragma once
// How pupils fill a card: which boxes they mean and how the marks look —
// soft pencil or pen, full and partial fills, strokes running over the box,
// light marks, erased marks leaving a grey residue, stray dots and scribbles
// — as strokes on the card picture, with a record of every mark.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/synth/Random.h"
#include "tools/synth/Raster.h"
#include "tools/synth/SynthCard.h"

namespace kestrelo::synth {

// What a pupil means: one digit per examinee-number position (empty when
// the card has none) and the letters of each question ("" for left blank).
struct SheetAnswers {
  std::string ExamNumber;
  std::vector<std::string> Answers;
};

// The questions from `firstMulti` (counted from 0) on are multiple choice,
// answered with one to four letters, mostly two or three; the others get one
// letter. Now and then a question is left blank. A random digit at every
// examinee-number position.
SheetAnswers RandomAnswers(const SynthCard& card, Rng& rng, std::size_t firstMulti);
// Where the multiple-choice questions begin when nobody says: the last fifth.
std::size_t DefaultFirstMulti(const SynthCard& card);
// Throws Error when the answers do not fit the card (count, letters, digits).
void CheckAnswers(const SynthCard& card, const SheetAnswers& answers);

enum class Tool { Pencil, BluePen, BlackPen };

struct PointF {
  double X = 0;
  double Y = 0;
};

// One stroke of a pencil or pen, in card picture pixels.
struct InkStroke {
  std::vector<PointF> Path;
  double Width = 4;
  double Strength = 0.5;  // share of light taken where the stroke fully covers paper
  Tool By = Tool::Pencil;
};

// The pupils of a condition.
struct MarkHabits {
  double PenShare = 0.2;  // sheets filled with a pen instead of a pencil
  double DarkLo = 0.72;   // light taken by a filled box, pencil
  double DarkHi = 0.88;
  double PartialShare = 0;                 // intended marks covering only part of the box
  double OverflowShare = 0.05;             // intended marks running well over the box
  int ErasedMin = 0, ErasedMax = 0;        // erased marks per sheet, leaving residue
  int StrayMin = 0, StrayMax = 0;          // dots and scribbles off the boxes
  int AmbiguousMin = 0, AmbiguousMax = 0;  // marks either reading may take
};

// One mark of the truth record.
struct TruthMark {
  int Question = 0;  // from 1; 0 for an examinee-number position or a stray mark
  int Position = 0;  // examinee-number position from 1, else 0
  std::string Letter;
  // "full", "partial", "overflow", "light", "faint", "tick", "cross",
  // "circle", "dash", "erased", "residue", "scribble", "dot".
  std::string Kind;
  bool Intended = false;
  bool Ambiguous = false;
};

struct MarkPlan {
  Tool By = Tool::Pencil;
  std::vector<InkStroke> Strokes;
  std::vector<TruthMark> Marks;
};

MarkPlan PlanMarks(const SynthCard& card, const SheetAnswers& answers, const MarkHabits& habits,
                   Rng& rng);

// Draws the strokes onto `page`, the card's top-left corner lying at page
// coordinates (cardX, cardY). Pencil takes light evenly and leaves the paper's
// tooth showing; pen ink is blue or black and even.
void DrawStrokes(LinearImage& page, const std::vector<InkStroke>& strokes, int cardX, int cardY,
                 std::uint64_t textureSeed);

}  // namespace kestrelo::synth
