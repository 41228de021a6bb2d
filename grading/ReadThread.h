#pragma once
// The read thread: carries one handed-over frame to a finished result. It
// reads the sheet, checks it against the key and the previous sheet, grades
// it, shows it, writes the results row and announces it. Everything that
// touches the window or the results table runs on the UI thread through the
// dispatcher; a refused call (the dispatcher shut down) ends the run at once.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/ReadSheet.h"
#include "capture/FrameWatch.h"
#include "capture/ReadingState.h"
#include "capture/UiDispatcher.h"
#include "common/DataTable.h"
#include "common/Prompt.h"
#include "grading/Announce.h"
#include "grading/ResultRecords.h"
#include "settings/Cfg.h"
#include "setup/AnswerKey.h"

namespace kestrelo {

inline constexpr const char* kRepeatNote = "与上次阅卷相同";
inline constexpr const char* kCountMismatch = "问题数量与答案数量不符";
inline constexpr const char* kRecordFailed = "记录成绩出错！";
inline constexpr const char* kCellSuccess = "成功";

// The four status slots of a run.
struct ReadStatus {
  std::string MultiAsSingleNote;  // at most 20 bytes
  std::string SingleAsMultiNote;  // at most 20 bytes
  std::string ErrorText;          // at most 80 bytes
  std::string RepeatNote;         // at most 20 bytes
};

// The status panel's text: the four slots, cut to 40, 120 and 140 GBK bytes
// after the second, third and fourth.
std::string StatusPanelText(const ReadStatus& status);

// What one run came to, for the window's log and the grading command.
struct ReadOutcome {
  std::int32_t Sequence = 0;
  std::string Status;  // the analysis status, or "" when the analysis raised an error
  std::string Reason;
  ReadStatus Slots;
  bool Recorded = false;  // a row was written
  bool Dropped = false;   // another sheet was being recorded, or the repeat was skipped
  std::string ExamNo, Name;
  float Total = 0;
  std::vector<TTypeRec> TypeTotals;
  std::vector<std::string> Answers;  // the letters read per question
  std::string Detail;
};

// The window's controls as the read thread uses them. Every call is made on
// the UI thread.
class ReadDisplay {
 public:
  virtual ~ReadDisplay() = default;
  virtual int JudgeValue() = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  // The lightest cell taken and the darkest left, regions of `sheet`.
  virtual void ShowSamples(const Picture& sheet, const TMarginRecord& lightestMarked,
                           const TMarginRecord& darkestUnmarked) = 0;
  virtual void ShowSheet(const Picture& sheet, const TRect& sheetRect) = 0;
  virtual void ShowDebugImages(const Picture& rows, const Picture& columns) = 0;
  virtual void ShowDetail(const std::string& detail) = 0;
  virtual void HoldFrames(bool hold) = 0;
  virtual void Beep() = 0;
  // The end of every run, after the last status.
  virtual void ReadDone(const ReadOutcome& outcome) = 0;
};

// What the reading session shares between runs. The window owns it and
// changes it only while reading is stopped.
struct ReadSession {
  ReadSession(ReadingState& state, const Tcfg& cfg, UiDispatcher& ui, ReadDisplay& display,
              Prompt& p, const CompiledKey& key, DataTable& db, RecordingState& recording)
      : State(state), Cfg(cfg), Ui(ui), Display(display), prompt(p), Key(key), dsDB(db),
        Recording(recording) {}

  ReadingState& State;
  const Tcfg& Cfg;
  UiDispatcher& Ui;
  ReadDisplay& Display;
  Prompt& prompt;
  const CompiledKey& Key;
  DataTable& dsDB;
  RecordingState& Recording;
  TAnnouncer* Announcer = nullptr;  // none: nothing is played
  ReadSheetOptions Options{};       // JudgeValue is taken from the display
  std::string LastSheetSignature;   // the window clears it when reading starts
};

// Runs the read threads of a session. UI thread only, except Execute.
class TReadThreads {
 public:
  explicit TReadThreads(ReadSession& session) : session_(session) {}
  // Shuts the dispatcher down and joins every thread.
  ~TReadThreads();
  TReadThreads(const TReadThreads&) = delete;
  TReadThreads& operator=(const TReadThreads&) = delete;

  // Counts the reading in ReadThreadsAlive and starts it in its own thread.
  void Launch(ReadHandOff handOff);
  // Runs the threads' calls until none is alive or the time is up; true when none is.
  bool WaitIdle(int timeoutMs);
  // Refuses further calls (waiting threads end at once) and joins every thread.
  void Stop();

 private:
  struct Worker {
    std::thread Thread;
    std::atomic<bool> Finished{false};
  };
  void JoinFinished();

  ReadSession& session_;
  std::vector<std::unique_ptr<Worker>> workers_;
};

// One whole run over a handed-over sheet, in the calling thread. Does not
// touch ReadThreadsAlive.
ReadOutcome ExecuteReading(ReadSession& session, ReadHandOff handOff);

// Frees unused heap back to the system, at most once per 100 s.
void TrimMemory();

}  // namespace kestrelo
