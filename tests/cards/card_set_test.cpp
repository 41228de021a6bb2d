// The card set as the build lays it into the program folder: every card the
// setup dialog lists, the filled sample and the label pictures exist; the
// templates load; the anchor pixels follow the question-number dialog's rule;
// and every card, photographed at 60 % and 85 % of an 800-pixel-wide frame,
// straight and turned by 5 degrees either way, is located, straightened,
// divided and laid out with every template cell on the box printed for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/CardTemplate.h"
#include "common/AtomicFile.h"
#include "imaging/BmpFile.h"
#include "tools/cards/CameraView.h"

namespace kestrelo {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

fs::path U8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }
fs::path Templates() { return fs::path(KESTRELO_PROGRAM_DIR) / "PaperTemplate"; }
// Where the generator wrote where it put every box (beside the program folder).
fs::path Geometry() { return fs::path(KESTRELO_PROGRAM_DIR).parent_path() / "cards"; }

struct CardCase {
  const char* Name;
  const char* TestName;
  char Family;
  int Questions;
  bool ExamNumber;
};

// The cards of the setup dialog's list.
const CardCase kCards[] = {
    {"A类-标准30题卡", "A_Standard30", 'A', 30, true},
    {"A类-标准45题卡(荐)", "A_Standard45", 'A', 45, true},
    {"A类-标准60题卡", "A_Standard60", 'A', 60, true},
    {"A类-标准75题卡", "A_Standard75", 'A', 75, true},
    {"A类-无考号30题卡", "A_NoNumber30", 'A', 30, false},
    {"A类-无考号45题卡(荐)", "A_NoNumber45", 'A', 45, false},
    {"A类-无考号60题卡", "A_NoNumber60", 'A', 60, false},
    {"A类-无考号75题卡", "A_NoNumber75", 'A', 75, false},
    {"B类-标准40题卡", "B_Standard40", 'B', 40, true},
    {"B类-标准60题卡", "B_Standard60", 'B', 60, true},
    {"B类-标准80题卡", "B_Standard80", 'B', 80, true},
    {"B类-标准100题卡", "B_Standard100", 'B', 100, true},
    {"B类-无考号40题卡", "B_NoNumber40", 'B', 40, false},
    {"B类-无考号60题卡", "B_NoNumber60", 'B', 60, false},
    {"B类-无考号80题卡", "B_NoNumber80", 'B', 80, false},
    {"B类-无考号100题卡", "B_NoNumber100", 'B', 100, false},
};
constexpr const char* kSample = "已填涂测试卡";
constexpr const char* kSampleCard = "A类-标准45题卡(荐)";

struct Box {
  int X = 0, Y = 0, W = 0, H = 0;
  std::string Kind;
};

// The generator's record of one card: its frame and every lattice box.
struct CardGeometry {
  std::array<int, 4> Frame{};
  std::map<std::pair<int, int>, Box> Boxes;  // (row, column) -> box
  std::vector<std::pair<int, int>> Filled;
};

CardGeometry LoadGeometry(const std::string& name) {
  const Json g = Json::parse(ReadWholeFile(Geometry() / U8(name + ".json")));
  CardGeometry out;
  for (int i = 0; i < 4; ++i) out.Frame[static_cast<std::size_t>(i)] = g["frame"][static_cast<std::size_t>(i)];
  for (const Json& c : g["cells"]) {
    out.Boxes[{c[0].get<int>(), c[1].get<int>()}] = Box{c[3], c[4], c[5], c[6], c[2]};
  }
  if (g.contains("filled")) {
    for (const Json& f : g["filled"]) out.Filled.emplace_back(f[0].get<int>(), f[1].get<int>());
  }
  return out;
}

bool IsPureRed(const Picture& p, int x, int y) {
  const std::uint8_t* px = p.Pixel(x, y);
  return px[0] == 0 && px[1] == 0 && px[2] == 255;
}

std::vector<TPoint> RedPixels(const Picture& p) {
  std::vector<TPoint> out;
  for (int y = 0; y < p.Height(); ++y) {
    for (int x = 0; x < p.Width(); ++x) {
      if (IsPureRed(p, x, y)) out.push_back(TPoint{x, y});
    }
  }
  return out;
}

