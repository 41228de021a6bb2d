#pragma once
// A card template: the layout description of one printed answer sheet, read
// from its ".Config" file (relaxed JSON: comments allowed, integers also as
// numeric strings) and checked as a whole when it is loaded, so that a bad
// file is refused before any sheet is read with it. After loading, every
// frame-line index, sub-rectangle number and cell that the template names is
// known to be inside the card's lines and grid.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Error.h"

namespace kestrelo {

// A template that cannot be used. what() names the file and the member
// (for example "A.Config: Questions[3].GridNum: ...").
class TemplateError : public Error {
 public:
  TemplateError(const std::string& file, const std::string& member, const std::string& what);
  const std::string& File() const { return file_; }
  const std::string& Member() const { return member_; }

 private:
  std::string file_;
  std::string member_;
};

// "ClearRects" element: frame-line indices (vertical for Left/Right,
// horizontal for Top/Bottom), lines included.
struct TemplateClearRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// "PaperRectN" member: frame-line indices of the sides, and the grid row and
// column (counted from 1) of its first cell.
struct TemplatePaperRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int LineCount = 0;
  int ColumCount = 0;
  int FirstCellLine = 1;
  int FirstCellColum = 1;
};

// A grid cell, row and column counted from 0 (row 0 lies below the first
// horizontal frame line, column 0 right of the first vertical one).
struct GridCellRef {
  int Line = 0;
  int Colum = 0;
  bool operator==(const GridCellRef&) const = default;
};

// One block of "TestNo", "Questions" or "Verifys": a straight run of cells.
struct TemplateBlock {
  std::string Id;
  int PaperRectsId = 1;  // counted from 1
  int StartPosLine = 1;  // inside the sub-rectangle, counted from 1
  int StartPosColum = 1;
  int GridNum = 0;
  std::string Orient;     // "TopBottom", "LeftRight"; anything else: no cells
  std::string BackValue;  // UTF-8; at least GridNum characters
  int BackAnswerNum = 0;
};

class CardTemplate {
 public:
  // Reads and checks `<path>`. Throws FileError when the file cannot be read
  // and TemplateError when its content is not a usable template.
  static CardTemplate Load(const std::filesystem::path& path);
  // The same from the file's bytes: UTF-8 (with or without BOM) when they are
  // valid UTF-8, GBK otherwise. `name` labels errors.
  static CardTemplate FromText(std::string_view bytes, const std::string& name = "template");

  // The template as standard JSON text (UTF-8, no comments), for handing a
  // copy to a reading; FromText reads it back to an equal template.
  const std::string& ToText() const { return jsonText_; }
  const std::string& Name() const { return name_; }

  // The cells of a block in cell order; empty for an Orient it does not know.
  std::vector<GridCellRef> BlockCells(const TemplateBlock& block) const;
  // Character k (from 0) of the block's "BackValue" as UTF-8.
  std::string Letter(const TemplateBlock& block, int k) const;

  // "DevidePaper"
  int LinesThreadCount = 0;
  int ColumsThreadCount = 0;
  int LineCount = 0;   // grid rows
  int ColumCount = 0;  // grid columns
  std::vector<TemplateClearRect> ClearRects;
  std::vector<TemplatePaperRect> PaperRects;  // element i is "PaperRect<i+1>"
  // "SplitConfig"."TestNoAreaBlank": the one row gap exempt from the spacing checks.
  int TestNoAreaBlank = -1;
  std::vector<TemplateBlock> TestNo;
  std::vector<TemplateBlock> Questions;
  std::vector<TemplateBlock> Verifys;
  int LineQuestionCount = 5;

 private:
  std::string name_;
  std::string jsonText_;
};

// Removes comments outside strings (# or // to the end of the line, /* to
// */), keeping line breaks so that parse errors still give the right line.
std::string StripJsonComments(std::string_view text);

}  // namespace kestrelo
