#pragma once
// The card set as geometry: from the compact layout descriptions (a drawing
// style and one file per card family) to every printed element of every card
// in picture pixels, and from that geometry to the card's template. Picture,
// print and template all come from this one description, so they cannot
// disagree.
//
// A card's answer area is one lattice of R rows and C columns inside a
// printed frame: every lattice cell holds a printed box (an option, a digit
// of the examinee number, a question-number label or a filling example), so
// that the blank bands between the boxes are the only light bands the row
// and column search can find.
#include <filesystem>
#include <string>
#include <vector>

namespace kestrelo::cards {

// Integer pixel rectangle: columns X .. X+W-1, rows Y .. Y+H-1.
struct PixRect {
  int X = 0;
  int Y = 0;
  int W = 0;
  int H = 0;
  int Right() const { return X + W; }   // one past the last column
  int Bottom() const { return Y + H; }  // one past the last row
};

struct PixPoint {
  int X = 0;
  int Y = 0;
};

// How a box is outlined. Dashed edges carry ink on about half of their
// length, the top dashes offset from the bottom ones (and the left from the
// right), so every column and every row of a box still holds some ink.
enum class OutlineStyle {
  Solid,        // closed outline
  DashedTopBottom,  // solid sides, dashed top and bottom
  DashedAll,    // all four sides dashed
};

// The drawing style shared by every card, in picture pixels at Dpi. Line
// thicknesses and gaps are given for a card whose frame is
// ReferenceFrameWidth wide and scale with each card's frame width: a card
// framed at a given share of the camera picture then shows the same line
// widths in camera pixels, whatever its size in print.
struct CardStyle {
  int Dpi = 200;
  // One row pitch and label size for all cards: the question-number label
  // pictures fit every card.
  int RowPitch = 35;
  int BoxHeight = 21;
  // A label is its number on a grey tab between two bars; the bars run as
  // wide as the option boxes (so the column search sees label columns as
  // wide as the others), the label pictures cover the middle LabelWidth.
  int LabelWidth = 36;
  int LabelOutline = 3;
  double FrameAspect = 1.33;   // frame width / height, unless a card says otherwise
  int MinColumnPitch = 52;     // room for a label box and its bands
  double BoxWidthShare = 0.7;  // option box width / column pitch
  int ReferenceFrameWidth = 1400;
  int FrameLine = 5;
  int FrameGap = 20;  // from a box edge to the frame's inner edge
  int Outline = 4;    // box outline thickness
  int Dash = 8;       // dash and gap length of dashed edges
  OutlineStyle Outline_Style = OutlineStyle::DashedAll;
  int LetterGrey = 190;  // option letters: light enough to binarise away
  int LabelFillGrey = 232;
  int PencilGrey = 60;   // the filled sample's marks
  int Margin = 40;       // paper around the frame at the sides and bottom
};

// One card family ("A" or "B") and the cards made from it.
struct FamilyVariant {
  std::string Name;  // the card's display name and file base name
  int Questions = 0;
  bool ExamNumber = false;
  int GroupsAcross = 3;     // question groups of five side by side
  double FrameAspect = 0;   // 0: the style's
};

struct CardFamily {
  std::string Family;  // "A" or "B": decides the label anchors
  std::string Options = "ABCD";
  std::vector<FamilyVariant> Variants;
};

// Read the style and family files; throw FileError naming the file and member.
CardStyle LoadStyle(const std::filesystem::path& file);
CardFamily LoadFamily(const std::filesystem::path& file);

enum class CellKind {
  Option,        // an answer box with its letter
  Digit,         // a box of the examinee number with its digit
  Label,         // a question-number label (or a caption); Box is its label-picture part
  ExampleFilled,  // filling example: a box filled in properly
  ExampleTick,   // ... and the wrong ways
  ExampleCross,
  ExampleCircle,
  ExampleDash,
};

struct CardCell {
  int Row = 0;
  int Col = 0;
  CellKind Kind = CellKind::Option;
  std::string Text;  // letter, digit or label text (UTF-8)
  PixRect Box;       // the printed box
};

// A template block: a straight run of lattice cells.
struct CardBlock {
  std::string Id;
  int Row = 0;  // first cell, lattice row and column from 0
  int Col = 0;
  int Count = 0;
  bool Down = false;  // TopBottom when true, LeftRight otherwise
  std::string Letters;
};

// The question-number label place of one group of five questions.
struct LabelPlace {
  int Group = 0;     // 1 for questions 1-5, 2 for 6-10, ...
  PixRect FirstBox;  // the label box of its first question
};

struct Card {
  std::string Name;
  std::string Family;
  int Questions = 0;
  bool ExamNumber = false;
  int ExamDigits = 0;
  int Columns = 0;  // lattice columns ("ColumCount")
  int Rows = 0;     // lattice rows ("LineCount")
  int ColumnPitch = 0;
  int RowPitch = 0;
  int BoxWidth = 0;
  int BoxHeight = 0;
  // The style's thicknesses at this card's size.
  double Zoom = 1;  // frame width / the style's reference frame width
  int Outline = 0;
  int Dash = 0;
  int FrameGap = 0;
  int PictureWidth = 0;
  int PictureHeight = 0;
  PixRect Frame;   // outer edge of the printed frame
  int FrameLine = 0;
  PixPoint LatticeOrigin;  // top-left of lattice cell (0, 0)
  std::vector<CardCell> Cells;
  std::vector<CardBlock> TestNo;
  std::vector<CardBlock> QuestionBlocks;
  std::vector<LabelPlace> Labels;
  // The examinee-number positions as rows: position p (from 1) is printed
  // beside lattice row ExamRowOfPosition[p-1], left (true) or right of the frame.
  std::vector<int> ExamRowOfPosition;
  std::vector<bool> ExamPositionLeft;
  bool ExampleInLattice = false;  // else the filling example is in the header
};

// A filled-in card: pencil marks in lattice cells and a name in the header.
struct CardFilling {
  struct Cell {
    int Row = 0;
    int Col = 0;
  };
  std::vector<Cell> Marks;
  std::string StudentName;
  std::string ExamNumber;  // written into the header's boxes
};

// The filled sample card: which card, under which name, filled how.
struct SamplePlan {
  std::string Card;     // the card it is made from
  std::string Name;     // file base name of its picture
  std::string Student;  // written into the name field
  std::string ExamNumber;
  std::vector<std::string> Answers;  // letters per question, in order
};
SamplePlan LoadSample(const std::filesystem::path& file);
// The pencil marks of the sample on its card; throws Error when an answer or
// digit has no box on the card.
CardFilling MakeFilling(const Card& card, const SamplePlan& sample);

// Lays out one card of a family. Throws Error when the family cannot hold it.
Card MakeCard(const CardStyle& style, const CardFamily& family, const FamilyVariant& variant);

// The white cuts that bevel the frame's two bottom outer corners, one
// rectangle per pixel column. The corner search meets a bottom corner at its
// outermost ink and refines the skew along the rows from there downwards: on
// a square corner those rows lie below the line and the skew comes out a
// degree or two too small. The shallow bevel makes the outermost point the
// top row of the bottom line, so the refinement runs inside the line, as it
// does along the top edge.
std::vector<PixRect> FrameBevels(const Card& card);

// The header (title, name fields, notes) is drawn at this share of its full
// size, so that it fits above the narrower cards.
double HeaderScale(const Card& card);

// The anchor pixels (pure red in the card picture) in reading order: per
// group, family A has the true/false label's anchor and then the number
// label's; family B has both for odd groups and only the number label's for
// even groups. The number label is pasted one column right of the
// true/false label, so each anchor sits on the label box's top edge row - 1
// above ink.
std::vector<PixPoint> AnchorPixels(const Card& card);
// Where a label picture goes: the number labels at the second anchor column.
int NumberLabelOffset();

// The template ("<name>.Config") as JSON text, UTF-8.
std::string TemplateJson(const Card& card);

// Where every box went, for the tests: JSON with the picture size, the frame
// and every cell's box (picture pixels; a box covers [x, x+w) x [y, y+h)).
std::string GeometryJson(const Card& card, const CardFilling* filling = nullptr);

}  // namespace kestrelo::cards
