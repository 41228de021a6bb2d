#pragma once
// A prompt that records every box and answers from a script; once the script
// is used up it presses the box's default button.
#include <deque>
#include <vector>

#include "common/Prompt.h"

namespace kestrelo {

class ScriptedPrompt : public Prompt {
 public:
  ScriptedPrompt() = default;
  explicit ScriptedPrompt(std::deque<PromptAnswer> answers) : answers_(std::move(answers)) {}

  PromptAnswer Ask(const PromptRequest& request) override {
    Asked.push_back(request);
    if (answers_.empty()) return request.Default;
    const PromptAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }

  void Script(PromptAnswer a) { answers_.push_back(a); }

  std::vector<PromptRequest> Asked;

 private:
  std::deque<PromptAnswer> answers_;
};

}  // namespace kestrelo
