#include "tools/cards/CardLayout.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Error.h"

namespace kestrelo::cards {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr int kGroupSize = 5;          // questions per printed group and label picture
constexpr int kExamRows = 5;           // examinee-number positions per digit set
constexpr int kDigitSetWidth = 10;     // "0123456789" across
constexpr int kHeaderHeight = 200;     // title, name fields and notes above the frame
constexpr const char* kDigits = "0123456789";

Json ReadJsonFile(const std::filesystem::path& file) {
  const std::string text = ReadWholeFile(file);
  try {
    return Json::parse(text, nullptr, true, true);  // comments allowed
  } catch (const Json::exception& e) {
    throw FileError(file.string(), std::string("not valid JSON: ") + e.what());
  }
}

int IntMember(const Json& obj, const std::filesystem::path& file, const char* key, int fallback,
              int lo, int hi) {
  const auto it = obj.find(key);
  if (it == obj.end()) return fallback;
  if (!it->is_number_integer()) throw FileError(file.string(), std::string(key) + ": must be an integer");
  const auto v = it->get<long long>();
  if (v < lo || v > hi) {
    throw FileError(file.string(), std::string(key) + ": must lie in " + std::to_string(lo) +
                                       " .. " + std::to_string(hi));
  }
  return static_cast<int>(v);
}

std::string TextMember(const Json& obj, const std::filesystem::path& file, const char* key) {
  const auto it = obj.find(key);
  if (it == obj.end() || !it->is_string()) {
    throw FileError(file.string(), std::string(key) + ": must be a text");
  }
  return it->get<std::string>();
}

// Box of a lattice cell, centred in the cell.
PixRect CellBox(const Card& c, int row, int col, int boxWidth, int boxHeight) {
  return PixRect{c.LatticeOrigin.X + col * c.ColumnPitch + (c.ColumnPitch - boxWidth) / 2,
                 c.LatticeOrigin.Y + row * c.RowPitch + (c.RowPitch - boxHeight) / 2, boxWidth,
                 boxHeight};
}

class Builder {
 public:
  Builder(const CardStyle& s, const CardFamily& f, Card& c) : s_(s), f_(f), c_(c) {}

  void Option(int row, int col, CellKind kind, std::string text) {
    c_.Cells.push_back(CardCell{row, col, kind, std::move(text), CellBox(c_, row, col, c_.BoxWidth, c_.BoxHeight)});
  }
  void Label(int row, int col, std::string text) {
    c_.Cells.push_back(CardCell{row, col, CellKind::Label, std::move(text),
                                CellBox(c_, row, col, s_.LabelWidth, s_.BoxHeight)});
  }

  // The filling example in the shape of a question group: a caption column
  // and four boxes per row, one of them marked the right or a wrong way.
  void ExampleTile(int row, int col) {
    static constexpr CellKind kMarks[kGroupSize] = {CellKind::ExampleFilled, CellKind::ExampleTick,
                                                    CellKind::ExampleCross, CellKind::ExampleCircle,
                                                    CellKind::ExampleDash};
    for (int i = 0; i < kGroupSize; ++i) {
      Label(row + i, col, i == 0 ? "正确" : "错误");
      for (int k = 0; k < 4; ++k) {
        const bool marked = k == 1;
        Option(row + i, col + 1 + k, marked ? kMarks[i] : CellKind::Option,
               std::string(1, f_.Options[static_cast<std::size_t>(k) % f_.Options.size()]));
      }
    }
    c_.ExampleInLattice = true;
  }

 private:
  const CardStyle& s_;
  const CardFamily& f_;
  Card& c_;
};

double RealMember(const Json& obj, const std::filesystem::path& file, const char* key, double fallback,
                  double lo, double hi) {
  const auto it = obj.find(key);
  if (it == obj.end()) return fallback;
  if (!it->is_number()) throw FileError(file.string(), std::string(key) + ": must be a number");
  const double v = it->get<double>();
  if (!(v >= lo && v <= hi)) {
    throw FileError(file.string(), std::string(key) + ": must lie in " + std::to_string(lo) + " .. " +
                                       std::to_string(hi));
  }
  return v;
}

}  // namespace

