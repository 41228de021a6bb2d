#pragma once
// Reading one sheet that the frame watch handed over, free of any window:
// straighten the frame by its skew, divide the sheet, lay out its grid and
// read the examinee number and the answer lines, colouring the sheet picture
// to show what was taken. Grading, recording and announcing are the caller's.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/CardTemplate.h"
#include "analysis/RectAnalyse.h"
#include "capture/FrameWatch.h"
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"
#include "settings/Cfg.h"
#include "setup/AnswerKey.h"

namespace kestrelo {

struct ReadSheetOptions {
  int JudgeValue = 0;  // the manual threshold, used while automatic judgement is off
  bool EnableVerify = true;
  bool DebugCellRect = false;
  std::filesystem::path DebugFolder = DefaultDebugFolder();
};

struct ReadSheetResult {
  // kAnalysisSuccess, kAnalysisUnclear or kAnalysisFailed.
  std::string Status;
  // Why it failed, in words for a developer (empty on success).
  std::string Reason;
  // Set on success only. The number is trimmed; an unmarked digit adds nothing.
  std::string ExamNo;
  // One line per question in template order: "Id=letters", or "Id= " when
  // nothing was taken or the question is unused.
  std::vector<std::string> AnswerLines;
  // The verification strips' text ("" when all held, "验证失败" per failed
  // strip); for display only, it never fails a sheet.
  std::string VerifyText;
  // The straightened, black-and-white sheet with the reading's colours.
  Picture Sheet;
  // The grid rectangle widened to the corner marks, on Sheet (clipped to it):
  // the part of the sheet to show.
  TRect SheetRect;
  // Threshold samples: the lightest cell taken and the darkest one left
  // (DarkCount 10000 and 0 when there was none).
  TMarginRecord LightestMarked{10000, TRect{}, 0, 0};
  TMarginRecord DarkestUnmarked{0, TRect{}, 0, 0};
  // Cells[row][col] on Sheet, for outlining questions; empty unless success.
  std::vector<std::vector<TCellInfo>> Cells;
  // The template the sheet was read with.
  CardTemplate Template;
  // The strip pictures written when the debug switch is on and a strip failed.
  Picture RowDebugPicture;
  Picture ColumDebugPicture;

  bool Ok() const { return Status == kAnalysisSuccess; }
};

// Reads the handed-over sheet. `key` supplies the question types (unused,
// multiple choice) and the answers' letter counts; the settings give automatic
// deskewing, judgement, forced single choice, fixed multiple-choice count, the
// strip count and the debug switch. Any sheet the analysis cannot read is a
// Status other than success, never an exception; a template text that is not
// a usable template throws TemplateError.
ReadSheetResult ReadSheet(ReadHandOff handOff, const std::vector<TAnswer>& key, const Tcfg& cfg,
                          const ReadSheetOptions& options = {});

// The letters of an answer line: the text after its first "=" (the line
// itself when it has none).
std::string_view AnswerValue(std::string_view line);
std::vector<std::string> AnswerValues(const std::vector<std::string>& lines);

// Where a point of the handed-over frame lies on the frame straightened by
// `skew` degrees (the turn about the frame's centre that ReadSheet applies).
TPoint DeskewedPoint(TPoint p, int frameWidth, int frameHeight, int skew);

// Frames each run of multiple-choice questions on the sheet in blue, a run
// ending at the end of every printed group of "LineQuestionCount" questions.
// cells: the reading's Cells; questions whose cells are unknown are not framed.
void OutlineMultiGroups(Picture& sheet, const CardTemplate& tmpl,
                        const std::vector<std::vector<TCellInfo>>& cells,
                        const std::vector<TAnswer>& key);

}  // namespace kestrelo