// The question-number dialog's anchor number for group c (1 for questions
// 1-5) and a destination that is or is not the true/false label.
int AnchorNumber(char family, int c, bool trueFalse) {
  if (family == 'B') {
    if (c % 2 == 0) return c / 2 + c;
    return (c + 1) / 2 + c - (trueFalse ? 1 : 0);
  }
  return trueFalse ? 2 * c - 1 : 2 * c;
}

TEST(CardSet, EveryListedCardTheSampleAndTheLabelPicturesAreLaidOut) {
  for (const CardCase& c : kCards) {
    EXPECT_TRUE(fs::exists(Templates() / U8(std::string(c.Name) + ".Config"))) << c.TestName;
    EXPECT_TRUE(fs::exists(Templates() / U8(std::string(c.Name) + ".PaperCard"))) << c.TestName;
    const std::string pdf = ReadWholeFile(fs::path(KESTRELO_PROGRAM_DIR) / "Cards" / U8(std::string(c.Name) + ".pdf"));
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u) << c.TestName;
  }
  EXPECT_TRUE(fs::exists(Templates() / U8(std::string(kSample) + ".PaperCard")));
  for (int n = 1; n <= 76; n += 5) {
    EXPECT_TRUE(fs::exists(Templates() / "PaperNo" / (std::to_string(n) + "_" + std::to_string(n + 4) + ".bmp"))) << n;
  }
  EXPECT_TRUE(fs::exists(Templates() / "PaperNo" / U8("判断.bmp")));
  EXPECT_TRUE(fs::exists(Templates() / "PaperNo" / U8("B判断.bmp")));
}

TEST(CardSet, TemplatesLoadAndMatchTheirNames) {
  for (const CardCase& c : kCards) {
    SCOPED_TRACE(c.TestName);
    const CardTemplate t = CardTemplate::Load(Templates() / U8(std::string(c.Name) + ".Config"));
    EXPECT_EQ(static_cast<int>(t.Questions.size()), c.Questions);
    EXPECT_EQ(t.LinesThreadCount, 2);
    EXPECT_EQ(t.ColumsThreadCount, 2);
    EXPECT_EQ(t.TestNo.empty(), !c.ExamNumber);
    for (const TemplateBlock& b : t.TestNo) {
      EXPECT_EQ(b.GridNum, 10);
      EXPECT_EQ(b.BackValue, "0123456789");
    }
    for (std::size_t q = 0; q < t.Questions.size(); ++q) {
      EXPECT_EQ(t.Questions[q].Id, std::to_string(q + 1));
      EXPECT_EQ(t.Questions[q].BackValue, "ABCD");
    }
    // Every cell a block reads is a printed answer or digit box.
    const CardGeometry g = LoadGeometry(c.Name);
    for (const auto* blocks : {&t.TestNo, &t.Questions}) {
      for (const TemplateBlock& b : *blocks) {
        for (const GridCellRef& ref : t.BlockCells(b)) {
          const auto it = g.Boxes.find({ref.Line, ref.Colum});
          ASSERT_NE(it, g.Boxes.end()) << b.Id;
          EXPECT_TRUE(it->second.Kind == "option" || it->second.Kind == "digit") << b.Id;
        }
      }
    }
  }
}

// The red anchors: in reading order, anchor number k of the dialog's table
// for group c lies on the top edge of the label of the group's first
// question (the true/false anchor at its left edge, the number anchor one
// column right), above black so that the setup dialog's cleaning removes it;
// no other pixel is pure red.
TEST(CardSet, AnchorsFollowTheQuestionNumberRuleAndAreTheOnlyPureRed) {
  std::vector<std::pair<std::string, const CardCase*>> pictures;
  for (const CardCase& c : kCards) pictures.emplace_back(c.Name, &c);
  const auto sampleCard = std::find_if(std::begin(kCards), std::end(kCards),
                                       [](const CardCase& c) { return std::string(c.Name) == kSampleCard; });
  pictures.emplace_back(kSample, sampleCard);
  for (const auto& [file, card] : pictures) {
    SCOPED_TRACE(card->TestName);
    const Picture pic = ReadBmp(Templates() / U8(file + ".PaperCard"));
    const std::vector<TPoint> red = RedPixels(pic);
    const CardTemplate t = CardTemplate::Load(Templates() / U8(std::string(card->Name) + ".Config"));
    const CardGeometry g = LoadGeometry(card->Name);
    const int groups = card->Questions / 5;
    ASSERT_EQ(static_cast<int>(red.size()), card->Family == 'A' ? 2 * groups : groups + (groups + 1) / 2);
    for (int c = 1; c <= groups; ++c) {
      const TemplateBlock& first = t.Questions[static_cast<std::size_t>(5 * (c - 1))];
      const GridCellRef cell = t.BlockCells(first).front();
      const Box& label = g.Boxes.at({cell.Line, cell.Colum - 1});
      ASSERT_EQ(label.Kind, "label");
      for (bool trueFalse : {true, false}) {
        const int k = AnchorNumber(card->Family, c, trueFalse);
        const TPoint a = red[static_cast<std::size_t>(k - 1)];
        const bool atLeftEdge = trueFalse && !(card->Family == 'B' && c % 2 == 0);
        EXPECT_EQ(a.X, label.X + (atLeftEdge ? 0 : 1)) << "group " << c;
        EXPECT_EQ(a.Y, label.Y - 1) << "group " << c;
        const std::uint8_t* below = pic.Pixel(a.X, a.Y + 1);
        EXPECT_TRUE(below[0] == 0 && below[1] == 0 && below[2] == 0) << "group " << c;
      }
    }
  }
}

