// The About box: the client's version and notices.
//
// AboutBoxText is pure; AboutText shows it through the dialogs on the GUI thread.

#ifndef ORVIK_CLIENT_CORE_ABOUT_H_
#define ORVIK_CLIENT_CORE_ABOUT_H_

#include <string>

namespace orvik::client {

class Dialogs;

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 30;
inline constexpr int kVersionRevision = 4;

// "1.30.4"
std::string VersionText();

// The notice line, what the client provides, "VERSION   = " and the version, and the
// proprietary-rights paragraph, separated by CR LF.
std::string AboutBoxText();

// Shows AboutBoxText in a box with an OK button and the program's title.
void AboutText(Dialogs& dialogs);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_ABOUT_H_