CardStyle LoadStyle(const std::filesystem::path& file) {
  const Json j = ReadJsonFile(file);
  if (!j.is_object()) throw FileError(file.string(), "must hold one JSON object");
  CardStyle s;
  s.Dpi = IntMember(j, file, "dpi", s.Dpi, 72, 1200);
  s.RowPitch = IntMember(j, file, "rowPitch", s.RowPitch, 8, 400);
  s.BoxHeight = IntMember(j, file, "boxHeight", s.BoxHeight, 4, 400);
  s.LabelWidth = IntMember(j, file, "labelWidth", s.LabelWidth, 4, 400);
  s.LabelOutline = IntMember(j, file, "labelOutline", s.LabelOutline, 1, 40);
  s.FrameAspect = RealMember(j, file, "frameAspect", s.FrameAspect, 0.5, 3);
  s.MinColumnPitch = IntMember(j, file, "minColumnPitch", s.MinColumnPitch, 8, 400);
  s.BoxWidthShare = RealMember(j, file, "boxWidthShare", s.BoxWidthShare, 0.2, 0.95);
  s.ReferenceFrameWidth = IntMember(j, file, "referenceFrameWidth", s.ReferenceFrameWidth, 100, 20000);
  s.FrameLine = IntMember(j, file, "frameLine", s.FrameLine, 1, 100);
  s.FrameGap = IntMember(j, file, "frameGap", s.FrameGap, 1, 400);
  s.Outline = IntMember(j, file, "outline", s.Outline, 1, 40);
  s.Dash = IntMember(j, file, "dash", s.Dash, 1, 100);
  s.LetterGrey = IntMember(j, file, "letterGrey", s.LetterGrey, 0, 255);
  s.LabelFillGrey = IntMember(j, file, "labelFillGrey", s.LabelFillGrey, 0, 255);
  s.PencilGrey = IntMember(j, file, "pencilGrey", s.PencilGrey, 0, 255);
  s.Margin = IntMember(j, file, "margin", s.Margin, 0, 400);
  if (j.contains("outlineStyle")) {
    const std::string o = TextMember(j, file, "outlineStyle");
    if (o == "solid") {
      s.Outline_Style = OutlineStyle::Solid;
    } else if (o == "dashedTopBottom") {
      s.Outline_Style = OutlineStyle::DashedTopBottom;
    } else if (o == "dashedAll") {
      s.Outline_Style = OutlineStyle::DashedAll;
    } else {
      throw FileError(file.string(), "outlineStyle: must be solid, dashedTopBottom or dashedAll");
    }
  }
  if (s.BoxHeight >= s.RowPitch) throw FileError(file.string(), "boxHeight: must be below rowPitch");
  if (s.LabelWidth >= s.MinColumnPitch) throw FileError(file.string(), "labelWidth: must be below minColumnPitch");
  return s;
}

CardFamily LoadFamily(const std::filesystem::path& file) {
  const Json j = ReadJsonFile(file);
  if (!j.is_object()) throw FileError(file.string(), "must hold one JSON object");
  CardFamily f;
  f.Family = TextMember(j, file, "family");
  if (f.Family != "A" && f.Family != "B") throw FileError(file.string(), "family: must be A or B");
  if (j.contains("options")) f.Options = TextMember(j, file, "options");
  if (f.Options.size() != 4) throw FileError(file.string(), "options: must be four letters");
  const auto cards = j.find("cards");
  if (cards == j.end() || !cards->is_array() || cards->empty()) {
    throw FileError(file.string(), "cards: must be a non-empty array");
  }
  for (const Json& c : *cards) {
    if (!c.is_object()) throw FileError(file.string(), "cards: every element must be an object");
    FamilyVariant v;
    v.Name = TextMember(c, file, "name");
    v.Questions = IntMember(c, file, "questions", 0, kGroupSize, 500);
    v.GroupsAcross = IntMember(c, file, "groupsAcross", 0, 1, 10);
    v.FrameAspect = RealMember(c, file, "frameAspect", 0, 0.5, 3);
    const auto exam = c.find("examNumber");
    if (exam == c.end() || !exam->is_boolean()) {
      throw FileError(file.string(), v.Name + ": examNumber: must be true or false");
    }
    v.ExamNumber = exam->get<bool>();
    if (v.Questions % kGroupSize != 0) {
      throw FileError(file.string(), v.Name + ": questions: must be a multiple of 5");
    }
    if (v.GroupsAcross == 0) throw FileError(file.string(), v.Name + ": groupsAcross: must be given");
    f.Variants.push_back(v);
  }
  return f;
}

