#pragma once
// A camera frame read as the program reads it, with no window: the frame
// watch's binarisation, cleaning and corner search, the hand-off, and the read
// thread's ReadSheet. Shared by the recognition benchmark and the tests.
#include <string>
#include <vector>

#include "imaging/Picture.h"
#include "settings/Cfg.h"
#include "setup/AnswerKey.h"

namespace kestrelo::synth {

struct FrameReading {
  bool Located = false;
  std::string LocateMessage;  // why the frame watch refused the frame
  int Skew = 0;
  bool Analysed = false;  // ReadSheet's status was success
  std::string Status;
  std::string Reason;
  std::string ExamNo;
  std::vector<std::string> Answers;  // letters per question, "" when none taken
  Picture Sheet;  // the reading's coloured sheet picture (empty when not located)
};

// `darkness`: the "颜色浓度" value (0..50).
FrameReading ReadFrame(Picture frame, const std::string& templateText,
                       const std::vector<TAnswer>& key, const Tcfg& cfg, int darkness = 30);

// The key a sheet is graded against: one question per intended answer, multiple
// choice from `firstMulti` (counted from 0), one point each; a blank intended
// answer keeps "A" as its key. Types "单选题" and "多选题".
CompiledKey IntendedKey(const std::vector<std::string>& intended, std::size_t firstMulti);

}  // namespace kestrelo::synth
