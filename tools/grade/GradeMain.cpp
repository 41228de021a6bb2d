// kestrelo-grade: grades sheet pictures headless, through the same frame
// watch and read thread as the window. Each picture is offered as still
// frames until it is read or given up, so every picture gets one result.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CardTemplate.h"
#include "capture/FrameWatch.h"
#include "common/AtomicFile.h"
#include "common/DecimalText.h"
#include "common/Error.h"
#include "grading/ReadThread.h"
#include "imaging/BmpFile.h"
#include "export/RecordExport.h"
#include "export/StatisticsReport.h"
#include "setup/AnswerKey.h"
#include "setup/ExamTables.h"
#include "setup/Roster.h"

namespace fs = std::filesystem;
using namespace kestrelo;

namespace {

fs::path U8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }
std::string Text(const fs::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

// Boxes have nobody to answer them: their text goes to stderr and the
// default button is taken.
class ConsolePrompt : public Prompt {
 public:
  PromptAnswer Ask(const PromptRequest& r) override {
    std::cerr << "kestrelo-grade: " << r.Text << "\n";
    return r.Default;
  }
};

struct Options {
  std::vector<fs::path> Inputs;
  std::string Template;
  fs::path Key, Roster, Csv, Json;
  bool Demo = false;
  fs::path Xls, Doc, Stats;
  bool AllQuestions = false;
  fs::path ProgramDir;
  int MaxFrames = 40;
};

int Usage() {
  std::cerr << "usage: kestrelo-grade --template NAME --key FILE.score [--roster FILE.名册]\n"
               "         [--csv FILE] [--json FILE] [--xls FILE] [--doc FILE [--all-questions]]\n"
               "         [--stats FILE] [--demo] [--program-dir DIR] [--max-frames N]\n"
               "         [--no-auto-deskew] [--auto-judge|--judge-value N] [--force-single]\n"
               "         [--fixed-multi] [--ignore-repeat] [--warn-duplicate]\n"
               "         [--right-detail] [--wrong-detail] PICTURE.bmp|FOLDER...\n";
  return 2;
}

// The window's part, headless: records the hand-offs and outcomes.
class Window : public FrameWatchWindow, public ReadDisplay {
 public:
  explicit Window(std::string templateText) : templateText_(std::move(templateText)) {}
  TReadThreads* Threads = nullptr;
  int JudgeValueSetting = 0;
  int HandOffs = 0;
  std::vector<ReadOutcome> Outcomes;
  std::string Message;

  int Darkness() override { return 30; }
  void SetMessage1(const std::string& t) override { Message = t; }
  void SetMessage2(const std::string& t) override {
    if (!t.empty() && t != " ") Message = t;
  }
  void ShowAnalysisFrame(const Picture&) override {}
  std::string TemplateText() override { return templateText_; }
  void LaunchReading(ReadHandOff h) override {
    ++HandOffs;
    Threads->Launch(std::move(h));
  }
  void ReportError(const std::string& t) override { std::cerr << "kestrelo-grade: " << t << "\n"; }

  int JudgeValue() override { return JudgeValueSetting; }
  void ShowStatus(const std::string&) override {}
  void ShowSamples(const Picture&, const TMarginRecord&, const TMarginRecord&) override {}
  void ShowSheet(const Picture&, const TRect&) override {}
  void ShowDebugImages(const Picture&, const Picture&) override {}
  void ShowDetail(const std::string&) override {}
  void HoldFrames(bool) override {}
  void Beep() override {}
  void ReadDone(const ReadOutcome& o) override { Outcomes.push_back(o); }

 private:
  std::string templateText_;
};

std::vector<fs::path> Pictures(const std::vector<fs::path>& inputs) {
  std::vector<fs::path> out;
  for (const fs::path& in : inputs) {
    if (fs::is_directory(in)) {
      std::vector<fs::path> found;
      for (const auto& e : fs::directory_iterator(in)) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (e.is_regular_file() && ext == ".bmp") found.push_back(e.path());
      }
      std::sort(found.begin(), found.end());
      out.insert(out.end(), found.begin(), found.end());
    } else if (fs::exists(in)) {
      out.push_back(in);
    } else {
      throw FileError(Text(in), "no such picture or folder");
    }
  }
  return out;
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

std::string ResultsCsv(DataTable& db) {
  std::string out;
  for (int f = 0; f < db.FieldCount(); ++f)
    out += (f ? "," : "") + CsvField(db.Field(f).Name);
  out += "\r\n";
  if (db.RecordCount() == 0) return out;
  for (db.First();; db.Next()) {
    for (int f = 0; f < db.FieldCount(); ++f) {
      const Value v = db.Get(f);
      out += (f ? "," : "") + CsvField(v.IsNull() ? std::string() : v.AsString());
    }
    out += "\r\n";
    if (db.RecNo() == db.RecordCount()) break;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  Tcfg cfg;
  cfg.SetFPauseMs(0);
  int judgeValue = 0;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      const auto next = [&]() -> std::string {
        if (i + 1 >= argc) throw Error(a + " needs a value");
        return argv[++i];
      };
      if (a == "--template") o.Template = next();
      else if (a == "--key") o.Key = U8(next());
      else if (a == "--roster") o.Roster = U8(next());
      else if (a == "--csv") o.Csv = U8(next());
      else if (a == "--json") o.Json = U8(next());
      else if (a == "--xls") o.Xls = U8(next());
      else if (a == "--doc") o.Doc = U8(next());
      else if (a == "--all-questions") o.AllQuestions = true;
      else if (a == "--stats") o.Stats = U8(next());
      else if (a == "--demo") o.Demo = true;
      else if (a == "--program-dir") o.ProgramDir = U8(next());
      else if (a == "--max-frames") o.MaxFrames = std::stoi(next());
      else if (a == "--no-auto-deskew") cfg.SetFAutoDeskew(false);
      else if (a == "--auto-judge") cfg.SetFAutoJudge(true);
      else if (a == "--judge-value") { cfg.SetFAutoJudge(false); judgeValue = std::stoi(next()); }
      else if (a == "--force-single") cfg.SetFForceSingleChoice(true);
      else if (a == "--fixed-multi") cfg.SetFFixedMultiCount(true);
      else if (a == "--ignore-repeat") cfg.SetFIgnoreRepeatSheet(true);
      else if (a == "--warn-duplicate") cfg.SetFWarnDuplicate(true);
      else if (a == "--right-detail") cfg.SetFShowRightDetail(true);
      else if (a == "--wrong-detail") cfg.SetFShowWrongDetail(true);
      else if (a == "--help" || a == "-h") return Usage();
      else if (!a.empty() && a[0] == '-') throw Error("unknown option " + a);
      else o.Inputs.push_back(U8(a));
    }
  } catch (const std::exception& e) {
    std::cerr << "kestrelo-grade: " << e.what() << "\n";
    return Usage();
  }

  const fs::path program = o.ProgramDir.empty()
                               ? fs::canonical("/proc/self/exe").parent_path()
                               : o.ProgramDir;
  if (o.Demo) {
    // The bundled demo exam: its sheets, its key (named after its card) and roster.
    const auto first = [&](const char* folder, const std::string& ext) -> fs::path {
      const fs::path dir = program / U8(folder);
      std::vector<fs::path> found;
      if (fs::is_directory(dir))
        for (const auto& e : fs::directory_iterator(dir))
          if (Text(e.path().filename()).ends_with(ext)) found.push_back(e.path());
      if (found.empty()) return {};
      std::sort(found.begin(), found.end());
      return found.front();
    };
    const fs::path key = first("Score", ".score");
    const fs::path roster = first("名册", ".名册");
    if (!fs::is_directory(program / "TestPaper") || key.empty() || roster.empty()) {
      std::cerr << "kestrelo-grade: the demo exam is not built in " << Text(program)
                << " (TestPaper/, Score/*.score and 名册/*.名册 are needed)\n";
      return 3;
    }
    const std::string stem = Text(key.stem());
    o.Key = key;
    o.Roster = roster;
    o.Template = stem.substr(stem.find('_') == std::string::npos ? 0 : stem.find('_') + 1);
    o.Inputs = {program / "TestPaper"};
  }
  if (o.Template.empty() || o.Key.empty() || o.Inputs.empty()) return Usage();

  ConsolePrompt prompt;
  std::string templateText;
  ExamTables exam;
  DataTable roster = MakeRosterTable();
  RecordingState recording;
  CompiledKey key;
  try {
    fs::path t = U8(o.Template);
    if (!fs::exists(t)) t = program / "PaperTemplate" / U8(o.Template + ".Config");
    if (!fs::exists(t)) throw FileError(o.Template, "no such template");
    const CardTemplate tmpl = CardTemplate::Load(t);
    templateText = tmpl.ToText();
    // The key must fit the card it is read with.
    exam.CardQuestionCount = static_cast<int>(tmpl.Questions.size());
    exam.CardName = tmpl.Name();
    if (!fs::exists(o.Key)) throw FileError(Text(o.Key), "no such key file");
    if (!LoadKeyFiles(exam, o.Key, prompt)) throw FileError(Text(o.Key), "the key cannot be loaded");
    key = CompileKey(exam.AnswerCD, prompt);
    if (key.AnswerKey.empty()) throw FileError(Text(o.Key), "the key holds no questions");
    if (!o.Roster.empty()) {
      if (!fs::exists(o.Roster)) throw FileError(Text(o.Roster), "no such roster file");
      LoadRoster(roster, o.Roster);
      BuildRosterLookups(roster, recording.RosterNames, recording.RosterRows);
    }
  } catch (const std::exception& e) {
    std::cerr << "kestrelo-grade: " << e.what() << "\n";
    return 2;
  }

  DataTable dsDB = MakeResultsTable();
  BuildResultsTable(dsDB, TypeRangeNames(exam.ClientDataSet1),
                    static_cast<int>(key.AnswerKey.size()), prompt);
  if (!ResultsTableMatchesKey(dsDB, key)) {
    std::cerr << "kestrelo-grade: " << Text(o.Key)
              << ": the key's question types do not match its type ranges\n";
    return 2;
  }

  std::vector<fs::path> pictures;
  try {
    pictures = Pictures(o.Inputs);
  } catch (const std::exception& e) {
    std::cerr << "kestrelo-grade: " << e.what() << "\n";
    return 2;
  }

  ReadingState state;
  UiDispatcher ui;
  SteadyClock clock;
  Window window(templateText);
  window.JudgeValueSetting = judgeValue;
  ReadSession session(state, cfg, ui, window, prompt, key, dsDB, recording);
  TReadThreads threads(session);
  window.Threads = &threads;
  nlohmann::json sheets = nlohmann::json::array();
  int recorded = 0, failed = 0;
  {
    FrameWatch watch(state, cfg, ui, window, clock, program);
    state.DisplayHold = false;
    state.VideoDeviceCount = 1;
    state.Reading = true;
    watch.StartFrameWatch();
    for (std::size_t n = 0; n < pictures.size(); ++n) {
      const fs::path& file = pictures[n];
      nlohmann::json sheet{{"source", Text(file)}};
      std::string line;
      try {
        const Picture picture = ReadBmp(file);
        const int handOffsBefore = window.HandOffs;
        const std::size_t outcomesBefore = window.Outcomes.size();
        window.Message.clear();
        int frames = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (window.HandOffs == handOffsBefore && frames < o.MaxFrames &&
               std::chrono::steady_clock::now() < deadline) {
          if (state.FrameHandshake.load() == kFrameWanted) {
            watch.GrabFrame(&picture, std::nullopt);
            ++frames;
          }
          ui.ProcessFor(std::chrono::milliseconds(1));
        }
        if (window.HandOffs == handOffsBefore) {
          sheet["status"] = "no sheet found";
          line = "not read: no sheet found" + (window.Message.empty() ? "" : " (" + window.Message + ")");
          ++failed;
        } else {
          threads.WaitIdle(60000);
          if (window.Outcomes.size() == outcomesBefore) throw Error("the reading did not finish");
          const ReadOutcome& r = window.Outcomes.back();
          sheet["examNo"] = r.ExamNo;
          sheet["name"] = r.Name;
          sheet["score"] = std::stod(ScoreText(r.Total));
          nlohmann::json totals = nlohmann::json::object();
          for (const TTypeRec& t : r.TypeTotals) totals[t.Name] = std::stod(ScoreText(t.Total));
          sheet["typeTotals"] = totals;
          sheet["answers"] = r.Answers;
          if (r.Recorded) {
            sheet["status"] = "recorded";
            line = "考号 " + r.ExamNo + "  " + r.Name + "  " + ScoreText(r.Total) + " 分";
            for (const TTypeRec& t : r.TypeTotals) line += "  " + t.Name + " " + ScoreText(t.Total);
            ++recorded;
          } else {
            const std::string why = !r.Slots.ErrorText.empty() ? r.Slots.ErrorText
                                    : !r.Slots.RepeatNote.empty() ? r.Slots.RepeatNote
                                    : !r.Reason.empty()           ? r.Reason
                                                                  : r.Status;
            sheet["status"] = why;
            line = "not recorded: " + why;
            ++failed;
          }
        }
      } catch (const std::exception& e) {
        sheet["status"] = e.what();
        line = std::string("not read: ") + e.what();
        ++failed;
      }
      sheets.push_back(sheet);
      std::printf("%s: %s\n", Text(file).c_str(), line.c_str());
      std::fprintf(stderr, "[%zu/%zu] %d recorded, %d not\n", n + 1, pictures.size(), recorded,
                   failed);
    }
    watch.StopFrameWatch();
    watch.WaitStopped(5000);
    threads.Stop();
  }
  try {
    if (!o.Csv.empty()) WriteFileAtomically(o.Csv, ResultsCsv(dsDB));
    if (!o.Json.empty()) WriteFileAtomically(o.Json, sheets.dump(2) + "\n");
    // The exports sort the results by examinee number, so they come last.
    bool exported = true;
    if (!o.Xls.empty()) exported &= ExportResultsXls(dsDB, o.Xls, prompt);
    if (!o.Doc.empty()) exported &= ExportResultsDoc(dsDB, o.Doc, o.AllQuestions, prompt);
    if (!o.Stats.empty()) {
      exported &= ExportStatistics(dsDB, key.KeyTypeRuns, exam.AnswerCD.RecordCount(), o.Stats,
                                   prompt);
    }
    if (!exported) return 1;
  } catch (const std::exception& e) {
    std::cerr << "kestrelo-grade: " << e.what() << "\n";
    return 1;
  }
  return failed == 0 ? 0 : 1;
}
