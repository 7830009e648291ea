// A client frame on fakes: the shell with its settings, a fake engine link, and screen forms
// on fake windows and recording surfaces. The raster's cell is 150 x 300 twips, so the
// terminal font is 12 points and its character 144 x 240 twips.

#ifndef ORVIK_CLIENT_CORE_TESTING_SHELL_FIXTURE_H_
#define ORVIK_CLIENT_CORE_TESTING_SHELL_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "client_functions.h"
#include "client_shell.h"
#include "fake_dialogs.h"
#include "fake_engine_link.h"
#include "fake_event_pump.h"
#include "fake_shell_host.h"

namespace orvik::client {

class ShellFixture : public ::testing::Test {
 protected:
  static constexpr double kCharWidth = 144;
  static constexpr double kCharHeight = 240;

  ShellFixture() { settings.displayMode = "TERMINAL"; }  // as start-up leaves it

  // Start-up, and the first screen form made from the staged first transmission.
  void StartToFirstForm() {
    shell.Start();
    shell.TimerTick();
    ASSERT_EQ(shell.FormCount(), 1);
    shell.TimerTick();  // the staged text is dispatched
  }

  ScreenFormCore& Top() { return *shell.Top(); }
  FakeScreenFormParts& TopParts() { return *host.forms[static_cast<std::size_t>(TopIndex())]; }
  int TopIndex() {
    for (std::size_t i = 0; i < host.forms.size(); ++i)
      if (&host.forms[i]->core == shell.Top()) return static_cast<int>(i);
    return -1;
  }
  const TextRaster& Raster() { return Top().Raster(); }

  // The engine writes `text`; the shell takes it at once.
  void Engine(const std::string& text) {
    link.output += text;
    shell.OutputArrived();
  }
  // Draws terminal text on the top form as the dispatcher hands it over.
  void Draw(const std::string& data) {
    Top().Model().texts.msData = data;
    Top().TerminalDraw();
  }

  ClientSettings settings{"/nonexistent-orvik-home"};
  std::unique_ptr<Functions> fns = MakeClientFunctions();
  FakeDialogs dialogs;
  MonitorLog monitor{settings};
  FakeEventPump pump;
  FakeEngineLink link;
  FakeShellHost host;
  ClientShell shell{settings, *fns, dialogs, monitor, pump, link, host, 150, 300};
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTING_SHELL_FIXTURE_H_
