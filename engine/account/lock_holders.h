// Whether the holder of an item lock still exists, and the removal of locks whose holder is
// gone.
//
// A lock row names its holder by user instance (login user, "*", number). A holder is gone
// for certain when:
//  - the embedded store: its number is no line of the home's user registry any more, or the
//    line belongs to a process of this machine that has died (UserRegistry::LineGone);
//  - MariaDB: its row of the sessions table is judged gone (session_table.h: on the judge's
//    own node by its mark, on another by its lease); a holder without a row (one numbered by
//    its connection) when the named lock its connection took at login ("orvik " and an MD5
//    of the user instance) is free: the server frees it the moment the connection ends,
//    however the process ended;
//  - SQL Server: likewise, the application lock its session took in the system account.
// A holder that cannot be judged (another machine, an instance of unknown form, a failed
// look-up) counts as alive: a lock is never taken from a holder that may still run.
//
// Every function runs on the caller's thread with the caller's connection to the system
// account "dm" (for SQL Server: switched to "dm"). Text is the system's Latin-1.

#ifndef ORVIK_ENGINE_DATASTORE_LOCK_HOLDERS_H_
#define ORVIK_ENGINE_DATASTORE_LOCK_HOLDERS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "dialect.h"
#include "driver.h"

namespace orvik {

struct EngineSettings;

class UserRegistry;

// Takes the mark by which other sessions see that the session `userInst`, whose connection
// `dm` is, is alive: on the servers, once for every connection the session opens; nothing on
// the embedded store, whose registry line is the mark. `waitSeconds` is how long to wait for
// a mark still held by this session's previous connection, which is closing. Throws
// VbError when the mark cannot be taken.
void MarkSessionAlive(Driver& dm, const Dialect& dialect, const std::string& userInst,
                      int waitSeconds = 0);

// Whether the holder `userInst` is gone for certain. `registry` is the home's user registry
// (the embedded store only). Never throws: a failed look-up answers false.
bool HolderGone(Driver& dm, const Dialect& dialect, UserRegistry* registry,
                const std::string& userInst);

// Removes every row of `locksTable` whose holder is gone, and the rows of the sessions table
// of sessions gone without locks; returns how many locks went.
std::int64_t RemoveStaleLocks(Driver& dm, const Dialect& dialect, const std::string& locksTable,
                              UserRegistry* registry);

// For the console's start: removes the stale locks of the engine home `home`, whose
// settings file holds `settings` and whose user registry is `registry`. On the
// embedded store it opens the system account itself. A server cannot be reached before a
// user logs in (the console holds no server login): there every login and every port that
// asks for a locked item removes them instead, and this returns 0. Throws VbError when the
// system account cannot be opened.
std::int64_t RemoveStaleLocks(const std::string& home, const EngineSettings& settings,
                              UserRegistry& registry);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LOCK_HOLDERS_H_
