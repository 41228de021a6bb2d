// The card design sweep: draws cards in several box designs, photographs
// them at several camera scales, turns and blurs (tools/cards/CameraView.h),
// reads them as the program does and counts, per design and condition, the
// sheets whose grid was found with every cell on its printed box, the empty
// boxes that pass the automatic mark test and the pencil-filled boxes that
// fail it. Its numbers chose the card style in data/cards/style.json.
//
//   kestrelo-cards-sweep [--designs] [--harsh] [--scales] [--darkness] [--strips]
//   kestrelo-cards-sweep --shot CARD SHARE ANGLE [OUT_FOLDER]
//
// Without options all parts run (a few minutes on one core). --shot reads
// one photographed card with the chosen style and tells what happened,
// writing the camera frame and the binarised sheet to OUT_FOLDER if given.
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/CardTemplate.h"
#include "imaging/BmpFile.h"
#include "tools/cards/CameraView.h"
#include "tools/cards/CardLayout.h"
#include "tools/cards/CardPainter.h"

using namespace kestrelo;
using namespace kestrelo::cards;

namespace {

struct Design {
  std::string Name;
  OutlineStyle Style;
  int Outline;
};

struct Condition {
  double Share;
  double Angle;
  double Blur;
  int Darkness;
  int Strips;
  std::uint32_t Seed;
  double Noise = 3;
  double LightFall = 0;
};

struct Tally {
  int Sheets = 0;
  int Located = 0;
  int GridFound = 0;
  int CellsOnBoxes = 0;  // sheets whose every cell holds its box
  int Empty = 0, EmptyMarked = 0;
  int Filled = 0, FilledMissed = 0;
  double WorstOverhang = 0;
  // Largest ink share of the content rectangle among empty boxes that pass
  // the dark-count and widest-row tests, where the share alone keeps them unmarked.
  double EmptyInk = 0;
  double FilledInk = 1;  // smallest ink share of a filled box's

