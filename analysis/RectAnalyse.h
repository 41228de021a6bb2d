#pragma once
// The analysis of one sheet: inside the grid rectangle of the division it
// erases the frame lines, cuts the area into strips, finds the row and column
// lines of every strip in the blank bands between printed boxes, joins them
// into the grid's crossing points and measures the ink of every cell (the
// layout step); then it judges the cells of every template block from those
// records and reads the examinee number and the answer lines (mark reading),
// colouring the sheet picture to show what it took.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/PaperRectDevide.h"
#include "analysis/SortCellRect.h"
#include "analysis/XianDuanList.h"
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"
#include "settings/Cfg.h"

namespace kestrelo {

// One grid cell. Dark means a first byte below 10 (black, NearBlack and the
// like count).
struct TCellInfo {
  TRect Rect;           // the cell on the sheet picture, inclusive
  TRect ContentRect;    // bounding box of its ink; (0,0,0,0) when that is one row
  int DarkCount = 0;    // dark pixels in ContentRect; 0 for an empty cell
  int ContentArea = 0;  // pixels of ContentRect; 0 for an empty cell
  int MaxRowDark = 0;   // most dark pixels in one row of Rect
  bool Filled = false;  // every column of the middle half of ContentRect has ink
};

enum class TLineDir { Rows, Colums };

// What one strip's line search found, with what the debug pictures need.
struct TLineSearch {
  std::unique_ptr<TXianDuanList> Lines;  // null when no threshold was accepted
  TLineDiag Diag;
  std::unique_ptr<TXianDuanList> SpreadFail;  // best candidate failing the twofold check
  std::unique_ptr<TXianDuanList> VarFail;     // best candidate failing the variance limit
  std::vector<int> Profile;
};

// Where the debug pictures go when no folder is set: "Paper" in the system's
// temporary folder.
std::filesystem::path DefaultDebugFolder();

struct TAnswer;

// How a block is read: examinee-number digits and questions give an answer
// line and colour the picture; verification strips only count their marks.
enum class TReadMode { Answer, Verify };

// A cell kept to help the user set the manual threshold: the lightest cell
// taken as marked and the darkest one left unmarked.
struct TMarginRecord {
  int DarkCount = 0;
  TRect Rect;
  int Line = 0;
  int Colum = 0;
};

// The display colours of mark reading. The workspace grey and the caption
// blue stand for the desktop scheme's colours of those names.
inline constexpr TColorTriple kBackColor{171, 171, 171};
inline constexpr TColorTriple kSingleMarkColor{0, 255, 0};     // lime
inline constexpr TColorTriple kMultiMarkColor{209, 180, 153};  // active caption
inline constexpr TColorTriple kFrameColor{0, 128, 0};          // green
inline constexpr TColorTriple kMultiFrameColor{255, 0, 0};     // blue
inline constexpr TColorTriple kMarkRed{0, 0, 255};

// The text of a verification block that did not find its marks.
inline constexpr const char* kVerifyFailed = "验证失败";

class TRectAnalyse {
 public:
  // gridRect, lineCount, columCount: the division's GridRect, LineCount and
  // ColumCount. The settings are read while the analysis runs (strip count,
  // variance limit, debug switch, the mark-judging options) and must outlive
  // the object.
  TRectAnalyse(const TRect& gridRect, int lineCount, int columCount, const Tcfg& cfg);
  TRectAnalyse(const TRectAnalyse&) = delete;
  TRectAnalyse& operator=(const TRectAnalyse&) = delete;

  // The layout step. Before it, set PaperDevide, Bmp, GreyPlane, Corners
  // (and SheetNo, DebugFolder for the debug pictures). On success errorText
  // is empty and Cells/Crossings are valid; when a strip yields no lines it
  // is kAnalysisUnclear (and the strip's debug pictures are written when the
  // debug switch is on). Throws AnalysisError for a sheet or template it
  // cannot work with (a frame-line index beyond the lines found, a grid too
  // small to cut into strips, a grid of two rows or columns, crossings not
  // met); the caller reports those as kAnalysisFailed. The verification
  // strips belong to mark reading, which runs them after this step.
  void AnalyseLayout(std::string& errorText);

  // The n strips of the layout step: horizontal strips stacked down the grid,
  // vertical strips side by side; the last one ends at the grid's edge.
  static std::vector<TRect> HorizontalStrips(const TRect& grid, int n);
  static std::vector<TRect> VerticalStrips(const TRect& grid, int n);

  void EraseFrameLines();
  void BuildCells();
  void MakeCellInfo(int row, int col, const TRect& r);
  // Ink bounding box of r (see TCellInfo); maxRowDark: most dark pixels in a row of r.
  TRect FindContentRect(const TRect& r, int& maxRowDark) const;
  // Dark pixels in r; dark ones that are not pure black become pure black.
  int CountDarkNormalise(const TRect& r);
  // A copy of Cells[row][col]; throws AnalysisError outside the grid.
  TCellInfo GetCell(int row, int col) const;

