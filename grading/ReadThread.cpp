#include "grading/ReadThread.h"

#include <malloc.h>

#include <chrono>
#include <exception>
#include <utility>

#include "common/DecimalText.h"
#include "common/GbkText.h"
#include "grading/Scoring.h"

namespace kestrelo {
namespace {

// A call the UI thread refused: the session is shutting down.
struct Stopped {};

template <class F>
void OnUi(ReadSession& s, F&& fn) {
  if (!s.Ui.Invoke(std::function<void()>(std::forward<F>(fn)))) throw Stopped{};
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Sets DisplayHold for the recording and clears it however the recording ends.
class HoldDisplay {
 public:
  explicit HoldDisplay(ReadingState& s) : s_(s) { s_.DisplayHold = true; }
  ~HoldDisplay() { s_.DisplayHold = false; }
  HoldDisplay(const HoldDisplay&) = delete;
  HoldDisplay& operator=(const HoldDisplay&) = delete;

 private:
  ReadingState& s_;
};

void Record(ReadSession& s, ReadSheetResult& sheet, ReadOutcome& out) {
  HoldDisplay hold(s.State);
  const std::string& number = out.ExamNo;
  out.Name = number.empty() ? std::string() : s.Recording.RosterNames.Value(number);

  TRecArray cells;
  OnUi(s, [&] { cells = MakeCells(s.dsDB); });
  const SheetGrade grade =
      GradeSheet(out.Answers, s.Key,
                 GradeOptions{s.Cfg.FShowRightDetail(), s.Cfg.FShowWrongDetail()}, cells);
  out.Total = grade.Total;
  out.TypeTotals = grade.TypeList;
  out.Slots.MultiAsSingleNote = grade.MultiAsSingleNote;
  out.Slots.SingleAsMultiNote = grade.SingleAsMultiNote;

  std::string summary = "考号：" + number + "   姓名：" + out.Name + "   总得分： " +
                        ScoreText(grade.Total) + "  分     \r\n";
  for (const TTypeRec& t : grade.TypeList)
    summary += "  " + t.Name + "： " + ScoreText(t.Total) + "分 ";
  out.Detail = summary + "\r\n\r\n" + grade.Detail;

  cells.Set(0, kCellSuccess);
  cells.Set(1, number);
  cells.Set(2, out.Name);
  cells.Set(3, ScoreText(grade.Total));
  for (std::size_t j = 0; j < grade.TypeList.size(); ++j)
    cells.Set(4 + j, ScoreText(grade.TypeList[j].Total));

  OutlineMultiGroups(sheet.Sheet, sheet.Template, sheet.Cells, s.Key.AnswerKey);

  const std::string status = StatusPanelText(out.Slots);
  OnUi(s, [&] { s.Display.ShowStatus(status); });
  OnUi(s, [&] {
    s.Display.ShowSamples(sheet.Sheet, sheet.LightestMarked, sheet.DarkestUnmarked);
  });
  OnUi(s, [&] { s.Display.ShowSheet(sheet.Sheet, sheet.SheetRect); });
  WriteAnswer answer = WriteAnswer::Declined;
  OnUi(s, [&] {
    // The row is decided when the sheet is written: an append takes the
    // record count of that moment.
    WriteResultInput in;
    in.Detail = out.Detail;
    in.ExamineeNumber = number;
    in.Cells = &cells;
    in.TargetRow = DecideTargetRow(s.Recording, s.dsDB, number);
    WriteResultHooks hooks;
    hooks.ShowDetail = [&](const std::string& d) { s.Display.ShowDetail(d); };
    hooks.HoldFrames = [&](bool h) { s.Display.HoldFrames(h); };
    answer = WriteResult(s.dsDB, s.Recording, in, s.Cfg.FWarnDuplicate(), s.prompt, hooks);
  });
  out.Recorded = answer == WriteAnswer::Written;
  if (out.Recorded && s.Announcer) {
    std::vector<float> totals;
    for (const TTypeRec& t : grade.TypeList) totals.push_back(t.Total);
    s.Announcer->PlayDing();
    s.Announcer->Announce(out.Name, number, grade.Total, totals, 1);
  }
}

}  // namespace

std::string StatusPanelText(const ReadStatus& st) {
  std::string t = CutToGbkBytes(st.MultiAsSingleNote + st.SingleAsMultiNote, 40);
  t = CutToGbkBytes(t + st.ErrorText, 120);
  return CutToGbkBytes(t + st.RepeatNote, 140);
}

ReadOutcome ExecuteReading(ReadSession& s, ReadHandOff handOff) {
  ReadOutcome out;
  out.Sequence = handOff.Sequence;
  ReadSheetResult sheet;
  try {
    ReadSheetOptions options = s.Options;
    OnUi(s, [&] { options.JudgeValue = s.Display.JudgeValue(); });
    bool analysed = false;
    try {
      sheet = ReadSheet(std::move(handOff), s.Key.AnswerKey, s.Cfg, options);
      analysed = true;
    } catch (const std::exception& e) {
      // The division or the analysis failed: nothing is recorded, no error text.
      out.Reason = e.what();
    }
    if (analysed) {
      out.Status = Trim(sheet.Status);
      out.Reason = sheet.Reason;
      out.ExamNo = Trim(sheet.ExamNo);
      out.Answers = AnswerValues(sheet.AnswerLines);
      bool skip = false;
      if (out.Status != kAnalysisSuccess) {
        out.Slots.ErrorText = CutToGbkBytes(out.Status, 80);
      } else if (s.State.DisplayHold.load()) {
        out.Dropped = true;
      } else if (sheet.AnswerLines.size() != s.Key.AnswerKey.size()) {
        out.Slots.ErrorText = CutToGbkBytes(std::string(kCountMismatch) +
                                                std::to_string(sheet.AnswerLines.size()) + " " +
                                                std::to_string(s.Key.AnswerKey.size()),
                                            80);
      } else {
        std::string signature = out.ExamNo;
        for (const std::string& line : sheet.AnswerLines) signature += line + "\r\n";
        if (signature == s.LastSheetSignature) {
          out.Slots.RepeatNote = kRepeatNote;
          skip = s.Cfg.FIgnoreRepeatSheet();
        } else {
          s.LastSheetSignature = std::move(signature);
        }
        if (!skip && s.State.DisplayHold.load()) skip = true;
        out.Dropped = skip;
        if (!skip) {
          try {
            Record(s, sheet, out);
          } catch (const Stopped&) {
            throw;
          } catch (const std::exception&) {
            out.Recorded = false;
            out.Slots.ErrorText = kRecordFailed;
            OnUi(s, [&] { s.Display.Beep(); });
          }
        }
      }
    }
    if (s.Cfg.FDebugAnalyse())
      OnUi(s, [&] { s.Display.ShowDebugImages(sheet.RowDebugPicture, sheet.ColumDebugPicture); });
    const std::string status = StatusPanelText(out.Slots);
    OnUi(s, [&] { s.Display.ShowStatus(status); });
    s.State.DemoPictureNo.fetch_add(1);
    OnUi(s, [&] { s.Display.ReadDone(out); });
  } catch (const Stopped&) {
    // The window is closing: end without touching it again.
  }
  return out;
}

void TrimMemory() {
  using Clock = std::chrono::steady_clock;
  static std::mutex mutex;
  static bool ran = false;
  static Clock::time_point last;
  std::lock_guard lock(mutex);
  const auto now = Clock::now();
  if (ran && now - last < std::chrono::milliseconds(100000)) return;
  ran = true;
  last = now;
  malloc_trim(0);
}

TReadThreads::~TReadThreads() { Stop(); }

void TReadThreads::Launch(ReadHandOff handOff) {
  JoinFinished();
  session_.State.ReadThreadsAlive.fetch_add(1);
  auto w = std::make_unique<Worker>();
  Worker* worker = w.get();
  ReadSession* s = &session_;
  worker->Thread = std::thread([s, worker, h = std::move(handOff)]() mutable {
    ExecuteReading(*s, std::move(h));
    // Counted off on the UI thread; a refused call means the UI thread is
    // past caring, so the count goes down here.
    if (!s->Ui.Invoke([s] {
          s->State.ReadThreadsAlive.fetch_sub(1);
          TrimMemory();
        }))
      s->State.ReadThreadsAlive.fetch_sub(1);
    worker->Finished = true;
  });
  workers_.push_back(std::move(w));
}

bool TReadThreads::WaitIdle(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (session_.State.ReadThreadsAlive.load() > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    session_.Ui.ProcessFor(std::chrono::milliseconds(1));
  }
  JoinFinished();
  return true;
}

void TReadThreads::Stop() {
  session_.Ui.Shutdown();
  for (auto& w : workers_)
    if (w->Thread.joinable()) w->Thread.join();
  workers_.clear();
}

void TReadThreads::JoinFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->Finished.load()) {
      (*it)->Thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace kestrelo
