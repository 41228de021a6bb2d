#include "tools/synth/SheetSynth.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <set>

#include "common/Error.h"

namespace kestrelo::synth {

namespace {

struct ConditionInfo {
  Condition C;
  const char* Name;
};
constexpr ConditionInfo kConditions[] = {
    {Condition::Clean, "clean"},
    {Condition::Turned, "turned"},
    {Condition::Perspective, "perspective"},
    {Condition::Blurred, "blurred"},
    {Condition::Noisy, "noisy"},
    {Condition::Light, "light"},
    {Condition::LightPencil, "light-pencil"},
    {Condition::Messy, "messy"},
    {Condition::Edges, "edges"},
};

std::uint64_t NameHash(std::string_view s) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

// One generator per order: the card, the condition and the seed all count.
Rng OrderRng(const SheetOrder& order) {
  return Rng(Rng::Mix(order.Seed) ^ NameHash(order.Card) ^
             (static_cast<std::uint64_t>(order.Cond) << 56));
}

// Distance from the frame to the picture's edge on each side (left, top, right, bottom).
std::array<double, 4> Clearance(const FrameCorners& k, const CameraScene& s) {
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (const FramePoint& p : k) {
    x0 = std::min(x0, p.X);
    y0 = std::min(y0, p.Y);
    x1 = std::max(x1, p.X);
    y1 = std::max(y1, p.Y);
  }
  return {x0, y0, s.Width - x1, s.Height - y1};
}

// A coverage within [lo, hi] at which the frame fits; false when none does.
bool FitCoverage(const SynthCard& card, CameraScene& s, double lo, double hi, Rng& rng) {
  std::vector<double> fits;
  for (int i = 0; i <= 200; ++i) {
    const double c = lo + (hi - lo) * i / 200.0;
    s.Coverage = c;
    if (FrameFits(CornersInFrame(card, s), s, 8)) fits.push_back(c);
  }
  if (fits.empty()) return false;
  s.Coverage = fits[static_cast<std::size_t>(rng.Int(0, static_cast<int>(fits.size()) - 1))];
  return true;
}

}  // namespace

const std::vector<Condition>& AllConditions() {
  static const std::vector<Condition> all = [] {
    std::vector<Condition> v;
    for (const ConditionInfo& c : kConditions) v.push_back(c.C);
    return v;
  }();
  return all;
}

const char* ConditionName(Condition c) {
  for (const ConditionInfo& i : kConditions) {
    if (i.C == c) return i.Name;
  }
  return "?";
}

std::optional<Condition> ConditionFromName(std::string_view name) {
  for (const ConditionInfo& i : kConditions) {
    if (name == i.Name) return i.C;
  }
  return std::nullopt;
}

SheetPlan PlanSheet(const SynthCard& card, const SheetOrder& order) {
  Rng rng = OrderRng(order).Fork("scene");
  SheetPlan p;
  CameraScene& s = p.Scene;
  const double sev = rng.Uniform();
  p.Severity = sev;
  const auto lerp = [sev](double a, double b) { return a + (b - a) * sev; };

  // What every frame has.
  s.Angle = rng.Uniform(-2, 2);
  s.TiltX = rng.Uniform(-0.02, 0.02);
  s.TiltY = rng.Uniform(-0.02, 0.02);
  s.ShiftX = rng.Uniform(-0.04, 0.04) * s.Width;
  s.ShiftY = rng.Uniform(-0.04, 0.04) * s.Height;
  s.Defocus = rng.Uniform(0.45, 0.75);
  s.Level = rng.Uniform(0.70, 0.85);
  s.Gradient = rng.Uniform(0, 0.12);
  s.GradientAngle = rng.Uniform(0, 360);
  s.Vignette = rng.Uniform(0.05, 0.15);
  s.Noise = rng.Uniform(1.5, 3);
  for (double& g : s.WhiteBalance) g = rng.Uniform(0.96, 1.04);
  s.JpegQuality = rng.Int(80, 92);
  s.JpegShiftX = rng.Int(0, 7);
  s.JpegShiftY = rng.Int(0, 7);
  s.NoiseSeed = rng.Next();
  // Wood, dark laminate or light grey.
  static const Desk kDesks[] = {Desk{{0.22f, 0.14f, 0.08f}, 0, 0.25},
                                Desk{{0.12f, 0.12f, 0.13f}, 0, 0.05},
                                Desk{{0.42f, 0.40f, 0.36f}, 0, 0.08}};
  p.Surface = kDesks[rng.Int(0, 2)];
  p.Surface.GrainAngle = rng.Uniform(0, 180);
  MarkHabits& h = p.Habits;

  bool wantDesk = false;
  bool wantHand = false;
  switch (order.Cond) {
    case Condition::Clean:
      break;
    case Condition::Turned:
      s.Angle = rng.Sign() * lerp(4, 15);
      break;
    case Condition::Perspective: {
      const double k = lerp(0.04, 0.12);
      const int which = rng.Int(0, 2);
      s.TiltX = which != 1 ? rng.Sign() * k : rng.Uniform(-0.02, 0.02);
      s.TiltY = which != 0 ? rng.Sign() * k : rng.Uniform(-0.02, 0.02);
      s.Angle = rng.Uniform(-3, 3);
      break;
    }
    case Condition::Blurred:
      s.Defocus = lerp(1.0, 1.8);
      s.MotionLength = lerp(0.8, 3.0);
      s.MotionAngle = rng.Uniform(0, 180);
      break;
    case Condition::Noisy:
      s.Noise = lerp(5, 11);
      s.JpegQuality = static_cast<int>(std::lround(lerp(75, 50)));
      break;
    case Condition::Light:
      if (rng.Chance(0.5)) {
        // A dim room: the camera's gain lifts the noise with the picture.
        s.Level = lerp(0.5, 0.28);
        s.Noise *= lerp(1.5, 2.5);
      } else {
        s.Gradient = lerp(0.2, 0.45);
        s.Shadow = lerp(0.2, 0.5);
        s.ShadowSoftness = rng.Uniform(20, 80);
        s.ShadowEdgeX = s.Width * rng.Uniform(0.2, 0.8);
        s.ShadowEdgeY = s.Height * rng.Uniform(0.2, 0.8);
        s.ShadowEdgeAngle = rng.Uniform(0, 360);
      }
      break;
    case Condition::LightPencil: {
      h.PenShare = 0;
      const double dark = lerp(0.62, 0.45);
      h.DarkLo = dark - 0.02;
      h.DarkHi = dark + 0.02;
      break;
    }
    case Condition::Messy:
      h.PartialShare = lerp(0.1, 0.3);
      h.OverflowShare = lerp(0.15, 0.35);
      h.ErasedMin = 1;
      h.ErasedMax = 3;
      h.StrayMin = 1;
      h.StrayMax = 3;
      h.AmbiguousMin = 1;
      h.AmbiguousMax = 2;
      break;
    case Condition::Edges:
      wantDesk = rng.Chance(0.6);
      wantHand = rng.Chance(0.6) || !wantDesk;
      break;
  }

  // Fit the frame into the picture and the corner search's reach. A desk or
  // a hand at the edges needs room there: the lower half of the range.
  const double lo = std::clamp(std::min(order.CoverageLo, order.CoverageHi), 0.2, 1.0);
  double hi = std::clamp(std::max(order.CoverageLo, order.CoverageHi), 0.2, 1.0);
  if (order.Cond == Condition::Edges) hi = (lo + hi) / 2;
  bool fitted = FitCoverage(card, s, lo, hi, rng);
  for (int attempt = 0; !fitted && attempt < 30; ++attempt) {
    p.Reduced = true;
    s.Angle *= 0.85;
    s.TiltX *= 0.85;
    s.TiltY *= 0.85;
    s.ShiftX *= 0.7;
    s.ShiftY *= 0.7;
    fitted = FitCoverage(card, s, lo, hi, rng);
  }
  if (!fitted) s.Coverage = (lo + hi) / 2;

  const double scale = s.Coverage * s.Width / card.Frame.W;
  const std::array<double, 4> room = Clearance(CornersInFrame(card, s), s);
  if (wantDesk) {
    // The paper ends between the frame and the picture's edge on one side.
    const int first = rng.Int(0, 3);
    for (int i = 0; i < 4 && p.Place.EdgeSide < 0; ++i) {
      const int side = (first + i) % 4;
      const double least = side == 1 ? card.Frame.Y + 12.0 : 48.0;  // the header stays on the paper
      const double most = room[static_cast<std::size_t>(side)] * 0.8 / scale;
      if (most <= least + 10) continue;
      p.Place.EdgeSide = side;
      p.Place.EdgeGap = rng.Uniform(least, most);
    }
    if (p.Place.EdgeSide < 0) wantHand = true;
  }
  if (wantHand) {
    s.FingerWidth = 16 * 200 / 25.4 * scale;  // a finger 16 mm wide at the card's 200 dpi
    const int first = rng.Int(0, 3);
    int roomiest = first;
    for (int i = 0; i < 4 && s.Hand < 0; ++i) {
      const int side = (first + i) % 4;
      const double most = room[static_cast<std::size_t>(side)] - 10;
      if (most > room[static_cast<std::size_t>(roomiest)] - 10) roomiest = side;
      if (most < s.FingerWidth) continue;
      s.Hand = side;
      s.HandDepth = rng.Uniform(std::max(s.FingerWidth, most * 0.4), most);
    }
    if (s.Hand < 0) {
      // Only fingertips fit, short of the frame.
      s.Hand = roomiest;
      s.HandDepth = std::max(4.0, room[static_cast<std::size_t>(roomiest)] - 8);
    }
    s.HandAlong = rng.Uniform(0.2, 0.8);
  }
  return p;
}

SheetSynth::SheetSynth(SynthSources sources)
    : sources_(std::move(sources)),
      font_(std::make_unique<GlyphFont>(sources_.Font)),
      texts_(LoadPageTexts(sources_.Data / "page-text.txt", sources_.Data / "titles.txt")) {}

SheetSynth::~SheetSynth() = default;

const SynthCard& SheetSynth::Card(const std::string& name) {
  auto it = cards_.find(name);
  if (it == cards_.end()) {
    it = cards_
             .emplace(name, std::make_unique<SynthCard>(
                                LoadSynthCard(sources_.Templates, sources_.Geometry, name)))
             .first;
  }
  return *it->second;
}

SynthSheet SheetSynth::Make(const SheetOrder& order) {
  const SynthCard& card = Card(order.Card);
  const SheetPlan plan = PlanSheet(card, order);
  const Rng base = OrderRng(order);
  Rng answerRng = base.Fork("answers");
  Rng markRng = base.Fork("marks");
  Rng pageRng = base.Fork("page");
  const std::size_t firstMulti = order.FirstMulti.value_or(DefaultFirstMulti(card));
  SheetAnswers answers = RandomAnswers(card, answerRng, firstMulti);
  if (order.ExamNumber) answers.ExamNumber = *order.ExamNumber;
  if (order.Answers) answers.Answers = *order.Answers;
  const MarkPlan marks = PlanMarks(card, answers, plan.Habits, markRng);
  const PageLayout page = PlanPage(card, texts_, *font_, pageRng, plan.Place);

  SynthSheet out;
  out.Frame = Shoot(card, page, marks, plan.Surface, *font_, plan.Scene);
  GroundTruth& t = out.Truth;
  t.Card = card.Name;
  t.Family = card.Family;
  t.Cond = order.Cond;
  t.Seed = order.Seed;
  t.Severity = plan.Severity;
  t.ExamNumber = answers.ExamNumber;
  t.Answers = answers.Answers;
  t.FirstMulti = firstMulti;
  t.Ambiguous.assign(answers.Answers.size(), std::string());
  for (const TruthMark& m : marks.Marks) {
    if (m.Ambiguous && m.Question > 0)
      t.Ambiguous[static_cast<std::size_t>(m.Question - 1)] += m.Letter;
  }
  t.By = marks.By;
  t.Marks = marks.Marks;
  t.Scene = plan.Scene;
  t.Corners = CornersInFrame(card, plan.Scene);
  t.DeskSide = plan.Place.EdgeSide;
  t.Reduced = plan.Reduced;
  return out;
}

std::string TruthJson(const GroundTruth& t) {
  using Json = nlohmann::ordered_json;
  static const char* const kTools[] = {"pencil", "blue pen", "black pen"};
  static const char* const kSides[] = {"left", "top", "right", "bottom"};
  Json j;
  j["card"] = t.Card;
  j["family"] = t.Family;
  j["condition"] = ConditionName(t.Cond);
  j["seed"] = t.Seed;
  j["severity"] = t.Severity;
  j["examNumber"] = t.ExamNumber;
  Json answers = Json::array();
  for (std::size_t q = 0; q < t.Answers.size(); ++q) {
    Json a;
    a["question"] = q + 1;
    a["intended"] = t.Answers[q];
    if (!t.Ambiguous[q].empty()) a["ambiguous"] = t.Ambiguous[q];
    answers.push_back(a);
  }
  j["answers"] = answers;
  j["multipleChoiceFrom"] = t.FirstMulti + 1;
  j["tool"] = kTools[static_cast<int>(t.By)];
  Json marks = Json::array();
  for (const TruthMark& m : t.Marks) {
    Json o;
    if (m.Question > 0) o["question"] = m.Question;
    if (m.Position > 0) o["position"] = m.Position;
    if (!m.Letter.empty()) o["letter"] = m.Letter;
    o["kind"] = m.Kind;
    o["intended"] = m.Intended;
    o["ambiguous"] = m.Ambiguous;
    marks.push_back(o);
  }
  j["marks"] = marks;
  const CameraScene& s = t.Scene;
  Json c;
  c["coverage"] = s.Coverage;
  c["angle"] = s.Angle;
  c["tilt"] = {s.TiltX, s.TiltY};
  c["shift"] = {s.ShiftX, s.ShiftY};
  c["defocus"] = s.Defocus;
  c["motion"] = {s.MotionLength, s.MotionAngle};
  c["level"] = s.Level;
  c["gradient"] = s.Gradient;
  c["vignette"] = s.Vignette;
  c["shadow"] = s.Shadow;
  c["noise"] = s.Noise;
  c["jpegQuality"] = s.JpegQuality;
  if (s.Hand >= 0) c["hand"] = kSides[s.Hand];
  if (t.DeskSide >= 0) c["deskBeyond"] = kSides[t.DeskSide];
  c["reduced"] = t.Reduced;
  j["camera"] = c;
  Json corners = Json::array();
  for (const FramePoint& p : t.Corners) corners.push_back({p.X, p.Y});
  j["frameCorners"] = corners;
  return j.dump(2) + "\n";
}

bool AnswerAccepted(const GroundTruth& truth, std::size_t q, std::string_view read) {
  if (q >= truth.Answers.size()) return false;
  std::set<char> r, meant, either;
  for (char c : read) {
    if (c != ' ') r.insert(c);
  }
  for (char c : truth.Answers[q]) meant.insert(c);
  for (char c : truth.Ambiguous[q]) either.insert(c);
  for (char c : meant) {
    if (either.count(c) == 0 && r.count(c) == 0) return false;
  }
  for (char c : r) {
    if (meant.count(c) == 0 && either.count(c) == 0) return false;
  }
  return true;
}

}  // namespace kestrelo::synth
