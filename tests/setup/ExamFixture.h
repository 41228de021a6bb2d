#pragma once
// Builds exams the way the setup dialogs do: a card's question count, type
// ranges that give their questions a type and scores, and answers.
#include <string>
#include <vector>

#include "setup/AnswerKey.h"
#include "tests/common/ScriptedPrompt.h"

namespace kestrelo {

struct NewRange {
  std::string Type;
  int Count = 0;
  double Score = 0;
  double Over = 0;
  double Scare = 0;
};

inline ExamTables MakeExam(int questions, const std::string& card = "A类-标准45题卡(荐)") {
  ExamTables exam;
  ScriptedPrompt prompt;
  exam.CardName = card;
  SetQuestionCount(exam, questions, prompt);
  return exam;
}

// Appends ranges after the ones there and types their key rows; a repeated
// type gets the next Sequence.
inline void AddRanges(ExamTables& exam, const std::vector<NewRange>& added) {
  DataTable& ranges = exam.ClientDataSet1;
  DataTable& key = exam.AnswerCD;
  for (const NewRange& s : added) {
    int used = 0;
    int sameType = 0;
    for (int r = 1; r <= ranges.RecordCount(); ++r) {
      used += static_cast<int>(ranges.ValueAt(r, "sCount").AsInteger());
      if (ranges.ValueAt(r, "sType").AsString() == s.Type) ++sameType;
    }
    ranges.Append();
    ranges.SetString("sType", s.Type);
    ranges.SetFloat("sScore", s.Score);
    ranges.SetFloat("SelOverScore", s.Over);
    ranges.SetFloat("SelScareScore", s.Scare);
    ranges.SetInteger("sCount", s.Count);
    ranges.SetInteger("Sequence", sameType);
    ranges.SetInteger("BeginNo", used + 1);
    ranges.SetInteger("EndNo", used + s.Count);
    ranges.SetString("SetAnswer", kSetAnswerLink);
    ranges.Post();
    const std::string type = s.Type + (sameType ? std::to_string(sameType) : "");
    for (int q = used + 1; q <= used + s.Count; ++q) {
      key.MoveTo(q);
      key.Edit();
      key.SetString("SType", type);
      key.SetFloat("RightScore", s.Score);
      key.SetFloat("SelOverScore", s.Over);
      key.SetFloat("SelScareScore", s.Scare);
      key.Post();
    }
  }
}

// answers[i] becomes the answer of question i + 1.
inline void SetAnswers(ExamTables& exam, const std::vector<std::string>& answers) {
  for (std::size_t i = 0; i < answers.size(); ++i) {
    exam.AnswerCD.MoveTo(static_cast<int>(i) + 1);
    exam.AnswerCD.Edit();
    exam.AnswerCD.SetString("Answer", answers[i]);
    exam.AnswerCD.Post();
  }
}

inline void SetAllAnswers(ExamTables& exam, const std::string& answer) {
  SetAnswers(exam, std::vector<std::string>(static_cast<std::size_t>(exam.AnswerCD.RecordCount()),
                                            answer));
}

}  // namespace kestrelo