  // The sheet analysis: the layout step, the verification strips, then the
  // examinee number and one answer line per question ("Id=letters", "Id= "
  // when nothing was taken or the question is unused). Status is
  // kAnalysisSuccess, or the layout's failure text (kAnalysisUnclear,
  // kAnalysisFailed for any error inside the layout step); examNo and
  // answerLines are set on success only. Set AnswerKey (and EnableVerify,
  // DebugCellRect) besides the layout step's fields first. A template error
  // while reading the number or the questions is thrown, not reported.
  void Analyse(std::vector<std::string>& answerLines, std::string& examNo, std::string& status);
  // The digits read, one per block; an unmarked digit adds nothing.
  std::string ReadTestNo(const std::vector<TemplateBlock>& blocks);
  // One line per question block, read against AnswerKey entry i (a key
  // shorter than the blocks reads the rest as used single-choice questions).
  std::vector<std::string> ReadQuestions(const std::vector<TemplateBlock>& blocks);
  // Empty unless EnableVerify; else the blocks' texts joined: "" for a block
  // with exactly its "BackAnswerNum" marks, kVerifyFailed otherwise.
  std::string ReadVerifys(const std::vector<TemplateBlock>& blocks);
  // One block's result: in Answer mode "Id=" and the letters taken (a blank
  // when none), in Verify mode see ReadVerifys. keyAnswer: the key's letters
  // (their count matters with a fixed number of multiple-choice letters);
  // numberMode: a digit of the examinee number, which always takes the
  // darkest of several marks; skip: an unused question, no cell is judged.
  std::string ReadBlock(const TemplateBlock& block, TReadMode mode, std::string_view keyAnswer,
                        bool numberMode, bool skip, bool isMulti);
  // The mark test of one cell from its record (automatic judgement or the
  // manual JudgeValue); in Answer mode it updates the margin records.
  bool IsMarked(int row, int col, TReadMode mode);
  // Mean grey level of the pure-black pixels of r off the row lines, rounded
  // half to even; 200 when there are 50 or fewer.
  int CellDarkness(const TRect& r) const;
  // Pixels of r (clipped to the picture) that are exactly a become b.
  void Recolour(const TRect& r, TColorTriple a, TColorTriple b);
  // The same inside r shrunk by d pixels on every side.
  void RecolourInset(const TRect& r, int d, TColorTriple a, TColorTriple b);

  // Line search of one strip (the search of the blank bands).
  TLineSearch FindRowLines(int index, const TRect& r);
  TLineSearch FindColumLines(const TRect& r);
  std::vector<int> RowProfile(const TRect& r) const;
  std::vector<int> ColumProfile(const TRect& r) const;
  static void RowRuns(const TRect& r, TXianDuanList& l, const std::vector<int>& p, int t);
  static void ColumRuns(const TRect& r, TXianDuanList& l, const std::vector<int>& p, int t);
  // The threshold search over t0..t1 for n+1 lines; fills diag and the failure lists.
  std::unique_ptr<TXianDuanList> SearchRowLines(const TRect& r, int t0, int t1, int n,
                                                const std::vector<int>& p, TLineSearch& out);
  std::unique_ptr<TXianDuanList> SearchColumLines(const TRect& r, int t0, int t1, int n,
                                                  const std::vector<int>& p, TLineSearch& out);
  void RemoveNarrowestGap(TXianDuanList& l, TLineDir dir) const;
  TGapCheck CheckGapSpread(const TXianDuanList& l, TLineDir dir) const;
  // Integer variance of the interior gaps. Throws AnalysisError when there
  // is none (three lines): the mean would divide by zero.
  int GapVariance(const TXianDuanList& l, TLineDir dir);

  // Draws one strip's debug picture into ErrPicture ('E', rows) or
  // WrrPicture ('W', columns) and saves it as `file`.
  void SaveStripPicture(const TRect& r, const TXianDuanList& l, const TGapCheck& g,
                        const std::string& text, const std::filesystem::path& file, char kind,
                        const std::vector<int>& profile);

  TRect GridRect;
  int FLinesCount = 0;   // grid rows
  int FColumsCount = 0;  // grid columns
  // Crossings[i][j]: where row line i meets column line j.
  std::vector<std::vector<TPoint>> Crossings;
  std::vector<std::vector<TCellInfo>> Cells;  // Cells[row][col]
  int CellHeight = 0;
  int CellWidth = 0;
  int TestNoAreaBlank = -1;
  std::vector<int> Gaps;

  TPaperRectDevide* PaperDevide = nullptr;  // not owned
  TIntBmp* Bmp = nullptr;                   // not owned; black and white
  // Grey level [row][column] of every pixel of Bmp; not owned. The layout
  // writes 10000 along the row lines and 30000 at the crossings.
  TIntDynaArrArr* GreyPlane = nullptr;
  int JudgeValue = 0;
  int SheetNo = 0;
  TPoint Corners[4];  // sheet corners: top-left, top-right, bottom-left, bottom-right
  std::filesystem::path DebugFolder = DefaultDebugFolder();

  // Why the last AnalyseLayout gave kAnalysisUnclear, or Analyse
  // kAnalysisFailed, for developers.
  std::string FailReason;

  // Mark reading. The key is the caller's (not owned); null reads every
  // question as a used single-choice question.
  const std::vector<TAnswer>* AnswerKey = nullptr;
  bool EnableVerify = true;    // the "校验答题卡：" check box
  bool DebugCellRect = false;  // outline every judged cell and its ink in blue
  // What the verification strips gave in the last Analyse; it never changes
  // the status.
  std::string VerifyText;
  TSortCellRectList MarkList;  // the candidates of the block being read
  // Kept over all answer blocks of the sheet.
  TMarginRecord LightestMarked{10000, TRect{}, 0, 0};
  TMarginRecord DarkestUnmarked{0, TRect{}, 0, 0};
  TColorTriple BackColor = kBackColor;
  TColorTriple SingleMarkColor = kSingleMarkColor;
  TColorTriple MultiMarkColor = kMultiMarkColor;
  TColorTriple FrameColor = kFrameColor;
  TColorTriple MultiFrameColor = kMultiFrameColor;

  Picture ErrPicture;  // row debug picture
  Picture WrrPicture;  // column debug picture

 private:
  const Tcfg& cfg_;
  void WriteDebugPictures(int index, const TRect& strip, const TLineSearch& search, bool rows);
};

}  // namespace kestrelo