namespace {

int Scaled(int reference, double zoom) { return std::max(1, static_cast<int>(std::lround(reference * zoom))); }

// Frame outer size for a column pitch (thicknesses at that card's zoom).
void SizeFrame(const CardStyle& s, Card& c, int columnPitch) {
  c.ColumnPitch = columnPitch;
  c.BoxWidth = static_cast<int>(std::lround(columnPitch * s.BoxWidthShare));
  const int latticeWidth = (c.Columns - 1) * columnPitch + c.BoxWidth;
  const int refLattice = s.ReferenceFrameWidth - 2 * (s.FrameLine + s.FrameGap);
  c.Zoom = static_cast<double>(latticeWidth) / refLattice;
  c.FrameLine = Scaled(s.FrameLine, c.Zoom);
  c.FrameGap = Scaled(s.FrameGap, c.Zoom);
  c.Outline = Scaled(s.Outline, c.Zoom);
  c.Dash = Scaled(s.Dash, c.Zoom);
  c.Frame.W = 2 * (c.FrameLine + c.FrameGap) + latticeWidth;
  c.Frame.H = 2 * (c.FrameLine + c.FrameGap) + (c.Rows - 1) * c.RowPitch + c.BoxHeight;
}

}  // namespace

Card MakeCard(const CardStyle& s, const CardFamily& f, const FamilyVariant& v) {
  Card c;
  c.Name = v.Name;
  c.Family = f.Family;
  c.Questions = v.Questions;
  c.ExamNumber = v.ExamNumber;
  c.Columns = kGroupSize * v.GroupsAcross;
  c.RowPitch = s.RowPitch;
  c.BoxHeight = s.BoxHeight;

  const int groups = v.Questions / kGroupSize;
  const int digitSets = c.Columns / kDigitSetWidth;
  const bool exampleInExamBand = v.ExamNumber && c.Columns % kDigitSetWidth != 0;
  const int examRows = v.ExamNumber ? kExamRows : 0;
  // Slots of five rows by five columns below the exam band; a slot left
  // over would leave lattice rows and columns without ink, so it takes the
  // filling example (only one is allowed).
  const int slots = (groups + v.GroupsAcross - 1) / v.GroupsAcross * v.GroupsAcross;
  const int spare = slots - groups;
  if (spare > 1 || (spare == 1 && exampleInExamBand)) {
    throw Error(v.Name + ": " + std::to_string(groups) + " groups do not fill rows of " +
                std::to_string(v.GroupsAcross));
  }
  if (v.ExamNumber && digitSets == 0) throw Error(v.Name + ": the lattice is too narrow for the examinee number");
  c.Rows = examRows + slots / v.GroupsAcross * kGroupSize;

  // The column pitch that gives the frame its aspect: the corner search
  // reaches a frame's corners only when the frame is not much wider than
  // tall, and a frame too tall no longer fits the camera picture when it
  // fills most of its width.
  const double aspect = v.FrameAspect > 0 ? v.FrameAspect : s.FrameAspect;
  int pitch = s.MinColumnPitch;
  SizeFrame(s, c, pitch);
  while (static_cast<double>(c.Frame.W) / c.Frame.H < aspect) SizeFrame(s, c, ++pitch);
  if (c.ColumnPitch - c.BoxWidth < 2 || c.BoxWidth <= s.LabelWidth / 2) {
    throw Error(v.Name + ": the column pitch leaves no room for the boxes");
  }

  // Frame and lattice: the frame's inner edge lies FrameGap outside the
  // outermost boxes on every side.
  const int bandX = (c.ColumnPitch - c.BoxWidth) / 2;
  const int bandY = (s.RowPitch - s.BoxHeight) / 2;
  const int header = static_cast<int>(std::lround(kHeaderHeight * HeaderScale(c)));
  c.Frame.X = s.Margin;
  c.Frame.Y = header;
  c.LatticeOrigin = PixPoint{c.Frame.X + c.FrameLine + c.FrameGap - bandX, c.Frame.Y + c.FrameLine + c.FrameGap - bandY};
  c.PictureWidth = c.Frame.Right() + s.Margin;
  c.PictureHeight = c.Frame.Bottom() + s.Margin;

  Builder b(s, f, c);
  if (v.ExamNumber) {
    c.ExamDigits = digitSets * kExamRows;
    for (int p = 0; p < c.ExamDigits; ++p) {
      const int set = p / kExamRows;
      const int row = p % kExamRows;
      const int col0 = set * kDigitSetWidth;
      for (int d = 0; d < kDigitSetWidth; ++d) b.Option(row, col0 + d, CellKind::Digit, std::string(1, kDigits[d]));
      c.TestNo.push_back(CardBlock{std::to_string(p + 1), row, col0, kDigitSetWidth, false, kDigits});
      c.ExamRowOfPosition.push_back(row);
      c.ExamPositionLeft.push_back(set == 0);
    }
    if (exampleInExamBand) b.ExampleTile(0, digitSets * kDigitSetWidth);
  }
  for (int g = 0; g < slots; ++g) {
    const int row0 = examRows + g / v.GroupsAcross * kGroupSize;
    const int col0 = g % v.GroupsAcross * kGroupSize;
    if (g >= groups) {
      b.ExampleTile(row0, col0);
      continue;
    }
    for (int i = 0; i < kGroupSize; ++i) {
      const int q = g * kGroupSize + i + 1;
      b.Label(row0 + i, col0, std::to_string(q));
      for (int k = 0; k < 4; ++k) {
        b.Option(row0 + i, col0 + 1 + k, CellKind::Option, std::string(1, f.Options[static_cast<std::size_t>(k)]));
      }
      c.QuestionBlocks.push_back(CardBlock{std::to_string(q), row0 + i, col0 + 1, 4, false, f.Options});
    }
    c.Labels.push_back(LabelPlace{g + 1, CellBox(c, row0, col0, s.LabelWidth, s.BoxHeight)});
  }
  return c;
}

