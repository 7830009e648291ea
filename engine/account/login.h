// A session's login: checking the name and password typed against the system account's
// users table, the identity it gives the session (its user row, its user instance and
// number), the home's user registry on the embedded store, and the list of sessions.
//
// On the embedded store the engine checks the password (password_hash.h) and the home's user
// registry numbers the session; a server checks the password itself when the port connects
// as the user. On MariaDB a row of the sessions table numbers the session, uniquely across a
// cluster's nodes, lists it for LISTU on every node, and is renewed by the session's lease
// (session_table.h, session_lease.h); where the home has no such table, or the server takes
// no changes, the server's connection numbers it. Once identified, the session is the holder
// of its item locks (lock_table.h) and is marked alive on a server.
//
// Used on the port's thread only. Failures come back as a Status; a refusal without a
// reason the datastore gave is not ok and has no message.

#ifndef ORVIK_ENGINE_DATASTORE_LOGIN_H_
#define ORVIK_ENGINE_DATASTORE_LOGIN_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "account_connection.h"
#include "lock_table.h"
#include "session_lease.h"
#include "status.h"

namespace orvik {

class UserRegistry;

namespace dberr {
inline constexpr int kLoginRefused = 915;
}  // namespace dberr

class Login {
 public:
  // Makes the session's new server connections take its mark (AccountConnection).
  // `registry` is the home's user registry, shared with the home's other ports.
  Login(AccountConnection& account, LockTable& locks, std::shared_ptr<UserRegistry> registry);
  // The session's line leaves the user registry, its row the sessions table.
  ~Login();
  Login(const Login&) = delete;
  Login& operator=(const Login&) = delete;

  // Checks the login set on the account connection (its user and password) against the
  // users table of the connection's account, and gives the session its identity.
  // `sessionState` goes into the registry line. May throw what the datastore throws.
  Status Validate(std::string_view sessionState);

  // The user's row of the users table, by column (Null as ""); empty before login.
  const std::vector<std::string>& UserRow() const { return userRow_; }
  // One column of it; "" when the row has none.
  std::string Column(std::size_t column) const;
  // The privilege (column 8); the administrator's is 3 or more.
  std::string Privilege() const { return Column(8); }
  bool IsAdministrator() const;
  // login user, "*", number; empty before login.
  const std::string& UserInst() const { return userInst_; }
  std::int32_t ConnectionId() const { return connectionId_; }

  // Keeps this session's line of the user registry up to date (cut, as is `line`, to 60
  // characters); nothing where there is no registry.
  void UpdateRegistry(std::string& line);
  // Every logged-in session: lines joined by character 254, six values each joined by 253.
  // From the sessions table, every session of the home on every node for the administrator,
  // his own for anybody else; otherwise the server's process list or the user registry.
  Status ListProcesses(std::string* list);
  // Called, from another thread, once the session can no longer count as alive (its lease is
  // lost: session_lease.h); it must end.
  void SetLostHandler(std::function<void()> lost) { lost_ = std::move(lost); }
  // The session's end: its lease stops and its row leaves the sessions table.
  void EndSession();
  // The heading of the fourth value of those lines in LISTU.
  std::string ListTimeTitle() const;

 private:
  // Numbers the session in the user registry.
  Status Register(std::string_view sessionState);
  // Numbers the session by its server connection.
  Status NumberByConnection();
  // Numbers the session by its new row of the sessions table, where there is one.
  Status NumberBySessionTable(std::string_view sessionState);
  // Renews the session's row on the port's own connection, once its mark is taken: the
  // lease's connection is then made later, not while the login (and every login beside it)
  // waits for the server. False when the renewal failed.
  bool FirstBeat();
  // Starts the lease; `renewed` when FirstBeat renewed the row.
  void StartLease(bool renewed);
  // Puts a hash made now in place of the password the users table held: in clear, or hashed
  // another way.
  void StorePasswordHash(const std::string& keyColumn, const std::string& passwordColumn,
                         const std::string& held);
  void SetUserInst(std::string userInst);

  AccountConnection& account_;
  LockTable& locks_;
  std::vector<std::string> userRow_;
  std::string userInst_;
  std::int32_t connectionId_ = 0;
  const std::shared_ptr<UserRegistry> registry_;
  bool registered_ = false;      // the session has its line in the registry
  std::int64_t sessionRow_ = 0;  // the number of the session's row of the sessions table
  SessionStatus status_;         // what the session does, as it last told its row
  std::unique_ptr<SessionLease> lease_;
  std::function<void()> lost_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_LOGIN_H_
