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

// What the session does with its parts, in the form the tests were written in.
inline void SetLogin(Port& port, std::string user, std::string password) {
  Parts(port).account.SetLoginUser(std::move(user));
  Parts(port).account.SetLoginPassword(std::move(password));
}
inline bool ConnectAccount(Port& port, const std::string& account) {
  return Parts(port).session.Note(Parts(port).account.Connect(account));
}
inline bool ValidateLogin(Port& port) {
  PortParts& p = Parts(port);
  return p.session.Report(p.login.Validate(p.terminal.StateText()));
}
inline std::string ListProcesses(Port& port) {
  std::string list;
  Parts(port).session.Note(Parts(port).login.ListProcesses(&list));
  return list;
}
inline bool ReadItemRaw(Port& port, std::string& item, std::string_view fileVariable,
                        std::string_view id) {
  return Parts(port).session.Report(Parts(port).items.ReadItemRaw(item, fileVariable, id));
}
inline bool ReadAttributeRaw(Port& port, std::string& value, std::string_view fileVariable,
                             std::string_view id, std::int32_t attribute) {
  return Parts(port).session.Report(
      Parts(port).items.ReadAttributeRaw(value, fileVariable, id, attribute));
}
inline bool WriteItemRaw(Port& port, std::string_view item, std::string_view fileVariable,
                         std::string_view id) {
  return Parts(port).session.Report(Parts(port).items.WriteItemRaw(item, fileVariable, id));
}
inline bool WriteAttributeRaw(Port& port, std::string_view value, std::string_view fileVariable,
                              std::string_view id, std::int32_t attribute) {
  return Parts(port).session.Report(
      Parts(port).items.WriteAttributeRaw(value, fileVariable, id, attribute));
}

}  // namespace orvik::port_access

#endif  // ORVIK_ENGINE_TESTS_PORT_ACCESS_H_