std::vector<PixRect> FrameBevels(const Card& card) {
  std::vector<PixRect> cuts;
  const int t = card.FrameLine;
  const int run = 3 * t;  // the bevel falls one row every three columns
  const int top = card.Frame.Bottom() - t;  // the bottom line's top row
  for (int i = 0; i < run; ++i) {
    const int keep = i * t / run;  // rows below `top` that stay black in this column
    const int h = t - 1 - keep;
    if (h <= 0) continue;
    cuts.push_back(PixRect{card.Frame.X + i, top + 1 + keep, 1, h});
    cuts.push_back(PixRect{card.Frame.Right() - 1 - i, top + 1 + keep, 1, h});
  }
  return cuts;
}

double HeaderScale(const Card& card) { return std::clamp(card.Frame.W / 1300.0, 0.55, 1.0); }

SamplePlan LoadSample(const std::filesystem::path& file) {
  const Json j = ReadJsonFile(file);
  if (!j.is_object()) throw FileError(file.string(), "must hold one JSON object");
  SamplePlan s;
  s.Card = TextMember(j, file, "card");
  s.Name = TextMember(j, file, "name");
  s.Student = TextMember(j, file, "student");
  s.ExamNumber = TextMember(j, file, "examNumber");
  const auto answers = j.find("answers");
  if (answers == j.end() || !answers->is_array()) throw FileError(file.string(), "answers: must be an array");
  for (const Json& a : *answers) {
    if (!a.is_string()) throw FileError(file.string(), "answers: every answer must be a text");
    s.Answers.push_back(a.get<std::string>());
  }
  return s;
}

CardFilling MakeFilling(const Card& card, const SamplePlan& sample) {
  CardFilling f;
  f.StudentName = sample.Student;
  f.ExamNumber = sample.ExamNumber;
  if (sample.ExamNumber.size() > card.TestNo.size()) {
    throw Error(sample.Name + ": the examinee number has more digits than " + card.Name);
  }
  for (std::size_t i = 0; i < sample.ExamNumber.size(); ++i) {
    const CardBlock& b = card.TestNo[i];
    const auto k = b.Letters.find(sample.ExamNumber[i]);
    if (k == std::string::npos) throw Error(sample.Name + ": examinee number: not a digit");
    f.Marks.push_back(CardFilling::Cell{b.Row + (b.Down ? static_cast<int>(k) : 0),
                                        b.Col + (b.Down ? 0 : static_cast<int>(k))});
  }
  if (sample.Answers.size() != card.QuestionBlocks.size()) {
    throw Error(sample.Name + ": needs one answer per question of " + card.Name);
  }
  for (std::size_t q = 0; q < sample.Answers.size(); ++q) {
    const CardBlock& b = card.QuestionBlocks[q];
    for (char letter : sample.Answers[q]) {
      const auto k = b.Letters.find(letter);
      if (k == std::string::npos) throw Error(sample.Name + ": answer " + std::to_string(q + 1) + ": no such option");
      f.Marks.push_back(CardFilling::Cell{b.Row + (b.Down ? static_cast<int>(k) : 0),
                                          b.Col + (b.Down ? 0 : static_cast<int>(k))});
    }
  }
  return f;
}