// Pasting a group's own label picture at its number anchor (or the
// true/false label at its anchor) covers exactly the group's label place.
TEST(CardSet, LabelPicturesFitTheLabelPlacesOfEveryCard) {
  const Picture trueFalse = ReadBmp(Templates() / "PaperNo" / U8("判断.bmp"));
  const Picture trueFalseB = ReadBmp(Templates() / "PaperNo" / U8("B判断.bmp"));
  EXPECT_EQ(trueFalseB.Width(), trueFalse.Width() - 1);
  EXPECT_EQ(trueFalseB.Height(), trueFalse.Height());
  for (const CardCase& card : kCards) {
    SCOPED_TRACE(card.TestName);
    const Picture pic = ReadBmp(Templates() / U8(std::string(card.Name) + ".PaperCard"));
    const std::vector<TPoint> red = RedPixels(pic);
    for (int c = 1; c <= std::min(card.Questions / 5, 16); ++c) {
      const int n = 5 * c - 4;
      const Picture label =
          ReadBmp(Templates() / "PaperNo" / (std::to_string(n) + "_" + std::to_string(n + 4) + ".bmp"));
      const TPoint a = red[static_cast<std::size_t>(AnchorNumber(card.Family, c, false) - 1)];
      ASSERT_EQ(label.Height(), trueFalse.Height());
      ASSERT_LE(a.X + label.Width(), pic.Width());
      // Row 0 is the anchor row (red on the card, white in the label).
      for (int y = 1; y < label.Height(); ++y) {
        for (int x = 0; x < label.Width(); ++x) {
          ASSERT_EQ(0, std::memcmp(label.Pixel(x, y), pic.Pixel(a.X + x, a.Y + y), 3))
              << "group " << c << " at " << x << "," << y;
        }
      }
    }
  }
}

struct Shot {
  double Share;
  double Angle;
};
constexpr Shot kShots[] = {{0.60, 0}, {0.60, 5}, {0.60, -5}, {0.85, 0}, {0.85, 5}, {0.85, -5}};
// A box may reach this far (camera pixels) beyond the cell the layout made for it.
constexpr double kTolerance = 2.0;

struct ShotResult {
  cards::SheetReading Reading;
  cards::CardMapping Mapping;
};

ShotResult ReadCardShot(const Picture& card, const CardGeometry& g, const CardTemplate& t, const Shot& s) {
  cards::CameraShot shot;
  shot.FrameShare = s.Share;
  shot.Angle = s.Angle;
  ShotResult r;
  Picture frame = cards::ShootCard(card, g.Frame, shot, r.Mapping);
  Tcfg cfg;
  r.Reading = cards::ReadShot(frame, t, cfg, 30, r.Mapping);
  return r;
}

