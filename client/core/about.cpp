#include "about.h"

#include "dialogs.h"

namespace orvik::client {

std::string VersionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

std::string AboutBoxText() {
  return "OrvikLink, the screen client of the Orvik multivalue database platform.\r\n"
         "OrvikLink provides Connectivity and Presentation Layer services for "
         "Windows(TM) computers accessing Multivalue Database Applications.\r\n\r\n"
         "VERSION   = " +
         VersionText() +
         "\r\n\r\n"
         "This program and its documentation are proprietary to their authors, who reserve "
         "all rights in them. Use, copying and distribution are permitted only under the "
         "licence that came with the program.";
}

void AboutText(Dialogs& dialogs) {
  dialogs.MessageBox(AboutBoxText(), BoxButtons::kOk, BoxIcon::kNone);
}

}  // namespace orvik::client
