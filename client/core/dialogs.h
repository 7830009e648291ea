// The message boxes the core shows: developer warnings, the About box and, in later parts,
// the screen's questions.
//
// Called on the GUI thread only. A call blocks until the user answers (the box is modal)
// and returns the button pressed. Texts and titles are Latin-1 bytes; the widgets turn them
// into Qt text. The widget implementation is in client/ui; tests answer with a script.

#ifndef ORVIK_CLIENT_CORE_DIALOGS_H_
#define ORVIK_CLIENT_CORE_DIALOGS_H_

#include <string>

namespace orvik::client {

enum class BoxButtons { kOk, kYesNo };
enum class BoxIcon { kNone, kExclamation, kInformation, kQuestion, kCritical };
enum class BoxAnswer { kOk, kYes, kNo };

// The title of the client's boxes when a caller gives none.
inline constexpr const char* kProgramTitle = "OrvikLink";

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  virtual BoxAnswer MessageBox(const std::string& text, BoxButtons buttons, BoxIcon icon,
                               const std::string& title = kProgramTitle) = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_DIALOGS_H_
