// kestrelo-synth: camera-like frames of filled answer cards with their
// ground truth, and the demo data of the program folder.
//
//   kestrelo-synth --card NAME [--condition C] [--seed N] [--count K]
//                  [--number DIGITS] [--answers A,B,,CD,...] [--coverage LO,HI]
//                  --out FRAME.bmp|FOLDER [--truth TRUTH.json]
//                  [--templates DIR] [--geometry DIR] [--data DIR] [--font FILE]
//   kestrelo-synth --demo DEMO.json PROGRAM_FOLDER TRUTH_FOLDER [--templates DIR] ...
//
// One frame: written to --out, its truth to --truth (or beside the frame
// with ".json"). With --count K, frames for seeds N .. N+K-1 go into the
// folder --out as <card>-<condition>-<seed>.bmp and .json. Conditions: clean,
// turned, perspective, blurred, noisy, light, light-pencil, messy, edges.
// Exit status 0 when written, 2 for bad arguments or input.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "imaging/BmpFile.h"
#include "tools/synth/BuildTree.h"
#include "tools/synth/DemoData.h"
#include "tools/synth/SheetSynth.h"

namespace fs = std::filesystem;
using namespace kestrelo;
using namespace kestrelo::synth;

namespace {

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(
      stderr,
      "kestrelo-synth: %s\n"
      "usage: kestrelo-synth --card NAME [--condition C] [--seed N] [--count K] [--number DIGITS]\n"
      "                      [--answers A,B,,CD,...] [--coverage LO,HI] --out FRAME.bmp|FOLDER\n"
      "                      [--truth FILE] [--templates DIR] [--geometry DIR] [--data DIR] "
      "[--font FILE]\n"
      "       kestrelo-synth --demo DEMO.json PROGRAM_FOLDER TRUTH_FOLDER [--templates DIR] ...\n",
      why.c_str());
  std::exit(2);
}

long Number(const std::string& text, const char* what, long lo, long hi) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < lo || v > hi) {
    Usage(std::string(what) + " must be a whole number from " + std::to_string(lo) + " to " +
          std::to_string(hi));
  }
  return v;
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t comma = text.find(',', at);
    out.push_back(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  SynthSources sources = BuildTreeSources();
  SheetOrder order;
  std::string card;
  std::string number;
  bool haveNumber = false;
  std::string answers;
  bool haveAnswers = false;
  long count = 0;
  fs::path out, truthFile;
  std::vector<std::string> demo;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--card") {
      card = value();
    } else if (a == "--condition") {
      const std::string c = value();
      const auto cond = ConditionFromName(c);
      if (!cond) Usage("no such condition: " + c);
      order.Cond = *cond;
    } else if (a == "--seed") {
      order.Seed = static_cast<std::uint32_t>(Number(value(), "--seed", 0, 4294967295L));
    } else if (a == "--count") {
      count = Number(value(), "--count", 1, 100000);
    } else if (a == "--number") {
      number = value();
      haveNumber = true;
    } else if (a == "--answers") {
      answers = value();
      haveAnswers = true;
    } else if (a == "--coverage") {
      const std::vector<std::string> c = SplitCommas(value());
      if (c.size() != 2) Usage("--coverage takes LO,HI");
      order.CoverageLo = Number(c[0], "--coverage", 20, 100) / 100.0;
      order.CoverageHi = Number(c[1], "--coverage", 20, 100) / 100.0;
    } else if (a == "--out") {
      out = value();
    } else if (a == "--truth") {
      truthFile = value();
    } else if (a == "--templates") {
      sources.Templates = value();
    } else if (a == "--geometry") {
      sources.Geometry = value();
    } else if (a == "--data") {
      sources.Data = value();
    } else if (a == "--font") {
      sources.Font = value();
    } else if (a == "--demo") {
      for (int k = 0; k < 3; ++k) demo.push_back(value());
    } else {
      Usage("unknown argument: " + a);
    }
  }

  try {
    if (!demo.empty()) {
      const auto start = std::chrono::steady_clock::now();
      SheetSynth synth(sources);
      WriteDemoData(synth, demo[0], demo[1], demo[2]);
      const double s =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("kestrelo-synth: demo data written to %s (%.1f s)\n", demo[1].c_str(), s);
      return 0;
    }
    if (card.empty()) Usage("--card is needed");
    if (out.empty()) Usage("--out is needed");
    order.Card = card;
    SheetSynth synth(sources);
    if (haveNumber) order.ExamNumber = number;
    if (haveAnswers) order.Answers = SplitCommas(answers);
    const auto write = [&](const SheetOrder& o, const fs::path& frame, const fs::path& truth) {
      const auto start = std::chrono::steady_clock::now();
      const SynthSheet sheet = synth.Make(o);
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      WriteBmp(sheet.Frame, frame);
      WriteFileAtomically(truth, TruthJson(sheet.Truth));
      std::printf("%s  (%.0f ms)\n", frame.string().c_str(), ms);
    };
    if (count == 0) {
      if (truthFile.empty()) truthFile = fs::path(out).replace_extension(".json");
      write(order, out, truthFile);
    } else {
      fs::create_directories(out);
      for (long k = 0; k < count; ++k) {
        SheetOrder o = order;
        o.Seed = order.Seed + static_cast<std::uint32_t>(k);
        const std::string base = card + "-" + ConditionName(o.Cond) + "-" + std::to_string(o.Seed);
        write(o, out / Utf8Path(base + ".bmp"), out / Utf8Path(base + ".json"));
      }
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestrelo-synth: %s\n", e.what());
    return 2;
  }
}
