// The program around the shell, for tests: screen forms on a fake window and a recording
// surface, and a count of what the shell asked of its host. Forms the shell drops are kept
// until the host goes, as the widgets keep them until the event loop runs again.

#ifndef ORVIK_CLIENT_CORE_TESTING_FAKE_SHELL_HOST_H_
#define ORVIK_CLIENT_CORE_TESTING_FAKE_SHELL_HOST_H_

#include <memory>
#include <optional>
#include <vector>

#include "fake_screen_window.h"
#include "recording_surface.h"
#include "shell_host.h"

namespace orvik::client {

struct FakeScreenFormParts {
  explicit FakeScreenFormParts(ShellServices& shell) : core(window, surface, shell) {}
  FakeScreenWindow window;
  RecordingSurface surface;
  ScreenFormCore core;
  bool dropped = false;
};

class FakeShellHost : public ShellHost {
 public:
  class Handle : public ScreenFormHandle {
   public:
    explicit Handle(FakeScreenFormParts& parts) : parts_(parts) {}
    ~Handle() override { parts_.dropped = true; }
    ScreenFormCore& Core() override { return parts_.core; }

   private:
    FakeScreenFormParts& parts_;
  };

  std::unique_ptr<ScreenFormHandle> NewScreenForm(ShellServices& shell) override {
    forms.push_back(std::make_unique<FakeScreenFormParts>(shell));
    return std::make_unique<Handle>(*forms.back());
  }
  void HideMainWindow() override { mainWindowHidden = true; }
  void Beep() override { ++beeps; }
  void ShowMonitor() override { ++monitorShown; }
  void SetBusyPointer(bool on) override { busy = on; }
  void ScheduleTick() override { ++ticksScheduled; }
  void EndProgram(int code) override { endCode = code; }

  // Every form made, in order; dropped ones stay, marked.
  std::vector<std::unique_ptr<FakeScreenFormParts>> forms;
  bool mainWindowHidden = false;
  int beeps = 0;
  int monitorShown = 0;
  bool busy = false;
  int ticksScheduled = 0;
  std::optional<int> endCode;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_FAKE_SHELL_HOST_H_