// The box of a cell as the straightened sheet shows it.
void BoxOnSheet(const cards::CardMapping& m, const Box& b, double& x0, double& y0, double& x1, double& y1) {
  x0 = y0 = 1e9;
  x1 = y1 = -1e9;
  for (int k = 0; k < 4; ++k) {
    double x, y;
    m.ToSheet(b.X + (k & 1 ? b.W : 0), b.Y + (k & 2 ? b.H : 0), x, y);
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
}

class CardReading : public ::testing::TestWithParam<CardCase> {};

TEST_P(CardReading, EveryTemplateCellLandsOnItsPrintedBoxAndEmptyBoxesStayUnmarked) {
  const CardCase& c = GetParam();
  const Picture card = ReadBmp(Templates() / U8(std::string(c.Name) + ".PaperCard"));
  const CardTemplate t = CardTemplate::Load(Templates() / U8(std::string(c.Name) + ".Config"));
  const CardGeometry g = LoadGeometry(c.Name);
  for (const Shot& s : kShots) {
    SCOPED_TRACE(::testing::Message() << "frame share " << s.Share << ", turned " << s.Angle);
    const ShotResult r = ReadCardShot(card, g, t, s);
    ASSERT_TRUE(r.Reading.Located) << r.Reading.Location.Message;
    // Whole-degree turns are measured exactly, so straightening leaves none.
    EXPECT_EQ(r.Reading.Location.Skew, static_cast<int>(s.Angle));
    ASSERT_TRUE(r.Reading.Layout.Ok()) << r.Reading.Layout.Status << ": " << r.Reading.Layout.Reason;
    for (const auto* blocks : {&t.TestNo, &t.Questions}) {
      for (const TemplateBlock& b : *blocks) {
        for (const GridCellRef& ref : t.BlockCells(b)) {
          const TCellInfo& cell = r.Reading.Layout.Cell(ref);
          double x0, y0, x1, y1;
          BoxOnSheet(r.Mapping, g.Boxes.at({ref.Line, ref.Colum}), x0, y0, x1, y1);
          const double cx = (x0 + x1) / 2;
          const double cy = (y0 + y1) / 2;
          EXPECT_TRUE(cx >= cell.Rect.Left && cx <= cell.Rect.Right + 1 && cy >= cell.Rect.Top &&
                      cy <= cell.Rect.Bottom + 1)
              << "block " << b.Id << " cell " << ref.Line << "," << ref.Colum;
          const double overhang = std::max({cell.Rect.Left - x0, x1 - (cell.Rect.Right + 1), cell.Rect.Top - y0,
                                            y1 - (cell.Rect.Bottom + 1)});
          EXPECT_LE(overhang, kTolerance) << "block " << b.Id << " cell " << ref.Line << "," << ref.Colum;
          EXPECT_FALSE(cards::AutoMarked(cell)) << "empty box of block " << b.Id << " reads as marked";
        }
      }
    }
  }
}

std::string CardTestName(const ::testing::TestParamInfo<CardCase>& info) { return info.param.TestName; }

INSTANTIATE_TEST_SUITE_P(EveryCard, CardReading, ::testing::ValuesIn(kCards), CardTestName);

// The filled sample at both scales: its pencil marks pass the automatic mark
// test and every other box of its blocks fails it.
TEST(CardSet, SampleCardMarksReadAtBothScales) {
  const Picture card = ReadBmp(Templates() / U8(std::string(kSample) + ".PaperCard"));
  const CardTemplate t = CardTemplate::Load(Templates() / U8(std::string(kSampleCard) + ".Config"));
  const CardGeometry g = LoadGeometry(kSample);
  ASSERT_FALSE(g.Filled.empty());
  for (const Shot& s : {Shot{0.60, 0}, Shot{0.85, -5}}) {
    SCOPED_TRACE(::testing::Message() << "frame share " << s.Share << ", turned " << s.Angle);
    const ShotResult r = ReadCardShot(card, g, t, s);
    ASSERT_TRUE(r.Reading.Layout.Ok()) << r.Reading.Layout.Status << ": " << r.Reading.Layout.Reason;
    int marked = 0;
    for (const auto* blocks : {&t.TestNo, &t.Questions}) {
      for (const TemplateBlock& b : *blocks) {
        for (const GridCellRef& ref : t.BlockCells(b)) {
          const bool filled = std::find(g.Filled.begin(), g.Filled.end(), std::make_pair(ref.Line, ref.Colum)) !=
                              g.Filled.end();
          const bool read = cards::AutoMarked(r.Reading.Layout.Cell(ref));
          EXPECT_EQ(read, filled) << "block " << b.Id << " cell " << ref.Line << "," << ref.Colum;
          marked += read ? 1 : 0;
        }
      }
    }
    EXPECT_EQ(marked, static_cast<int>(g.Filled.size()));
  }
}

}  // namespace
}  // namespace kestrelo
