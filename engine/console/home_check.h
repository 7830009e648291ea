// Whether an engine home can serve users: the console refuses to start on a home whose
// system account was never made, which would otherwise show only when the first user tried
// to log in.
//
// Called by the program before it serves, on its main thread; reads the settings file and
// asks the datastore's account space, and changes nothing.

#ifndef ORVIK_CONSOLE_HOME_CHECK_H_
#define ORVIK_CONSOLE_HOME_CHECK_H_

#include <string>

namespace orvik::console {

// The empty text when `home` can serve; otherwise why not and how to make the system account
// (lines ended by LF). Only a datastore whose accounts the home itself shows can be looked
// at: on a server the system account is reached with each user's own login, which the
// console does not have.
std::string MissingSystemAccount(const std::string& home);

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_HOME_CHECK_H_
