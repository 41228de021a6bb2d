#include "tools/synth/FrameReading.h"

#include <algorithm>

#include "analysis/AnalysisError.h"
#include "analysis/ReadSheet.h"
#include "imaging/FindAngle.h"
#include "imaging/FramePrep.h"
#include "imaging/IntBmp.h"

namespace kestrelo::synth {

FrameReading ReadFrame(Picture frame, const std::string& templateText,
                       const std::vector<TAnswer>& key, const Tcfg& cfg, int darkness) {
  FrameReading out;
  TIntBmp work;
  PrepareFrame(work, frame, CleaningFrom(cfg, darkness));
  TFindAngle finder(cfg);
  const SheetLocation loc = LocateSheet(work, finder);
  out.Skew = loc.Skew;
  if (!loc.Accepted) {
    out.LocateMessage = loc.Message;
    return out;
  }
  out.Located = true;
  ReadHandOff h;
  h.Frame = frame.Clone();
  h.Grey = work.Grey;
  h.TemplateText = templateText;
  h.Skew = loc.Skew;
  h.TopLeft = loc.TopLeft;
  h.TopRight = loc.TopRight;
  h.BottomLeft = loc.BottomLeft;
  h.BottomRight = loc.BottomRight;
  h.Bounds = loc.Bounds;
  ReadSheetResult r = ReadSheet(std::move(h), key, cfg);
  out.Status = r.Status;
  out.Reason = r.Reason;
  out.Analysed = r.Ok();
  if (out.Analysed) {
    out.ExamNo = r.ExamNo;
    for (std::string_view v : AnswerValues(r.AnswerLines)) {
      std::string letters(v);
      letters.erase(std::remove(letters.begin(), letters.end(), ' '), letters.end());
      out.Answers.push_back(letters);
    }
  }
  out.Sheet = std::move(r.Sheet);
  return out;
}

CompiledKey IntendedKey(const std::vector<std::string>& intended, std::size_t firstMulti) {
  CompiledKey k;
  for (std::size_t q = 0; q < intended.size(); ++q) {
    const bool multi = q >= firstMulti;
    if (k.KeyTypeRuns.empty() || (k.KeyTypeRuns.back().Name == "多选题") != multi) {
      TTypeRec run;
      run.Index = static_cast<std::int32_t>(k.KeyTypeRuns.size());
      run.Name = multi ? "多选题" : "单选题";
      run.RightScore = 1;
      run.SelScareScore = multi ? 0.5f : 0;
      k.KeyTypeRuns.push_back(run);
    }
    TAnswer a;
    a.Item = static_cast<std::int32_t>(q + 1);
    a.TypeIndex = k.KeyTypeRuns.back().Index;
    a.SType = k.KeyTypeRuns.back().Name;
    a.RightScore = 1;
    a.SelScareScore = k.KeyTypeRuns.back().SelScareScore;
    a.Answer = intended[q].empty() ? "A" : intended[q];
    a.IsMulti = multi;
    k.AnswerKey.push_back(a);
  }
  return k;
}

}  // namespace kestrelo::synth
