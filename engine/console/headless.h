// The console without a window: status on standard output, stopped by SIGTERM or SIGINT.

#ifndef ORVIK_CONSOLE_HEADLESS_H_
#define ORVIK_CONSOLE_HEADLESS_H_

#include <QHostAddress>
#include <string>

#include "console.h"

namespace orvik::console {

// Answers the console's questions on standard output. Nobody is there to answer Yes or No:
// the settings file was written on purpose, so its warnings are printed and passed.
class StreamDialogs : public ConsoleDialogs {
 public:
  void Message(const std::string& text) override;
  void Confirmation(const std::string&) override {}
  bool Confirm(const std::string& text) override;
  bool OpenDocument(const std::string& path) override;
};

// Prints `text` with its CR LF line ends as lines of standard output.
void PrintLines(const std::string& text);

// Runs the console headless on the running QCoreApplication. With `start` the server runs
// until SIGTERM or SIGINT (SIGUSR1 prints the status report); without it the status report
// is printed and the run ends. Returns the exit code. `console` receives the console, so
// that the caller can wait for its ports' threads afterwards.
int RunHeadless(Console& console, bool start);

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_HEADLESS_H_
