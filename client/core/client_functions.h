// The multivalue functions the client uses (PropertyParse, DCount, Field, RReplace, Locate,
// OConv): the function library's own, through one Functions object that start-up makes.
//
// Making it runs the locale's date-order probe, so OConv writes dates in the order the user
// reads them. RReplace makes no safety check in the client (the library's switch starts
// off and the client never turns it on). The object is used on the GUI thread only.

#ifndef ORVIK_CLIENT_CORE_CLIENT_FUNCTIONS_H_
#define ORVIK_CLIENT_CORE_CLIENT_FUNCTIONS_H_

#include <memory>

#include "functions.h"

namespace orvik::client {

std::unique_ptr<Functions> MakeClientFunctions();

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_CLIENT_FUNCTIONS_H_