int NumberLabelOffset() { return 1; }

std::vector<PixPoint> AnchorPixels(const Card& card) {
  std::vector<PixPoint> out;
  for (const LabelPlace& p : card.Labels) {
    const PixPoint trueFalse{p.FirstBox.X, p.FirstBox.Y - 1};
    const PixPoint number{p.FirstBox.X + NumberLabelOffset(), p.FirstBox.Y - 1};
    if (card.Family == "A" || p.Group % 2 == 1) out.push_back(trueFalse);
    out.push_back(number);
  }
  return out;
}

std::string TemplateJson(const Card& card) {
  auto block = [](const CardBlock& b) {
    OrderedJson o;
    o["Id"] = b.Id;
    o["PaperRects_ID"] = 1;
    o["StartPosLine"] = b.Row + 1;
    o["StartPosColum"] = b.Col + 1;
    o["GridNum"] = b.Count;
    o["Orient"] = b.Down ? "TopBottom" : "LeftRight";
    o["BackValue"] = b.Letters;
    o["BackAnswerNum"] = 0;
    return o;
  };
  OrderedJson rect;
  rect["Left"] = 0;
  rect["Top"] = 0;
  rect["Right"] = 1;
  rect["Bottom"] = 1;
  rect["LineCount"] = card.Rows;
  rect["ColumCount"] = card.Columns;
  rect["FirstCellLine"] = 1;
  rect["FirstCellColum"] = 1;

  OrderedJson t;
  OrderedJson& d = t["DevidePaper"];
  d["LinesThreadCount"] = 2;
  d["ColumsThreadCount"] = 2;
  d["LineCount"] = card.Rows;
  d["ColumCount"] = card.Columns;
  d["ClearRects"] = OrderedJson::array();
  d["PaperRects"]["PaperRect1"] = rect;
  // The lattice is regular throughout: no gap is exempt from the spacing checks.
  t["SplitConfig"]["TestNoAreaBlank"] = -1;
  t["TestNo"] = OrderedJson::array();
  for (const CardBlock& b : card.TestNo) t["TestNo"].push_back(block(b));
  t["Questions"] = OrderedJson::array();
  for (const CardBlock& b : card.QuestionBlocks) t["Questions"].push_back(block(b));
  t["Verifys"] = OrderedJson::array();
  t["LineQuestionCount"] = kGroupSize;
  return t.dump(2) + "\n";
}

std::string GeometryJson(const Card& card, const CardFilling* filling) {
  static const char* const kKinds[] = {"option", "digit", "label", "exampleFilled", "exampleTick",
                                       "exampleCross", "exampleCircle", "exampleDash"};
  OrderedJson g;
  g["name"] = card.Name;
  g["family"] = card.Family;
  g["pictureWidth"] = card.PictureWidth;
  g["pictureHeight"] = card.PictureHeight;
  g["frame"] = {card.Frame.X, card.Frame.Y, card.Frame.W, card.Frame.H};
  g["frameLine"] = card.FrameLine;
  g["rows"] = card.Rows;
  g["columns"] = card.Columns;
  g["rowPitch"] = card.RowPitch;
  g["columnPitch"] = card.ColumnPitch;
  OrderedJson cells = OrderedJson::array();
  for (const CardCell& c : card.Cells) {
    cells.push_back({c.Row, c.Col, kKinds[static_cast<int>(c.Kind)], c.Box.X, c.Box.Y, c.Box.W, c.Box.H});
  }
  g["cells"] = cells;
  OrderedJson anchors = OrderedJson::array();
  for (const PixPoint& p : AnchorPixels(card)) anchors.push_back({p.X, p.Y});
  g["anchors"] = anchors;
  if (filling != nullptr) {
    OrderedJson marks = OrderedJson::array();
    for (const CardFilling::Cell& m : filling->Marks) marks.push_back({m.Row, m.Col});
    g["filled"] = marks;
  }
  return g.dump() + "\n";
}

}  // namespace kestrelo::cards
