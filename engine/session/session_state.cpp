#include "session_state.h"

#include <array>
#include <utility>

namespace orvik {
namespace {

constexpr std::array<std::pair<SessionState, std::string_view>, 9> kNames = {{
    {SessionState::kStartup, "STARTUP"},
    {SessionState::kUserPrompt, "USERPROMPT"},
    {SessionState::kPasswordPrompt, "PASSWORDPROMPT"},
    {SessionState::kTcl, "TCL"},
    {SessionState::kVerb, "VERB"},
    {SessionState::kTclPage, "TCLPAGE"},
    {SessionState::kTclQueryVbGui, "TCLQUERYVBGUI"},
    {SessionState::kTclQueryShow, "TCLQUERYSHOW"},
    {SessionState::kErrorExit, "ERROR_EXIT"},
}};

}  // namespace

std::string_view StateName(SessionState state) {
  for (const auto& [s, name] : kNames) {
    if (s == state) return name;
  }
  return {};
}

SessionState StateNamed(std::string_view name) {
  for (const auto& [s, n] : kNames) {
    if (n == name) return s;
  }
  return SessionState::kOther;
}

bool AwaitsKey(SessionState state) {
  return state == SessionState::kTclPage || state == SessionState::kTclQueryVbGui ||
         state == SessionState::kTclQueryShow;
}

bool ProgramRunsIn(std::string_view name) { return name.ends_with(StateName(SessionState::kVerb)); }

}  // namespace orvik
