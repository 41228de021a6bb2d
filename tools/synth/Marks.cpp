#include "tools/synth/Marks.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "common/Error.h"

namespace kestrelo::synth {

namespace {

bool HasLetter(const std::string& answer, const std::string& letter) {
  return !letter.empty() && answer.find(letter) != std::string::npos;
}

// How one box is filled: the covered part of the box as shares of its width
// and height, how far the strokes run over each side, and the stroke.
struct FillShape {
  double X0 = 0, X1 = 1, Y0 = 0, Y1 = 1;
  double OverLeft = 0, OverRight = 0, OverTop = 0, OverBottom = 0;
  double Width = 5;
  double Spacing = 3.5;
  double Strength = 0.8;
  int Pattern = 0;  // 0 back and forth across, 1 slanting, 2 up and down
};

// The pupil's hand: the same tool, pressure and way of filling on every box.
struct Hand {
  Tool By = Tool::Pencil;
  double Dark = 0.8;
  double Width = 5;
  double Spacing = 3.5;
  int Pattern = 0;
  double Overshoot = 1.5;
};

double Jitter(Rng& rng, double amount) { return rng.Uniform(-amount, amount); }

InkStroke FillBox(const Box& b, const FillShape& s, Tool by, Rng& rng) {
  InkStroke st;
  st.By = by;
  st.Width = s.Width;
  st.Strength = s.Strength;
  const double left = b.X + s.X0 * b.W - s.OverLeft;
  const double right = b.X + s.X1 * b.W + s.OverRight;
  const double top = b.Y + s.Y0 * b.H - s.OverTop;
  const double bottom = b.Y + s.Y1 * b.H + s.OverBottom;
  const double half = s.Width / 2;
  if (s.Pattern == 2) {
    // Up and down, drifting right.
    bool down = true;
    for (double x = left + half * 0.8; x <= right - half * 0.6 + 0.01; x += s.Spacing) {
      st.Path.push_back(PointF{x + Jitter(rng, 0.6),
                               (down ? top + half * 0.7 : bottom - half * 0.7) + Jitter(rng, 1.2)});
      down = !down;
    }
  } else {
    // Back and forth, drifting down; slanting strokes lean by a third of the height.
    const double lean = s.Pattern == 1 ? (bottom - top) / 3 : 0;
    bool toRight = rng.Chance(0.5);
    for (double y = top + half * 0.8; y <= bottom - half * 0.6 + 0.01; y += s.Spacing) {
      const double x =
          toRight ? right - half * 0.7 + Jitter(rng, 1.5) : left + half * 0.7 + Jitter(rng, 1.5);
      st.Path.push_back(PointF{x, y + (toRight ? -lean / 2 : lean / 2) + Jitter(rng, 0.6)});
      toRight = !toRight;
    }
  }
  if (st.Path.size() < 2) {
    const double y = (top + bottom) / 2;
    st.Path = {PointF{left + half, y}, PointF{right - half, y}};
  }
  return st;
}

std::vector<PointF> Ellipse(double cx, double cy, double rx, double ry, Rng& rng) {
  std::vector<PointF> p;
  const double start = rng.Uniform(0, 2 * std::numbers::pi);
  const double sweep = 2 * std::numbers::pi * rng.Uniform(1.0, 1.15);
  for (int i = 0; i <= 24; ++i) {
    const double a = start + sweep * i / 24;
    p.push_back(
        PointF{cx + rx * std::cos(a) + Jitter(rng, 0.5), cy + ry * std::sin(a) + Jitter(rng, 0.5)});
  }
  return p;
}

// A mark made the wrong way: tick, cross, circle or dash.
std::vector<InkStroke> WrongWayMark(const Box& b, int kind, const Hand& hand, Rng& rng) {
  const double w = std::max(2.0, hand.Width * 0.7);
  auto stroke = [&](std::vector<PointF> path) {
    return InkStroke{std::move(path), w, hand.Dark, hand.By};
  };
  const double x = b.X, y = b.Y, W = b.W, H = b.H;
  switch (kind) {
    case 0:
      return {stroke({PointF{x + 0.15 * W, y + 0.5 * H}, PointF{x + 0.4 * W, y + 0.95 * H},
                      PointF{x + 0.9 * W, y + 0.0 * H}})};
    case 1:
      return {stroke({PointF{x + 0.15 * W, y + 0.05 * H}, PointF{x + 0.85 * W, y + 0.95 * H}}),
              stroke({PointF{x + 0.85 * W, y + 0.05 * H}, PointF{x + 0.15 * W, y + 0.95 * H}})};
    case 2:
      return {stroke(Ellipse(x + W / 2, y + H / 2, 0.42 * W, 0.55 * H, rng))};
    default:
      return {stroke({PointF{x + 0.08 * W, y + 0.5 * H + Jitter(rng, 1)},
                      PointF{x + 0.92 * W, y + 0.5 * H + Jitter(rng, 1)}})};
  }
}

struct Planner {
  const SynthCard& Card;
  const MarkHabits& Habits;
  Rng& R;
  Hand H;
  MarkPlan Plan;

