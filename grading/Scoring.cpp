#include "grading/Scoring.h"

#include "common/Error.h"

namespace kestrelo {

const char* CompareAnswer(std::string_view read, std::string_view key) {
  const auto contains = [](std::string_view whole, std::string_view part) {
    return !part.empty() && whole.find(part) != std::string_view::npos;
  };
  if (read.size() == key.size() && contains(key, read)) return kResultCorrect;
  if (read.size() < key.size() && contains(key, read)) return kResultMissed;
  if (read.size() > key.size() && contains(read, key)) return kResultExtra;
  return kResultWrong;
}

SheetGrade GradeSheet(const std::vector<std::string>& answers, const CompiledKey& key,
                      const GradeOptions& options, TRecArray& cells) {
  if (answers.size() != key.AnswerKey.size()) {
    throw Error("the sheet has " + std::to_string(answers.size()) + " answers, the key " +
                std::to_string(key.AnswerKey.size()));
  }
  SheetGrade g;
  g.TypeList = key.KeyTypeRuns;
  for (TTypeRec& t : g.TypeList) t.Total = 0;

  std::int32_t lastType = 0;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const TAnswer& q = key.AnswerKey[i];
    const std::int32_t type = q.TypeIndex;
    if (type != lastType) {
      g.Detail += "\r\n\r\n";
      lastType = type;
    }
    const std::string& read = answers[i];
    if (q.IsMulti && read.size() == 1 && read != " ") g.MultiAsSingleNote = kMultiAsSingleNote;
    if (!q.IsMulti && read.size() > 1) g.SingleAsMultiNote = kSingleAsMultiNote;

    const std::string_view result = CompareAnswer(read, q.Answer);
    const char* mark = kMarkWrong;
    float score = 0;
    bool detail = options.ShowRightDetail;
    if (result == kResultCorrect) {
      mark = kMarkCorrect;
      score = q.RightScore;
    } else if (result == kResultExtra) {
      mark = kMarkExtra;
      score = q.SelOverScore;
    } else if (result == kResultMissed) {
      mark = kMarkMissed;
      score = q.SelScareScore;
    } else {
      detail = options.ShowWrongDetail;
    }
    if (result != kResultWrong) {
      g.Total += score;
      // A question outside every run (a key without types) adds to the total only.
      if (type >= 0 && static_cast<std::size_t>(type) < g.TypeList.size())
        g.TypeList[type].Total += score;
    }
    const std::string text = read + mark;
    if (detail) g.Detail += std::to_string(i + 1) + "、" + text;
    cells.Set(g.TypeList.size() + 4 + i, text);
  }
  return g;
}

}  // namespace kestrelo
