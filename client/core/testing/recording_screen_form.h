// A screen form for tests: a model of its own, and a record of every call the dispatcher
// makes with the states the model held at that moment. A test may give a call something to
// do (change the model as the real form would, or throw).

#ifndef ORVIK_CLIENT_CORE_TESTING_RECORDING_SCREEN_FORM_H_
#define ORVIK_CLIENT_CORE_TESTING_RECORDING_SCREEN_FORM_H_

#include <functional>
#include <string>
#include <vector>

#include "screen_form.h"

namespace orvik::client {

class RecordingScreenForm : public ScreenForm {
 public:
  struct Call {
    std::string name;  // "FormRXProcessMaster", "TerminalDraw", "SearchActivate", "PopupsClear"
    ScreenStates states;
    std::string msData;
  };

  ScreenModel& Model() override { return model; }
  void FormRXProcessMaster() override { Record("FormRXProcessMaster"); }
  void TerminalDraw() override { Record("TerminalDraw"); }
  void SearchActivate() override { Record("SearchActivate"); }
  void PopupsClear() override {
    Record("PopupsClear");
    model.mnPopups = 0;
  }

  // The names of the calls, in order.
  std::vector<std::string> CallNames() const {
    std::vector<std::string> names;
    for (const Call& call : calls) names.push_back(call.name);
    return names;
  }

  ScreenModel model;
  std::vector<Call> calls;
  // Runs inside every call, after it is recorded.
  std::function<void(const std::string& name, ScreenModel& model)> onCall;

 private:
  void Record(const std::string& name) {
    calls.push_back({name, model.states, model.texts.msData});
    if (onCall) onCall(name, model);
  }
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_RECORDING_SCREEN_FORM_H_