  FillShape Normal() {
    FillShape s;
    s.Width = H.Width * R.Uniform(0.9, 1.1);
    s.Spacing = H.Spacing * R.Uniform(0.9, 1.1);
    s.Strength = std::clamp(H.Dark + Jitter(R, 0.04), 0.05, 0.97);
    s.Pattern = H.Pattern;
    s.OverLeft = R.Uniform(0, H.Overshoot);
    s.OverRight = R.Uniform(0, H.Overshoot);
    s.OverTop = R.Uniform(0, H.Overshoot * 0.5);
    s.OverBottom = R.Uniform(0, H.Overshoot * 0.5);
    return s;
  }

  // An intended mark in a box, shaped by the habits; returns its kind.
  std::string Intended(const Box& b) {
    FillShape s = Normal();
    std::string kind = H.Dark < 0.7 && H.By == Tool::Pencil ? "light" : "full";
    if (R.Chance(Habits.PartialShare)) {
      kind = "partial";
      switch (R.Int(0, 2)) {
        case 0:  // one end left out
          if (R.Chance(0.5))
            s.X1 = R.Uniform(0.6, 0.8);
          else
            s.X0 = R.Uniform(0.2, 0.4);
          break;
        case 1:  // a thick band through the middle
          s.Y0 = R.Uniform(0.12, 0.22);
          s.Y1 = R.Uniform(0.78, 0.88);
          s.OverTop = s.OverBottom = 0;
          break;
        default:  // kept well inside the outline
          s.X0 = R.Uniform(0.08, 0.14);
          s.X1 = R.Uniform(0.86, 0.92);
          s.Y0 = R.Uniform(0.1, 0.18);
          s.Y1 = R.Uniform(0.82, 0.9);
          s.OverLeft = s.OverRight = s.OverTop = s.OverBottom = 0;
          break;
      }
    } else if (R.Chance(Habits.OverflowShare)) {
      kind = "overflow";
      const double bandX = std::max(2, Card.ColumnPitch - b.W);
      const double bandY = std::max(2, Card.RowPitch - b.H);
      s.OverLeft = R.Chance(0.6) ? R.Uniform(0.2, 0.5) * bandX : s.OverLeft;
      s.OverRight = R.Chance(0.6) ? R.Uniform(0.2, 0.5) * bandX : s.OverRight;
      s.OverTop = R.Chance(0.4) ? R.Uniform(0.2, 0.45) * bandY : s.OverTop;
      s.OverBottom = R.Chance(0.4) ? R.Uniform(0.2, 0.45) * bandY : s.OverBottom;
    }
    Plan.Strokes.push_back(FillBox(b, s, H.By, R));
    // Some pupils go over a box twice.
    if (R.Chance(0.15)) {
      FillShape again = s;
      again.Pattern = (s.Pattern + 1) % 3;
      again.Strength = s.Strength * 0.5;
      Plan.Strokes.push_back(FillBox(b, again, H.By, R));
    }
    return kind;
  }

