// The recognition benchmark: a fixed, seeded set of synthetic camera frames
// (tools/synth) of several cards of both families under every condition,
// read as the program reads them (frame preparation, corner search, ReadSheet)
// and graded against the intended key. Prints one row per condition: frames
// located, sheets analysed, examinee numbers right, questions right, scores
// right, and the sheets read "successfully" with a wrong answer or number.
//
//   kestrelo-bench-recognition [--seeds N] [--conditions a,b,...] [--cards A,B,...]
//                              [--darkness D] [--remove-border] [--remove-specks]
//                              [--failures FOLDER] [--examples K] [--coverage LO,HI]
//
// Default: 12 seeds x 6 cards x 9 conditions = 648 frames. Questions whose
// marks were made ambiguous on purpose are counted apart ("ambiguous"): any
// reading with or without the ambiguous letter is accepted there. --failures
// writes every frame read wrongly or refused, with its truth and the
// reading's coloured sheet picture, to FOLDER.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "common/AtomicFile.h"
#include "grading/Scoring.h"
#include "imaging/BmpFile.h"
#include "tools/synth/BuildTree.h"
#include "tools/synth/FrameReading.h"
#include "tools/synth/SheetSynth.h"

namespace fs = std::filesystem;
using namespace kestrelo;
using namespace kestrelo::synth;

namespace {

const std::vector<std::string> kCards = {"A类-标准45题卡(荐)", "A类-标准30题卡",
                                         "A类-无考号60题卡",   "B类-标准80题卡",
                                         "B类-标准40题卡",     "B类-无考号100题卡"};

struct Tally {
  int Frames = 0;
  int Located = 0;
  int Analysed = 0;
  int Numbered = 0;  // analysed sheets of cards with an examinee number
  int NumbersRight = 0;
  int WrongNumbers = 0;  // analysed with a wrong number
  long Questions = 0;    // unambiguous questions of analysed sheets
  long QuestionsRight = 0;
  long Ambiguous = 0;
  int ScoresRight = 0;
  int WrongAccepted = 0;  // analysed, but a number or an unambiguous answer wrong
  std::vector<std::string> Examples;

  void Add(const Tally& o) {
    Frames += o.Frames;
    Located += o.Located;
    Analysed += o.Analysed;
    Numbered += o.Numbered;
    NumbersRight += o.NumbersRight;
    WrongNumbers += o.WrongNumbers;
    Questions += o.Questions;
    QuestionsRight += o.QuestionsRight;
    Ambiguous += o.Ambiguous;
    ScoresRight += o.ScoresRight;
    WrongAccepted += o.WrongAccepted;
  }
};

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t c = s.find(',', at);
    out.push_back(s.substr(at, c == std::string::npos ? std::string::npos : c - at));
    if (c == std::string::npos) return out;
    at = c + 1;
  }
}

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(stderr,
               "kestrelo-bench-recognition: %s\n"
               "usage: kestrelo-bench-recognition [--seeds N] [--conditions a,b] [--cards A,B] "
               "[--darkness D]\n"
               "       [--remove-border] [--remove-specks] [--failures FOLDER] [--examples K] "
               "[--coverage LO,HI]\n",
               why.c_str());
  std::exit(2);
}

int ToInt(const std::string& s, const char* what, int lo, int hi) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || v < lo || v > hi) Usage(std::string(what) + ": out of range");
  return static_cast<int>(v);
}

std::string Percent(long a, long b) {
  if (b == 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f %%",
                100.0 * static_cast<double>(a) / static_cast<double>(b));
  return buf;
}

void PrintRow(const char* name, const Tally& t) {
  char numbers[32], questions[48], scores[32];
  std::snprintf(numbers, sizeof numbers, "%d/%d", t.NumbersRight, t.Numbered);
  std::snprintf(questions, sizeof questions, "%ld/%ld (%s)", t.QuestionsRight, t.Questions,
                Percent(t.QuestionsRight, t.Questions).c_str());
  std::snprintf(scores, sizeof scores, "%d/%d", t.ScoresRight, t.Analysed);
  std::printf("| %-13s | %6d | %7d | %8d | %9s | %-24s | %9ld | %6s | %14d |\n", name, t.Frames,
              t.Located, t.Analysed, numbers, questions, t.Ambiguous, scores, t.WrongAccepted);
}

}  // namespace

