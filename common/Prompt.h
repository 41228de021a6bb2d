#pragma once
// Every message box of the exam data goes through this interface: the GUI
// shows a real box, tests answer from a script. A request carries exactly
// what the box must show; the answer is the button pressed.
#include <string>

namespace kestrelo {

enum class PromptButtons { Ok, OkCancel, YesNo };

// Values as the system's message boxes number them, so 6 and 7 mean Yes and
// No wherever a caller stores the answer.
enum class PromptAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// The stop icon and the error icon are one and the same.
enum class PromptIcon { None, Information, Warning, Error, Question };

struct PromptRequest {
  std::string Text;
  std::string Caption;  // empty: the program's title
  PromptButtons Buttons = PromptButtons::Ok;
  PromptAnswer Default = PromptAnswer::Ok;
  PromptIcon Icon = PromptIcon::None;
  bool SystemModal = false;
  bool Topmost = false;
};

class Prompt {
 public:
  virtual ~Prompt() = default;
  virtual PromptAnswer Ask(const PromptRequest& request) = 0;

  // A box with only an OK button; its answer carries no choice.
  void Tell(const PromptRequest& request) { Ask(request); }
};

}  // namespace kestrelo
