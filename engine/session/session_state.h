// The states of a session, and their names.
//
// The session machine (session.h) moves a session through these states and scripts may
// write any name into msState. A name that is none of the table's is kept as written and is
// the state kOther: a session in it takes no line and no key. Hosts show the name
// (Port::State) and ask the state itself whether a program runs (ProgramRunsIn, decided once
// where the state is set), never the name.
//
// Plain values; any thread.

#ifndef ORVIK_ENGINE_SESSION_SESSION_STATE_H_
#define ORVIK_ENGINE_SESSION_SESSION_STATE_H_

#include <string_view>

namespace orvik {

enum class SessionState {
  kStartup,         // "STARTUP": made, waiting for its first input
  kUserPrompt,      // "USERPROMPT": the login dialogue asks for the user name
  kPasswordPrompt,  // "PASSWORDPROMPT": and for the password
  kTcl,             // "TCL": at the ":" prompt
  kVerb,            // "VERB": a sentence or a program runs
  kTclPage,         // "TCLPAGE": a query's page waits for a key
  kTclQueryVbGui,   // "TCLQUERYVBGUI": a query's record form waits for a key
  kTclQueryShow,    // "TCLQUERYSHOW": SHOW's form waits for a key
  kErrorExit,       // "ERROR_EXIT": the session cannot go on; the next input hangs up
  kOther,           // a name written by a script that is none of the above
};

// The state's name; "" for kOther, whose name is whatever was written.
std::string_view StateName(SessionState state);
// The state a name stands for (exactly as the table writes it); kOther for any other name.
SessionState StateNamed(std::string_view name);

// The states in which a key is awaited: the key itself is the input, never a line.
bool AwaitsKey(SessionState state);

// Whether a program runs in the state named `name`: "VERB", or any name a script wrote that
// ends in those four capitals, as hosts have always taken such a name.
bool ProgramRunsIn(std::string_view name);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_SESSION_STATE_H_