int main(int argc, char** argv) {
  int seeds = 12;
  int darkness = 30;
  int examples = 3;
  std::vector<Condition> conditions = AllConditions();
  std::vector<std::string> cards = kCards;
  Tcfg cfg;
  fs::path failures;
  double coverageLo = 0.60, coverageHi = 0.85;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--seeds") {
      seeds = ToInt(value(), "--seeds", 1, 100000);
    } else if (a == "--conditions") {
      conditions.clear();
      for (const std::string& n : Split(value())) {
        const auto c = ConditionFromName(n);
        if (!c) Usage("no such condition: " + n);
        conditions.push_back(*c);
      }
    } else if (a == "--cards") {
      cards = Split(value());
    } else if (a == "--darkness") {
      darkness = ToInt(value(), "--darkness", 0, 50);
    } else if (a == "--remove-border") {
      cfg.SetFRemoveBorder(true);
    } else if (a == "--remove-specks") {
      cfg.SetFRemoveSpecks(true);
    } else if (a == "--failures") {
      failures = value();
    } else if (a == "--examples") {
      examples = ToInt(value(), "--examples", 0, 1000);
    } else if (a == "--coverage") {
      const std::vector<std::string> c = Split(value());
      if (c.size() != 2) Usage("--coverage takes LO,HI");
      coverageLo = ToInt(c[0], "--coverage", 20, 100) / 100.0;
      coverageHi = ToInt(c[1], "--coverage", 20, 100) / 100.0;
    } else {
      Usage("unknown argument: " + a);
    }
  }

  try {
    SheetSynth synth(BuildTreeSources());
    std::map<std::string, std::string> templates;
    for (const std::string& c : cards) {
      templates[c] = ReadWholeFile(BuildTreeSources().Templates / Utf8Path(c + ".Config"));
    }
    if (!failures.empty()) fs::create_directories(failures);

    std::map<Condition, Tally> byCondition;
    std::map<std::string, Tally> byCard;
    Tally mild;  // clean, and the other conditions at severity below one half
    double synthSeconds = 0, readSeconds = 0;
    const auto clock = [] { return std::chrono::steady_clock::now(); };
    for (Condition cond : conditions) {
      Tally& t = byCondition[cond];
      for (const std::string& card : cards) {
        for (int s = 1; s <= seeds; ++s) {
          SheetOrder order;
          order.Card = card;
          order.Cond = cond;
          order.Seed = static_cast<std::uint32_t>(s);
          order.CoverageLo = coverageLo;
          order.CoverageHi = coverageHi;
          const auto t0 = clock();
          SynthSheet sheet = synth.Make(order);
          const auto t1 = clock();
          const GroundTruth& truth = sheet.Truth;
          const CompiledKey key = IntendedKey(truth.Answers, truth.FirstMulti);
          Picture kept = failures.empty() ? Picture() : sheet.Frame.Clone();
          FrameReading r;
          try {
            r = ReadFrame(std::move(sheet.Frame), templates[card], key.AnswerKey, cfg, darkness);
          } catch (const std::exception& e) {
            r.Located = true;
            r.Status = "exception";
            r.Reason = e.what();
          }
          readSeconds += std::chrono::duration<double>(clock() - t1).count();
          synthSeconds += std::chrono::duration<double>(t1 - t0).count();

          Tally one;
          one.Frames = 1;
          std::string problem;
          if (!r.Located) {
            problem = "not located: " + r.LocateMessage;
          } else {
            one.Located = 1;
            if (!r.Analysed) {
              problem =
                  "not analysed: " + r.Status + (r.Reason.empty() ? "" : " (" + r.Reason + ")");
            }
          }
          if (r.Analysed) {
            one.Analysed = 1;
            bool wrong = false;
            if (!truth.ExamNumber.empty()) {
              one.Numbered = 1;
              if (r.ExamNo == truth.ExamNumber) {
                one.NumbersRight = 1;
              } else {
                one.WrongNumbers = 1;
                wrong = true;
                problem += "number " + r.ExamNo + " for " + truth.ExamNumber + "; ";
              }
            }
            std::vector<std::string> read = r.Answers;
            read.resize(truth.Answers.size());
            int shown = 0;
            for (std::size_t q = 0; q < truth.Answers.size(); ++q) {
              if (!truth.Ambiguous[q].empty()) {
                ++one.Ambiguous;
                continue;
              }
              ++one.Questions;
              if (AnswerAccepted(truth, q, read[q])) {
                ++one.QuestionsRight;
              } else {
                wrong = true;
                if (shown++ < 4) {
                  problem += "q" + std::to_string(q + 1) + " read \"" + read[q] + "\" for \"" +
                             truth.Answers[q] + "\"; ";
                }
              }
            }
            if (wrong) one.WrongAccepted = 1;
            // The score as graded from the reading against the score of the intended answers.
            TRecArray cellsRead, cellsMeant;
            std::vector<std::string> readLines, meantLines;
            for (std::size_t q = 0; q < truth.Answers.size(); ++q) {
              readLines.push_back(read[q].empty() ? " " : read[q]);
              meantLines.push_back(truth.Answers[q].empty() ? " " : truth.Answers[q]);
            }
            const SheetGrade gr = GradeSheet(readLines, key, GradeOptions{}, cellsRead);
            const SheetGrade gm = GradeSheet(meantLines, key, GradeOptions{}, cellsMeant);
            if (gr.Total == gm.Total) one.ScoresRight = 1;
          }
          if (!problem.empty()) {
            char head[200];
            std::snprintf(head, sizeof head, "%s seed %d (severity %.2f): ", card.c_str(), s,
                          truth.Severity);
            if (static_cast<int>(t.Examples.size()) < examples)
              t.Examples.push_back(head + problem);
            if (!failures.empty()) {
              const std::string base = card + "-" + ConditionName(cond) + "-" + std::to_string(s);
              WriteBmp(kept, failures / Utf8Path(base + ".bmp"));
              WriteFileAtomically(failures / Utf8Path(base + ".json"), TruthJson(truth));
              WriteFileAtomically(failures / Utf8Path(base + ".txt"), head + problem + "\n");
              if (!r.Sheet.Empty()) WriteBmp(r.Sheet, failures / Utf8Path(base + "-read.bmp"));
            }
          }
          t.Add(one);
          byCard[card].Add(one);
          if (cond == Condition::Clean || truth.Severity < 0.5) mild.Add(one);
        }
      }
      std::fprintf(stderr, "  %s done\n", ConditionName(cond));
    }

    std::printf(
        "Recognition benchmark: %d seeds x %zu cards x %zu conditions, darkness %d%s%s, coverage "
        "%.0f-%.0f %%\n\n",
        seeds, cards.size(), conditions.size(), darkness,
        cfg.FRemoveBorder() ? ", border removal" : "", cfg.FRemoveSpecks() ? ", speck removal" : "",
        coverageLo * 100, coverageHi * 100);
    std::printf(
        "| condition     | frames | located | analysed | numbers   | questions right          | "
        "ambiguous | scores | wrong accepted |\n");
    std::printf(
        "|---------------|--------|---------|----------|-----------|--------------------------|----"
        "-------|--------|----------------|\n");
    Tally all;
    for (Condition c : conditions) {
      PrintRow(ConditionName(c), byCondition[c]);
      all.Add(byCondition[c]);
    }
    PrintRow("clean + mild", mild);
    PrintRow("all", all);
    std::printf("\nBy card, over all conditions:\n");
    for (const std::string& c : cards) {
      const Tally& t = byCard[c];
      // Padded by display width: a Chinese character takes two columns.
      int width = 0;
      for (unsigned char ch : c) width += ch < 0x80 ? 1 : (ch & 0xC0) == 0xC0 ? 2 : 0;
      std::printf("  %s%*s analysed %3d/%3d, questions right %s, wrong accepted %d\n", c.c_str(),
                  std::max(0, 24 - width), "", t.Analysed, t.Frames,
                  Percent(t.QuestionsRight, t.Questions).c_str(), t.WrongAccepted);
    }
    std::printf(
        "\nWrong examinee numbers accepted: %d. Questions right over the whole set: %s of the "
        "analysed "
        "sheets' unambiguous questions.\n",
        all.WrongNumbers, Percent(all.QuestionsRight, all.Questions).c_str());
    std::printf("Time per frame: %.0f ms drawing, %.0f ms reading.\n",
                1000 * synthSeconds / all.Frames, 1000 * readSeconds / all.Frames);
    bool any = false;
    for (Condition c : conditions) {
      for (const std::string& e : byCondition[c].Examples) {
        if (!any) std::printf("\nExamples of failures:\n");
        any = true;
        std::printf("  [%s] %s\n", ConditionName(c), e.c_str());
      }
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestrelo-bench-recognition: %s\n", e.what());
    return 2;
  }
}
