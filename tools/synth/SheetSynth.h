#pragma once
// The sheet synthesiser: a card of the set, filled in by a pupil and seen
// through a webcam as the frame watch receives it, with its ground truth.
// Deterministic: the same order (card, condition, seed, answers) gives the
// same frame, bit for bit.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/Picture.h"
#include "tools/synth/Camera.h"
#include "tools/synth/Marks.h"
#include "tools/synth/PageText.h"
#include "tools/synth/SynthCard.h"

namespace kestrelo::synth {

// What disturbs a sheet. Every frame has some of everything (a little turn,
// blur, noise, compression); a condition turns one disturbance up. Within a
// condition a severity from 0 (mild) to 1 (strong) sets how far.
enum class Condition {
  Clean,        // well lit, nearly straight, careful pencil or pen marks
  Turned,       // turned 4-15 degrees
  Perspective,  // camera not straight above: keystone 4-12 %
  Blurred,      // out of focus, moving
  Noisy,        // sensor noise and heavy compression
  Light,        // dim room or uneven light with a shadow across
  LightPencil,  // pressed lightly: fills taking only 45-65 % of the light
  Messy,        // partial and overflowing fills, erased marks, stray marks, ambiguous marks
  Edges,        // desk or a hand at the selection's edges
};

const std::vector<Condition>& AllConditions();
const char* ConditionName(Condition c);  // "clean", "turned", ...
std::optional<Condition> ConditionFromName(std::string_view name);

// Where the synthesiser finds its material.
struct SynthSources {
  std::filesystem::path Templates;  // the program's PaperTemplate folder (.Config, .PaperCard)
  std::filesystem::path Geometry;   // the card generator's box records
  std::filesystem::path Data;       // page-text.txt and titles.txt
  std::filesystem::path Font;       // the pinned CJK font
};

struct SheetOrder {
  std::string Card;
  Condition Cond = Condition::Clean;
  std::uint32_t Seed = 1;
  // What the pupil means; each part random when not given.
  std::optional<std::string> ExamNumber;
  std::optional<std::vector<std::string>> Answers;
  // Random answers: the questions from this one (counted from 0) on are
  // multiple choice; unset: the last fifth (DefaultFirstMulti).
  std::optional<std::size_t> FirstMulti;
  // The printed frame's width as a share of the camera picture's width; the
  // default is the range the card set is made to read at. Within it a share
  // is chosen that keeps the turned frame inside the picture and its corners
  // within the corner search's reach; where none does, the turn and tilt are
  // reduced until one does (the user straightens the sheet when the program
  // does not find it). Edges takes the lower half, leaving room at the edges.
  double CoverageLo = 0.60;
  double CoverageHi = 0.85;
};

struct GroundTruth {
  std::string Card;
  std::string Family;
  Condition Cond = Condition::Clean;
  std::uint32_t Seed = 0;
  double Severity = 0;
  std::string ExamNumber;            // "" when the card has none
  std::vector<std::string> Answers;  // intended letters per question ("" blank)
  std::size_t FirstMulti = 0;        // random answers: multiple choice from this question (from 0)
  // Per question, the letters whose mark was made ambiguous on purpose: a
  // reading with or without any of them is acceptable.
  std::vector<std::string> Ambiguous;
  Tool By = Tool::Pencil;
  std::vector<TruthMark> Marks;
  CameraScene Scene;
  FrameCorners Corners{};
  int DeskSide = -1;     // the paper's edge shows at this side of the card, -1 none
  bool Reduced = false;  // the turn or tilt had to be reduced to fit
};

// The truth as JSON text (UTF-8).
std::string TruthJson(const GroundTruth& truth);

struct SynthSheet {
  Picture Frame;
  GroundTruth Truth;
};

// Keeps the font's glyphs and the cards it has loaded: one per thread.
class SheetSynth {
 public:
  // Loads the font and the page texts; throws FileError when one is missing.
  explicit SheetSynth(SynthSources sources);
  ~SheetSynth();

  // The card, loaded once; FileError when its material is missing or bad.
  const SynthCard& Card(const std::string& name);
  // Error when given answers do not fit the card.
  SynthSheet Make(const SheetOrder& order);

 private:
  SynthSources sources_;
  std::unique_ptr<GlyphFont> font_;
  PageTexts texts_;
  std::map<std::string, std::unique_ptr<SynthCard>> cards_;
};

// The camera, the page placement and the pupils of a condition, drawn from
// the order's seed (exposed for the tests).
struct SheetPlan {
  CameraScene Scene;
  MarkHabits Habits;
  PagePlacement Place;
  Desk Surface;
  double Severity = 0;
  bool Reduced = false;
};
SheetPlan PlanSheet(const SynthCard& card, const SheetOrder& order);

// Whether a read answer is right for question q of the truth: equal to the
// intended letters, give or take the ambiguous ones. Letters compare as sets.
bool AnswerAccepted(const GroundTruth& truth, std::size_t q, std::string_view read);

}  // namespace kestrelo::synth