  void Add(const Tally& o) {
    Sheets += o.Sheets;
    Located += o.Located;
    GridFound += o.GridFound;
    CellsOnBoxes += o.CellsOnBoxes;
    Empty += o.Empty;
    EmptyMarked += o.EmptyMarked;
    Filled += o.Filled;
    FilledMissed += o.FilledMissed;
    WorstOverhang = std::max(WorstOverhang, o.WorstOverhang);
    EmptyInk = std::max(EmptyInk, o.EmptyInk);
    FilledInk = std::min(FilledInk, o.FilledInk);
  }
};

constexpr double kTolerance = 2.0;  // camera pixels a box may reach beyond its cell

struct PreparedCard {
  Card Layout;
  CardTemplate Template;
  Picture Picture_;
  std::vector<bool> FilledCell;  // per Layout.Cells
};

CardStyle StyleFor(const CardStyle& base, const Design& d) {
  CardStyle s = base;
  s.Outline_Style = d.Style;
  s.Outline = d.Outline;
  return s;
}

PreparedCard Prepare(const CardStyle& style, const CardFamily& family, const FamilyVariant& v) {
  Card card = MakeCard(style, family, v);
  CardTemplate tmpl = CardTemplate::FromText(TemplateJson(card), card.Name);
  // A third of the answer and digit boxes pencil-filled, the same ones in every design.
  std::mt19937 rng(17);
  CardFilling filling;
  std::vector<bool> filled(card.Cells.size(), false);
  for (std::size_t i = 0; i < card.Cells.size(); ++i) {
    const CardCell& c = card.Cells[i];
    if ((c.Kind == CellKind::Option || c.Kind == CellKind::Digit) && rng() % 3 == 0) {
      filled[i] = true;
      filling.Marks.push_back(CardFilling::Cell{c.Row, c.Col});
    }
  }
  Picture pic = RenderCardPicture(style, card, &filling);
  return PreparedCard{std::move(card), std::move(tmpl), std::move(pic), std::move(filled)};
}

Tally ReadOnce(const PreparedCard& pc, const Condition& cond) {
  Tally t;
  t.Sheets = 1;
  CameraShot shot;
  shot.FrameShare = cond.Share;
  shot.Angle = cond.Angle;
  shot.Blur = cond.Blur;
  shot.Seed = cond.Seed;
  shot.Noise = cond.Noise;
  shot.LightFall = cond.LightFall;
  const Card& card = pc.Layout;
  CardMapping map;
  Picture frame = ShootCard(pc.Picture_, {card.Frame.X, card.Frame.Y, card.Frame.W, card.Frame.H}, shot, map);
  Tcfg cfg;
  cfg.SetFDeformCorrect(cond.Strips);
  const SheetReading r = ReadShot(frame, pc.Template, cfg, cond.Darkness, map);
  if (!r.Located) return t;
  t.Located = 1;
  if (!r.Layout.Ok()) return t;
  t.GridFound = 1;
  bool allOn = true;
  for (std::size_t i = 0; i < card.Cells.size(); ++i) {
    const CardCell& c = card.Cells[i];
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (int k = 0; k < 4; ++k) {
      double x, y;
      map.ToSheet(c.Box.X + (k & 1 ? c.Box.W : 0), c.Box.Y + (k & 2 ? c.Box.H : 0), x, y);
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    const TCellInfo& cell = r.Layout.Cells[static_cast<std::size_t>(c.Row)][static_cast<std::size_t>(c.Col)];
    const double over = std::max({cell.Rect.Left - x0, x1 - (cell.Rect.Right + 1.0), cell.Rect.Top - y0,
                                  y1 - (cell.Rect.Bottom + 1.0)});
    t.WorstOverhang = std::max(t.WorstOverhang, over);
    if (over > kTolerance) allOn = false;
    if (c.Kind != CellKind::Option && c.Kind != CellKind::Digit) continue;
    const bool marked = AutoMarked(cell);
    const double ink = cell.ContentArea > 0 ? static_cast<double>(cell.DarkCount) / cell.ContentArea : 0;
    if (pc.FilledCell[i]) {
      t.FilledInk = std::min(t.FilledInk, ink);
      ++t.Filled;
      if (!marked) ++t.FilledMissed;
    } else {
      if (cell.DarkCount > 50 && cell.MaxRowDark > 10) t.EmptyInk = std::max(t.EmptyInk, ink);
      ++t.Empty;
      if (marked) ++t.EmptyMarked;
    }
  }
  t.CellsOnBoxes = allOn ? 1 : 0;
  return t;
}

std::string Percent(int part, int whole) {
  if (whole == 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f%%", 100.0 * part / whole);
  return buf;
}

void PrintRow(const std::string& label, const Tally& t) {
  std::printf("| %-40s | %2d/%-2d | %2d/%-2d | %2d/%-2d | %6s | %6s | %5.1f | %4.2f | %4.2f |\n", label.c_str(),
              t.Located, t.Sheets, t.GridFound, t.Sheets, t.CellsOnBoxes, t.Sheets,
              Percent(t.EmptyMarked, t.Empty).c_str(), Percent(t.FilledMissed, t.Filled).c_str(), t.WorstOverhang,
              t.Empty > 0 ? t.EmptyInk : 0.0, t.Filled > 0 ? t.FilledInk : 0.0);
  std::fflush(stdout);
}

void PrintHead(const char* first) {
  std::printf("| %-40s | found | grid  | cells | empty+ | fill-  | over  | eink | fink |\n", first);
  std::printf("|%s|-------|-------|-------|--------|--------|-------|------|------|\n", std::string(42, '-').c_str());
}

std::vector<FamilyVariant> Pick(const CardFamily& f, const std::vector<std::string>& names) {
  std::vector<FamilyVariant> out;
  for (const FamilyVariant& v : f.Variants) {
    if (std::find(names.begin(), names.end(), v.Name) != names.end()) out.push_back(v);
  }
  return out;
}

struct Setup {
  CardStyle Base;
  CardFamily A, B;
};

std::vector<std::pair<const CardFamily*, FamilyVariant>> StressCards(const Setup& s) {
  std::vector<std::pair<const CardFamily*, FamilyVariant>> out;
  for (const FamilyVariant& v : Pick(s.A, {"A类-标准45题卡(荐)", "A类-标准75题卡"})) out.emplace_back(&s.A, v);
  for (const FamilyVariant& v : Pick(s.B, {"B类-标准100题卡"})) out.emplace_back(&s.B, v);
  return out;
}

// Designs x scales at the default darkness and strips; turned sheets are straightened.
void SweepDesigns(const Setup& s) {
  const std::vector<Design> designs = {
      {"solid outline 3", OutlineStyle::Solid, 3},         {"solid outline 4", OutlineStyle::Solid, 4},
      {"dashed top/bottom 3", OutlineStyle::DashedTopBottom, 3}, {"dashed top/bottom 4", OutlineStyle::DashedTopBottom, 4},
      {"dashed all sides 3", OutlineStyle::DashedAll, 3},  {"dashed all sides 4", OutlineStyle::DashedAll, 4},
      {"dashed all sides 5", OutlineStyle::DashedAll, 5},
  };
  const double shares[] = {0.55, 0.6, 0.7, 0.85, 0.9};
  std::printf("\nDesign x scale (cards A-45, A-75, B-100 standard; turns 0, +5, -5 and 5.5 degrees; blur 0.5 and 0.9;"
              " darkness 30; 3 strips)\n\n");
  PrintHead("design @ frame share");
  for (const Design& d : designs) {
    const CardStyle style = StyleFor(s.Base, d);
    std::vector<PreparedCard> cards;
    for (const auto& [family, v] : StressCards(s)) cards.push_back(Prepare(style, *family, v));
    for (double share : shares) {
      Tally sum;
      std::uint32_t seed = 1;
      for (const PreparedCard& pc : cards) {
        for (double angle : {0.0, 5.0, -5.0, 5.5}) {
          for (double blur : {0.5, 0.9}) sum.Add(ReadOnce(pc, Condition{share, angle, blur, 30, 3, seed++}));
        }
      }
      char label[64];
      std::snprintf(label, sizeof label, "%s @ %.0f%%", d.Name.c_str(), share * 100);
      PrintRow(label, sum);
    }
  }
}

// The dashed designs under harder light: more blur and noise, light
// falling off towards one corner, and the darkness setting raised.
void SweepHarsh(const Setup& s) {
  const std::vector<Design> designs = {
      {"dashed top/bottom 4", OutlineStyle::DashedTopBottom, 4},
      {"dashed all sides 3", OutlineStyle::DashedAll, 3},
      {"dashed all sides 4", OutlineStyle::DashedAll, 4},
  };
  std::printf("\nHarsh photographs (turns 0, 5, -5, 5.5; blur 1.2, noise 6, light falling 40 %% across, darkness 30"
              " and 40; 3 strips)\n\n");
  PrintHead("design, card @ frame share");
  for (const Design& d : designs) {
    const CardStyle style = StyleFor(s.Base, d);
    for (const auto& [family, v] : StressCards(s)) {
      const PreparedCard pc = Prepare(style, *family, v);
      for (double share : {0.6, 0.7, 0.85}) {
        Tally sum;
        std::uint32_t seed = 500;
        for (double angle : {0.0, 5.0, -5.0, 5.5}) {
          for (int darkness : {30, 40}) {
            sum.Add(ReadOnce(pc, Condition{share, angle, 1.2, darkness, 3, seed++, 6, 0.4}));
          }
        }
        char label[96];
        std::snprintf(label, sizeof label, "%s, %s @ %.0f%%", d.Name.c_str(), v.Name.c_str(), share * 100);
        PrintRow(label, sum);
      }
    }
  }
}

// The chosen style, every card, over the scale range.
void SweepScales(const Setup& s) {
  const double shares[] = {0.55, 0.58, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95};
  std::printf("\nEvery card with the chosen style (turns 0, +5, -5 degrees; blur 0.7; darkness 30; 3 strips)\n\n");
  PrintHead("card @ frame share");
  for (const CardFamily* f : {&s.A, &s.B}) {
    for (const FamilyVariant& v : f->Variants) {
      const PreparedCard pc = Prepare(s.Base, *f, v);
      for (double share : shares) {
        Tally sum;
        std::uint32_t seed = 100;
        for (double angle : {0.0, 5.0, -5.0}) sum.Add(ReadOnce(pc, Condition{share, angle, 0.7, 30, 3, seed++}));
        char label[96];
        std::snprintf(label, sizeof label, "%s @ %.0f%%", v.Name.c_str(), share * 100);
        PrintRow(label, sum);
      }
    }
  }
}

void SweepDarkness(const Setup& s) {
  std::printf("\nDarkness (\"颜色浓度\") with the chosen style (cards A-45, A-75, B-100 standard; 60%% and 85%%;"
              " turns 0 and 5 degrees; blur 0.7)\n\n");
  PrintHead("darkness");
  std::vector<PreparedCard> cards;
  for (const auto& [family, v] : StressCards(s)) cards.push_back(Prepare(s.Base, *family, v));
  for (int darkness : {10, 20, 30, 40, 50}) {
    Tally sum;
    std::uint32_t seed = 300;
    for (const PreparedCard& pc : cards) {
      for (double share : {0.6, 0.85}) {
        for (double angle : {0.0, 5.0}) sum.Add(ReadOnce(pc, Condition{share, angle, 0.7, darkness, 3, seed++}));
      }
    }
    PrintRow("darkness " + std::to_string(darkness), sum);
  }
}

void SweepStrips(const Setup& s) {
  std::printf("\nStrips (\"变形纠正\") with the chosen style (cards A-45, A-75, B-100 standard; 60%% and 85%%;"
              " turns 0, 5 and 5.5 degrees; blur 0.7)\n\n");
  PrintHead("strips");
  std::vector<PreparedCard> cards;
  for (const auto& [family, v] : StressCards(s)) cards.push_back(Prepare(s.Base, *family, v));
  for (int strips : {2, 3, 4}) {
    Tally sum;
    std::uint32_t seed = 400;
    for (const PreparedCard& pc : cards) {
      for (double share : {0.6, 0.85}) {
        for (double angle : {0.0, 5.0, 5.5}) sum.Add(ReadOnce(pc, Condition{share, angle, 0.7, 30, strips, seed++}));
      }
    }
    PrintRow(std::to_string(strips) + " strips", sum);
  }
}

int OneShot(const Setup& s, const std::string& name, double share, double angle, const char* out) {
  for (const CardFamily* f : {&s.A, &s.B}) {
    for (const FamilyVariant& v : f->Variants) {
      if (v.Name != name) continue;
      const PreparedCard pc = Prepare(s.Base, *f, v);
      CameraShot shot;
      shot.FrameShare = share;
      shot.Angle = angle;
      shot.Blur = 0.7;
      const Card& card = pc.Layout;
      CardMapping map;
      Picture frame = ShootCard(pc.Picture_, {card.Frame.X, card.Frame.Y, card.Frame.W, card.Frame.H}, shot, map);
      if (out != nullptr) WriteBmp(frame, std::string(out) + "/shot.bmp");
      Tcfg cfg;
      const SheetReading r = ReadShot(frame, pc.Template, cfg, 30, map);
      if (out != nullptr) WriteBmp(frame, std::string(out) + "/binarised.bmp");
      const SheetLocation& l = r.Location;
      std::printf("corners %d: (%d,%d) (%d,%d) (%d,%d) (%d,%d) skew %d %s\n", l.CornerCount, l.TopLeft.X, l.TopLeft.Y,
                  l.TopRight.X, l.TopRight.Y, l.BottomLeft.X, l.BottomLeft.Y, l.BottomRight.X, l.BottomRight.Y, l.Skew,
                  l.Message.c_str());
      if (!r.Located) return 1;
      std::printf("layout: %s %s\n", r.Layout.Status.c_str(), r.Layout.Reason.c_str());
      const Tally t = ReadOnce(pc, Condition{share, angle, 0.7, 30, 3, 1});
      PrintHead("shot");
      PrintRow(name, t);
      return r.Layout.Ok() ? 0 : 1;
    }
  }
  std::fprintf(stderr, "no card named %s\n", name.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  try {
    LoadCardFont(kCardFontFile);
    const std::string data = std::string(KESTRELO_SOURCE_DIR) + "/data/cards/";
    const Setup s{LoadStyle(data + "style.json"), LoadFamily(data + "family-A.json"), LoadFamily(data + "family-B.json")};
    auto want = [&](const char* opt) {
      if (argc == 1) return true;
      for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], opt) == 0) return true;
      }
      return false;
    };
    std::printf("found: corners located; grid: division and layout succeeded; cells: every cell holds its box"
                " (overhang <= %.0f px); empty+: empty boxes passing the mark test; fill-: filled boxes failing it;"
                " over: worst overhang of a box beyond its cell, camera px; eink: largest ink share of an empty box with"
                " more than 50 dark pixels and a row of more than 10 (marked above 0.40); fink: smallest ink share of"
                " a filled box\n",
                kTolerance);
    if (argc >= 5 && std::strcmp(argv[1], "--shot") == 0) {
      return OneShot(s, argv[2], std::atof(argv[3]), std::atof(argv[4]), argc >= 6 ? argv[5] : nullptr);
    }
    if (want("--designs")) SweepDesigns(s);
    if (want("--harsh")) SweepHarsh(s);
    if (want("--scales")) SweepScales(s);
    if (want("--darkness")) SweepDarkness(s);
    if (want("--strips")) SweepStrips(s);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestrelo-cards-sweep: %s\n", e.what());
    return 1;
  }
  return 0;
}
