#pragma once
// The program folder's demo data, from a committed description
// (data/synth/demo.json): five examinees' sheets as the camera sees them,
// the answer key of mixed question types and the roster of those examinees.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "setup/ExamTables.h"
#include "tools/synth/SheetSynth.h"

namespace kestrelo::synth {

struct DemoType {
  std::string Type;  // "判断题", "单选题", "多选题"
  int Count = 0;
  double Score = 0;
  double Over = 0;   // score when more is marked than the key holds
  double Scare = 0;  // score when less is marked
};

struct DemoExaminee {
  std::string Class;
  std::string Number;
  std::string Name;
  std::uint32_t Seed = 0;
  double Right = 1;
  SheetAnswers Answers;  // derived from the key, the seed and Right
};

struct DemoDescription {
  std::string Card;
  std::string KeyName;
  std::string RosterName;
  std::vector<DemoType> Types;
  std::vector<std::string> Key;  // per question
  std::vector<DemoExaminee> Examinees;
};

// Reads and checks the description; throws FileError naming the file and member.
DemoDescription LoadDemoDescription(const std::filesystem::path& file);

// The key tables: the card's question count, one type range per type, the answers.
ExamTables DemoExam(const DemoDescription& demo);

// The order that draws examinee i's sheet.
SheetOrder DemoOrder(const DemoDescription& demo, std::size_t i);

// Written: <program>/TestPaper/<i+1>.bmp, <program>/Score/<key>_<card>.score
// and .score.x, <program>/名册/<roster>.名册, and <truth>/<i+1>.json.
void WriteDemoData(SheetSynth& synth, const std::filesystem::path& descriptionFile,
                   const std::filesystem::path& program, const std::filesystem::path& truthFolder);

}  // namespace kestrelo::synth
