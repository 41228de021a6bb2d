#include "tools/synth/DemoData.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "common/ProgramFolder.h"
#include "imaging/BmpFile.h"
#include "setup/AnswerKey.h"
#include "setup/Roster.h"

namespace kestrelo::synth {

namespace {

using Json = nlohmann::json;

// The build answers every question the way that completes the job.
class AgreeingPrompt : public Prompt {
 public:
  PromptAnswer Ask(const PromptRequest& r) override {
    return r.Buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
  }
};

// `where` names the object in messages ("" for the top level).
std::string Text(const Json& j, const std::string& file, const std::string& member,
                 const std::string& where = "") {
  const auto it = j.find(member);
  if (it == j.end() || !it->is_string() || it->get<std::string>().empty()) {
    throw FileError(file, where + member + ": must be a text");
  }
  return it->get<std::string>();
}

double Real(const Json& j, const std::string& file, const std::string& member, double fallback,
            double lo, double hi, const std::string& where) {
  const auto it = j.find(member);
  if (it == j.end()) return fallback;
  if (!it->is_number() || it->get<double>() < lo || it->get<double>() > hi) {
    char range[64];
    std::snprintf(range, sizeof range, "%g to %g", lo, hi);
    throw FileError(file, where + member + ": must be a number from " + range);
  }
  return it->get<double>();
}

// A wrong answer of the question's type, as pupils give them.
std::string WrongAnswer(const std::string& type, const std::string& key, Rng& rng) {
  const std::string letters = type == "判断题" ? "AB" : "ABCD";
  if (type == "多选题") {
    std::string a = key;
    const double r = rng.Uniform();
    if (r < 0.5 && a.size() > 1) {
      a.erase(static_cast<std::size_t>(rng.Int(0, static_cast<int>(a.size()) - 1)),
              1);  // one left out
    } else if (r < 0.8 && a.size() < letters.size()) {
      for (char c : letters) {
        if (a.find(c) == std::string::npos) {
          a += c;  // one too many
          break;
        }
      }
      std::sort(a.begin(), a.end());
    } else {
      a = std::string(1, letters[static_cast<std::size_t>(rng.Int(0, 3))]);
    }
    return a == key ? std::string() : a;
  }
  std::string other;
  for (char c : letters) {
    if (key.find(c) == std::string::npos) other += c;
  }
  return std::string(
      1, other[static_cast<std::size_t>(rng.Int(0, static_cast<int>(other.size()) - 1))]);
}

}  // namespace

DemoDescription LoadDemoDescription(const std::filesystem::path& file) {
  const std::string name = file.string();
  Json j;
  try {
    j = Json::parse(ReadWholeFile(file), nullptr, true, true);
  } catch (const Json::exception& e) {
    throw FileError(name, std::string("not valid JSON: ") + e.what());
  }
  if (!j.is_object()) throw FileError(name, "must hold one JSON object");
  DemoDescription s;
  s.Card = Text(j, name, "card");
  s.KeyName = Text(j, name, "key");
  s.RosterName = Text(j, name, "roster");
  if (s.KeyName.find('_') != std::string::npos) throw FileError(name, "key: must not hold \"_\"");
  const auto types = j.find("types");
  if (types == j.end() || !types->is_array() || types->empty())
    throw FileError(name, "types: must be a non-empty array");
  for (std::size_t i = 0; i < types->size(); ++i) {
    const Json& t = (*types)[i];
    const std::string where = "types[" + std::to_string(i) + "].";
    if (!t.is_object())
      throw FileError(name, "types[" + std::to_string(i) + "]: must be an object");
    DemoType d;
    d.Type = Text(t, name, "type", where);
    d.Count = static_cast<int>(Real(t, name, "count", 0, 1, kMaxQuestionCount, where));
    d.Score = Real(t, name, "score", 0, 0, 1000, where);
    d.Over = Real(t, name, "over", 0, 0, 1000, where);
    d.Scare = Real(t, name, "scare", 0, 0, 1000, where);
    s.Types.push_back(d);
  }
  const auto key = j.find("answers");
  if (key == j.end() || !key->is_array()) throw FileError(name, "answers: must be an array");
  for (const Json& a : *key) {
    if (!a.is_string() || a.get<std::string>().empty())
      throw FileError(name, "answers: every answer must be a text");
    s.Key.push_back(a.get<std::string>());
  }
  int counted = 0;
  for (const DemoType& t : s.Types) counted += t.Count;
  if (counted != static_cast<int>(s.Key.size())) {
    throw FileError(name, "types: count " + std::to_string(counted) + " questions, answers give " +
                              std::to_string(s.Key.size()));
  }
  const auto people = j.find("examinees");
  if (people == j.end() || !people->is_array() || people->empty()) {
    throw FileError(name, "examinees: must be a non-empty array");
  }
  for (std::size_t i = 0; i < people->size(); ++i) {
    const Json& p = (*people)[i];
    const std::string where = "examinees[" + std::to_string(i) + "].";
    if (!p.is_object())
      throw FileError(name, "examinees[" + std::to_string(i) + "]: must be an object");
    DemoExaminee e;
    e.Class = Text(p, name, "class", where);
    e.Number = Text(p, name, "number", where);
    e.Name = Text(p, name, "name", where);
    e.Seed = static_cast<std::uint32_t>(Real(p, name, "seed", 0, 0, 4294967295.0, where));
    e.Right = Real(p, name, "right", 1, 0, 1, where);
    e.Answers.ExamNumber = e.Number;
    Rng rng = Rng(Rng::Mix(e.Seed)).Fork("demo answers");
    std::size_t q = 0;
    for (const DemoType& t : s.Types) {
      for (int k = 0; k < t.Count; ++k, ++q) {
        const bool right = rng.Uniform() < e.Right;
        e.Answers.Answers.push_back(right ? s.Key[q] : WrongAnswer(t.Type, s.Key[q], rng));
      }
    }
    s.Examinees.push_back(std::move(e));
  }
  return s;
}

ExamTables DemoExam(const DemoDescription& demo) {
  ExamTables exam;
  AgreeingPrompt prompt;
  exam.CardName = demo.Card;
  SetQuestionCount(exam, static_cast<int>(demo.Key.size()), prompt);
  DataTable& ranges = exam.ClientDataSet1;
  DataTable& key = exam.AnswerCD;
  int used = 0;
  for (const DemoType& t : demo.Types) {
    int sameType = 0;
    for (int r = 1; r <= ranges.RecordCount(); ++r) {
      if (ranges.ValueAt(r, "sType").AsString() == t.Type) ++sameType;
    }
    ranges.Append();
    ranges.Set("sType", Value::Text(t.Type));
    ranges.Set("sScore", Value::Float(t.Score));
    ranges.Set("SelOverScore", Value::Float(t.Over));
    ranges.Set("SelScareScore", Value::Float(t.Scare));
    ranges.Set("sCount", Value::Integer(t.Count));
    ranges.Set("Sequence", Value::Integer(sameType));
    ranges.Set("BeginNo", Value::Integer(used + 1));
    ranges.Set("EndNo", Value::Integer(used + t.Count));
    ranges.Set("SetAnswer", Value::Text(kSetAnswerLink));
    ranges.Post();
    const std::string type = t.Type + (sameType != 0 ? std::to_string(sameType) : "");
    for (int q = used + 1; q <= used + t.Count; ++q) {
      key.MoveTo(q);
      key.Edit();
      key.Set("SType", Value::Text(type));
      key.Set("Answer", Value::Text(demo.Key[static_cast<std::size_t>(q - 1)]));
      key.Set("RightScore", Value::Float(t.Score));
      key.Set("SelOverScore", Value::Float(t.Over));
      key.Set("SelScareScore", Value::Float(t.Scare));
      key.Post();
    }
    used += t.Count;
  }
  return exam;
}

SheetOrder DemoOrder(const DemoDescription& demo, std::size_t i) {
  SheetOrder o;
  o.Card = demo.Card;
  o.Cond = Condition::Clean;
  o.Seed = demo.Examinees.at(i).Seed;
  o.ExamNumber = demo.Examinees[i].Answers.ExamNumber;
  o.Answers = demo.Examinees[i].Answers.Answers;
  return o;
}

void WriteDemoData(SheetSynth& synth, const std::filesystem::path& descriptionFile,
                   const std::filesystem::path& program, const std::filesystem::path& truthFolder) {
  const DemoDescription demo = LoadDemoDescription(descriptionFile);
  if (static_cast<int>(synth.Card(demo.Card).Questions.size()) !=
      static_cast<int>(demo.Key.size())) {
    throw FileError(descriptionFile.string(),
                    "answers: " + demo.Card + " has " +
                        std::to_string(synth.Card(demo.Card).Questions.size()) + " questions");
  }
  const ProgramFolder folder(program);
  const std::filesystem::path papers = ProgramFolder::Ensure(program / "TestPaper");
  const std::filesystem::path scores = ProgramFolder::Ensure(folder.Score());
  const std::filesystem::path rosters = ProgramFolder::Ensure(folder.Roster());
  ProgramFolder::Ensure(truthFolder);

  for (std::size_t i = 0; i < demo.Examinees.size(); ++i) {
    const SynthSheet sheet = synth.Make(DemoOrder(demo, i));
    WriteBmp(sheet.Frame, papers / (std::to_string(i + 1) + ".bmp"));
    WriteFileAtomically(truthFolder / (std::to_string(i + 1) + ".json"), TruthJson(sheet.Truth));
  }

  AgreeingPrompt prompt;
  const ExamTables exam = DemoExam(demo);
  if (SaveKeyFiles(exam, scores / Utf8Path(demo.KeyName), prompt).empty()) {
    throw Error("the demo key was not written");
  }
  DataTable roster = MakeRosterTable();
  for (const DemoExaminee& e : demo.Examinees) {
    roster.Append();
    roster.Set("ClassID", Value::Text(e.Class));
    roster.Set("TestNo", Value::Text(e.Number));
    roster.Set("Name", Value::Text(e.Name));
    roster.Post();
  }
  SaveRoster(roster, rosters / Utf8Path(demo.RosterName));
}

}  // namespace kestrelo::synth