  // What stays of a mark rubbed out: a grey trace over the box and a faint smudge around.
  void Residue(const Box& b, double strength) {
    FillShape s = Normal();
    s.Strength = strength;
    Plan.Strokes.push_back(FillBox(b, s, H.By, R));
    FillShape smudge;
    smudge.Width = H.Width * 2;
    smudge.Spacing = H.Width * 1.5;
    smudge.Strength = strength * 0.35;
    smudge.OverLeft = smudge.OverRight = R.Uniform(1, 4);
    smudge.OverTop = smudge.OverBottom = R.Uniform(0, 2);
    smudge.Pattern = 1;
    Plan.Strokes.push_back(FillBox(b, smudge, H.By, R));
  }

  bool ClearOfBoxes(double x0, double y0, double x1, double y1) const {
    for (const Box& b : Card.AllBoxes) {
      if (x1 >= b.X - 3 && x0 <= b.Right() + 3 && y1 >= b.Y - 3 && y0 <= b.Bottom() + 3)
        return false;
    }
    // Away from the frame line too: ink touching it is another matter.
    const Box& f = Card.Frame;
    const double m = Card.FrameLine + 4;
    const bool nearOuter =
        x1 >= f.X - m && x0 <= f.Right() + m && y1 >= f.Y - m && y0 <= f.Bottom() + m;
    const bool insideInner =
        x0 >= f.X + m && x1 <= f.Right() - m && y0 >= f.Y + m && y1 <= f.Bottom() - m;
    return !nearOuter || insideInner;
  }

