// What the console asks of its user interface: message boxes, a yes/no question, opening
// a document. The window answers with real dialogs; headless runs answer on standard output.

#ifndef ORVIK_CONSOLE_CONSOLE_DIALOGS_H_
#define ORVIK_CONSOLE_CONSOLE_DIALOGS_H_

#include <string>

namespace orvik::console {

class ConsoleDialogs {
 public:
  virtual ~ConsoleDialogs() = default;
  // A box with only an OK button, no icon, the program's default title.
  virtual void Message(const std::string& text) = 0;
  // A box that confirms what the status text has just said; where the status text is all
  // the user reads (headless), it would only say it twice.
  virtual void Confirmation(const std::string& text) { Message(text); }
  // A box with Yes and No; true only for Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // Opens a document (the help page) in the desktop's viewer; false when none could.
  virtual bool OpenDocument(const std::string& path) = 0;
  // The busy pointer while a long action runs.
  virtual void SetBusy(bool /*busy*/) {}
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_CONSOLE_DIALOGS_H_
