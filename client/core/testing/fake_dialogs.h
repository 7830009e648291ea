// Dialogs for tests: every box is recorded, and answered from a script of answers (OK, or
// the first button, once the script runs out).

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_DIALOGS_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_DIALOGS_H_

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dialogs.h"

namespace orvik::client {

class FakeDialogs : public Dialogs {
 public:
  struct Box {
    std::string text;
    BoxButtons buttons;
    BoxIcon icon;
    std::string title;
  };

  BoxAnswer MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon,
                       const std::string& title) override {
    boxes.push_back({text, buttons, icon, title});
    if (onBox) onBox(boxes.back());
    if (!answers.empty()) {
      const BoxAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == BoxButtons::kYesNo ? BoxAnswer::kYes : BoxAnswer::kOk;
  }

  std::vector<Box> boxes;
  std::deque<BoxAnswer> answers;
  // Runs while the box is up, as the events a modal box lets through would.
  std::function<void(const Box&)> onBox;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_DIALOGS_H_