  void Stray() {
    for (int attempt = 0; attempt < 60; ++attempt) {
      const double x = R.Uniform(10, Card.Print.Width() - 10);
      const double y = R.Uniform(10, Card.Print.Height() - 10);
      const bool dot = R.Chance(0.5);
      std::vector<PointF> path;
      if (dot) {
        path = {PointF{x, y}, PointF{x + R.Uniform(0.3, 1.5), y + Jitter(R, 1)}};
      } else {
        double px = x, py = y;
        path.push_back(PointF{px, py});
        for (int i = R.Int(2, 5); i > 0; --i) {
          px += Jitter(R, 12);
          py += Jitter(R, 7);
          path.push_back(PointF{px, py});
        }
      }
      double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
      const double width = dot ? R.Uniform(3.5, 6) : H.Width * 0.6;
      for (const PointF& p : path) {
        x0 = std::min(x0, p.X - width);
        y0 = std::min(y0, p.Y - width);
        x1 = std::max(x1, p.X + width);
        y1 = std::max(y1, p.Y + width);
      }
      if (x0 < 0 || y0 < 0 || x1 >= Card.Print.Width() || y1 >= Card.Print.Height()) continue;
      if (!ClearOfBoxes(x0, y0, x1, y1)) continue;
      Plan.Strokes.push_back(InkStroke{path, width, H.Dark * R.Uniform(0.7, 1.0), H.By});
      Plan.Marks.push_back(TruthMark{0, 0, "", dot ? "dot" : "scribble", false, false});
      return;
    }
  }
};

}  // namespace

SheetAnswers RandomAnswers(const SynthCard& card, Rng& rng, std::size_t firstMulti) {
  SheetAnswers a;
  for (const std::vector<Choice>& pos : card.ExamPositions) {
    a.ExamNumber +=
        pos[static_cast<std::size_t>(rng.Int(0, static_cast<int>(pos.size()) - 1))].Letter;
  }
  for (std::size_t i = 0; i < card.Questions.size(); ++i) {
    const std::vector<Choice>& q = card.Questions[i];
    const double r = rng.Uniform();
    int count = 1;
    if (r < 0.04) {
      count = 0;
    } else if (i >= firstMulti) {
      count = r < 0.15 ? 1 : r < 0.6 ? 2 : r < 0.92 ? 3 : 4;
    }
    count = std::min(count, static_cast<int>(q.size()));
    std::vector<int> picked;
    while (static_cast<int>(picked.size()) < count) {
      const int k = rng.Int(0, static_cast<int>(q.size()) - 1);
      if (std::find(picked.begin(), picked.end(), k) == picked.end()) picked.push_back(k);
    }
    std::sort(picked.begin(), picked.end());
    std::string answer;
    for (int k : picked) answer += q[static_cast<std::size_t>(k)].Letter;
    a.Answers.push_back(answer);
  }
  return a;
}

std::size_t DefaultFirstMulti(const SynthCard& card) {
  return card.Questions.size() - card.Questions.size() / 5;
}

void CheckAnswers(const SynthCard& card, const SheetAnswers& answers) {
  if (card.ExamPositions.empty() && !answers.ExamNumber.empty()) {
    throw Error(card.Name + " has no examinee number");
  }
  if (!card.ExamPositions.empty()) {
    if (answers.ExamNumber.size() != card.ExamPositions.size()) {
      throw Error("the examinee number must have " + std::to_string(card.ExamPositions.size()) +
                  " digits on " + card.Name);
    }
    for (std::size_t p = 0; p < card.ExamPositions.size(); ++p) {
      const std::string digit(1, answers.ExamNumber[p]);
      const auto& pos = card.ExamPositions[p];
      if (std::none_of(pos.begin(), pos.end(),
                       [&](const Choice& c) { return c.Letter == digit; })) {
        throw Error("examinee number position " + std::to_string(p + 1) + ": no box for " + digit);
      }
    }
  }
  if (answers.Answers.size() != card.Questions.size()) {
    throw Error(card.Name + " has " + std::to_string(card.Questions.size()) + " questions, " +
                std::to_string(answers.Answers.size()) + " answers given");
  }
  for (std::size_t q = 0; q < answers.Answers.size(); ++q) {
    for (char c : answers.Answers[q]) {
      const std::string l(1, c);
      const auto& opts = card.Questions[q];
      if (std::none_of(opts.begin(), opts.end(), [&](const Choice& o) { return o.Letter == l; })) {
        throw Error("answer " + std::to_string(q + 1) + ": no option " + l);
      }
    }
  }
}

MarkPlan PlanMarks(const SynthCard& card, const SheetAnswers& answers, const MarkHabits& habits,
                   Rng& rng) {
  CheckAnswers(card, answers);
  Planner p{card, habits, rng, Hand{}, MarkPlan{}};
  Hand& h = p.H;
  if (rng.Chance(habits.PenShare)) {
    h.By = rng.Chance(0.7) ? Tool::BluePen : Tool::BlackPen;
    h.Dark = rng.Uniform(0.82, 0.92);
    h.Width = rng.Uniform(2.2, 3.2);
    h.Spacing = h.Width * rng.Uniform(0.6, 0.85);
  } else {
    h.By = Tool::Pencil;
    h.Dark = rng.Uniform(habits.DarkLo, habits.DarkHi);
    h.Width = rng.Uniform(4.0, 6.0);
    h.Spacing = h.Width * rng.Uniform(0.55, 0.8);
  }
  h.Pattern = rng.Chance(0.7) ? 0 : rng.Chance(0.65) ? 1 : 2;
  h.Overshoot = rng.Uniform(0.5, 3.0);
  p.Plan.By = h.By;

  // Ambiguous marks first choose their questions, so that the intended
  // marks there are drawn their way.
  struct Odd {
    int Question;
    int Kind;  // 0 wrong-way mark, 1 faint fill, 2 heavy residue, 3 scribble across
    std::string Letter;
  };
  std::vector<Odd> odd;
  std::set<int> taken;
  const int nq = static_cast<int>(card.Questions.size());
  const int ambiguous = nq == 0 ? 0 : rng.Int(habits.AmbiguousMin, habits.AmbiguousMax);
  for (int i = 0; i < ambiguous; ++i) {
    const int q = rng.Int(0, nq - 1);
    if (!taken.insert(q).second) continue;
    const auto& opts = card.Questions[static_cast<std::size_t>(q)];
    const std::string& answer = answers.Answers[static_cast<std::size_t>(q)];
    std::vector<std::string> marked, empty;
    for (const Choice& c : opts) (HasLetter(answer, c.Letter) ? marked : empty).push_back(c.Letter);
    const int kind = rng.Int(0, 3);
    if (kind <= 1 && !marked.empty()) {
      odd.push_back(
          Odd{q, kind,
              marked[static_cast<std::size_t>(rng.Int(0, static_cast<int>(marked.size()) - 1))]});
    } else if (kind >= 2 && !empty.empty()) {
      odd.push_back(
          Odd{q, kind,
              empty[static_cast<std::size_t>(rng.Int(0, static_cast<int>(empty.size()) - 1))]});
    }
  }
  auto oddAt = [&](int q, const std::string& letter) -> const Odd* {
    for (const Odd& o : odd) {
      if (o.Question == q && o.Letter == letter) return &o;
    }
    return nullptr;
  };

  for (std::size_t pos = 0; pos < card.ExamPositions.size(); ++pos) {
    for (const Choice& c : card.ExamPositions[pos]) {
      if (c.Letter != std::string(1, answers.ExamNumber[pos])) continue;
      const std::string kind = p.Intended(c.Where);
      p.Plan.Marks.push_back(TruthMark{0, static_cast<int>(pos) + 1, c.Letter, kind, true, false});
    }
  }
  for (int q = 0; q < nq; ++q) {
    for (const Choice& c : card.Questions[static_cast<std::size_t>(q)]) {
      const Odd* o = oddAt(q, c.Letter);
      const bool meant = HasLetter(answers.Answers[static_cast<std::size_t>(q)], c.Letter);
      if (o == nullptr) {
        if (meant) {
          const std::string kind = p.Intended(c.Where);
          p.Plan.Marks.push_back(TruthMark{q + 1, 0, c.Letter, kind, true, false});
        }
        continue;
      }
      std::string kind;
      switch (o->Kind) {
        case 0: {
          const int way = rng.Int(0, 3);
          static const char* const kWays[] = {"tick", "cross", "circle", "dash"};
          kind = kWays[way];
          for (InkStroke& s : WrongWayMark(c.Where, way, h, rng))
            p.Plan.Strokes.push_back(std::move(s));
          break;
        }
        case 1: {
          kind = "faint";
          FillShape s = p.Normal();
          s.Strength = rng.Uniform(0.22, 0.35);
          p.Plan.Strokes.push_back(FillBox(c.Where, s, h.By, rng));
          break;
        }
        case 2:
          kind = "residue";
          p.Residue(c.Where, rng.Uniform(0.3, 0.45));
          break;
        default: {
          kind = "scribble";
          const Box& b = c.Where;
          std::vector<PointF> path;
          for (int i = 0; i < 5; ++i) {
            path.push_back(
                PointF{b.X + b.W * rng.Uniform(0.05, 0.95), b.Y + b.H * rng.Uniform(0.0, 1.0)});
          }
          p.Plan.Strokes.push_back(InkStroke{path, h.Width * 0.6, h.Dark, h.By});
          break;
        }
      }
      p.Plan.Marks.push_back(TruthMark{q + 1, 0, c.Letter, kind, meant, true});
    }
  }

  // Changed minds: a box marked, rubbed out, another one marked.
  const int erased = rng.Int(habits.ErasedMin, habits.ErasedMax);
  for (int i = 0; i < erased; ++i) {
    const bool inNumber = !card.ExamPositions.empty() && rng.Chance(0.25);
    const auto& groups = inNumber ? card.ExamPositions : card.Questions;
    if (groups.empty()) continue;
    const int g = rng.Int(0, static_cast<int>(groups.size()) - 1);
    if (!inNumber && taken.count(g) != 0) continue;
    const std::string meant = inNumber
                                  ? std::string(1, answers.ExamNumber[static_cast<std::size_t>(g)])
                                  : answers.Answers[static_cast<std::size_t>(g)];
    std::vector<const Choice*> empty;
    for (const Choice& c : groups[static_cast<std::size_t>(g)]) {
      if (!HasLetter(meant, c.Letter)) empty.push_back(&c);
    }
    if (empty.empty()) continue;
    const Choice& c =
        *empty[static_cast<std::size_t>(rng.Int(0, static_cast<int>(empty.size()) - 1))];
    p.Residue(c.Where, rng.Uniform(0.08, 0.18));
    p.Plan.Marks.push_back(
        TruthMark{inNumber ? 0 : g + 1, inNumber ? g + 1 : 0, c.Letter, "erased", false, false});
    if (!inNumber) taken.insert(g);
  }

  const int strays = rng.Int(habits.StrayMin, habits.StrayMax);
  for (int i = 0; i < strays; ++i) p.Stray();
  return std::move(p.Plan);
}

void DrawStrokes(LinearImage& page, const std::vector<InkStroke>& strokes, int cardX, int cardY,
                 std::uint64_t textureSeed) {
  // Paper tooth (fine) and hand pressure (coarse) for pencil.
  const ValueNoise tooth(textureSeed, 1.3);
  const ValueNoise pressure(textureSeed ^ 0x5A5Aull, 9.0);
  for (const InkStroke& s : strokes) {
    if (s.Path.empty()) continue;
    float absorb[3] = {1.0f, 1.0f, 1.0f};
    switch (s.By) {
      case Tool::Pencil:
        absorb[0] = 1.0f;
        absorb[1] = 1.0f;
        absorb[2] = 0.97f;
        break;
      case Tool::BluePen:
        absorb[0] = 0.92f;
        absorb[1] = 0.78f;
        absorb[2] = 0.32f;
        break;
      case Tool::BlackPen:
        absorb[0] = absorb[1] = absorb[2] = 0.97f;
        break;
    }
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    for (const PointF& p : s.Path) {
      x0 = std::min(x0, p.X);
      y0 = std::min(y0, p.Y);
      x1 = std::max(x1, p.X);
      y1 = std::max(y1, p.Y);
    }
    const double r = s.Width / 2 + 1;
    const int px0 = std::max(0, static_cast<int>(std::floor(x0 - r)) + cardX - page.OriginX);
    const int py0 = std::max(0, static_cast<int>(std::floor(y0 - r)) + cardY - page.OriginY);
    const int px1 =
        std::min(page.Width - 1, static_cast<int>(std::ceil(x1 + r)) + cardX - page.OriginX);
    const int py1 =
        std::min(page.Height - 1, static_cast<int>(std::ceil(y1 + r)) + cardY - page.OriginY);
    for (int py = py0; py <= py1; ++py) {
      for (int px = px0; px <= px1; ++px) {
        // Card picture coordinates of the pixel centre.
        const double u = px + page.OriginX - cardX + 0.5;
        const double v = py + page.OriginY - cardY + 0.5;
        double d2 = 1e18;
        const std::size_t segments = std::max<std::size_t>(1, s.Path.size() - 1);
        for (std::size_t i = 0; i < segments; ++i) {
          const PointF& a = s.Path[i];
          const PointF& b = s.Path[std::min(i + 1, s.Path.size() - 1)];
          const double dx = b.X - a.X, dy = b.Y - a.Y;
          const double len2 = dx * dx + dy * dy;
          double t = len2 > 0 ? ((u - a.X) * dx + (v - a.Y) * dy) / len2 : 0;
          t = std::clamp(t, 0.0, 1.0);
          const double ex = a.X + t * dx - u, ey = a.Y + t * dy - v;
          d2 = std::min(d2, ex * ex + ey * ey);
        }
        const double cover = std::clamp(s.Width / 2 + 0.5 - std::sqrt(d2), 0.0, 1.0);
        if (cover <= 0) continue;
        // Both textures average 1, so a fill takes about its Strength of the light.
        double texture = 1;
        double most = 0.97;
        if (s.By == Tool::Pencil) {
          const double t = tooth.At(u, v);
          texture = (0.6 + 0.4 * t * t * (3 - 2 * t)) / 0.8 * (0.88 + 0.24 * pressure.At(u, v));
          most = 0.92;  // graphite shines: never quite black
        } else {
          texture = 0.965 + 0.07 * tooth.At(u, v);
        }
        const float a = static_cast<float>(std::min(most, s.Strength * cover * texture));
        float* p = page.Px(px, py);
        for (int k = 0; k < 3; ++k) p[k] *= 1.0f - a * absorb[k];
      }
    }
  }
}

}  // namespace kestrelo::synth
