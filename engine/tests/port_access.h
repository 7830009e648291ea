// Tests reach what a port keeps behind its published face through its parts (port_parts.h).
// These helpers do what the session does with them, leaving a failure's message in the
// port's ErrorDetail as the session would. A test file takes them with
// `using namespace port_access;`.

#ifndef ORVIK_ENGINE_TESTS_PORT_ACCESS_H_
#define ORVIK_ENGINE_TESTS_PORT_ACCESS_H_

#include <string>
#include <string_view>

#include "port.h"
#include "port_parts.h"

namespace orvik::port_access {

inline PortParts& Parts(Port& port) { return PartsOf(port); }

// What the session's state members of Port do (port_state.cpp), in the form the tests were
// written in.
inline void SetLogin(Port& port, std::string user, std::string password) {
  port.SetLogin(std::move(user), std::move(password));
}
inline bool ConnectAccount(Port& port, const std::string& account) {
  return port.ConnectAccount(account);
}
inline bool ValidateLogin(Port& port) { return port.ValidateLogin(); }
inline std::string ListProcesses(Port& port) { return port.ListProcesses(); }
inline bool ReadItemRaw(Port& port, std::string& item, std::string_view fileVariable,
                        std::string_view id) {
  return port.ReadItemRaw(item, fileVariable, id);
}
inline bool ReadAttributeRaw(Port& port, std::string& value, std::string_view fileVariable,
                             std::string_view id, std::int32_t attribute) {
  return port.ReadAttributeRaw(value, fileVariable, id, attribute);
}
inline bool WriteItemRaw(Port& port, std::string_view item, std::string_view fileVariable,
                         std::string_view id) {
  return port.WriteItemRaw(item, fileVariable, id);
}
inline bool WriteAttributeRaw(Port& port, std::string_view value, std::string_view fileVariable,
                              std::string_view id, std::int32_t attribute) {
  return port.WriteAttributeRaw(value, fileVariable, id, attribute);
}

}  // namespace orvik::port_access

#endif  // ORVIK_ENGINE_TESTS_PORT_ACCESS_H_
