// Setting up an engine home: the settings file, the system account with its tables, a user,
// and further accounts. Only what is missing is created; nothing that exists is touched,
// except that a user who exists already is given the password named, that key columns made
// before they checked their length are given that check (key_checks.h), and that on a server
// the logins of the home's users are left with only the rights the engine's sessions use
// (dialect.h), those an earlier set-up gave every right included.

#ifndef ORVIK_ENGINE_SETUP_SETUP_H_
#define ORVIK_ENGINE_SETUP_SETUP_H_

#include <functional>
#include <string>
#include <vector>

namespace orvik {

// A catalogued program: a row of an account's md table (verb, kind in A1, program in A4).
struct CatalogEntry {
  std::string account;
  std::string verb;
  std::string kind;     // a script language, or RUN / ACTIVEX for a plugin application
  std::string program;  // file [procedure], or ProgID [method [arguments]]
};

struct SetupOptions {
  std::string home;
  std::string dataStore;  // written to a new settings file only; empty: "JET"
  // With `password`, a row of the users table (the password kept as a salted hash), or the
  // new password of a user who has one (and of the server login); the privilege of an
  // existing user is kept.
  std::string user;
  std::string password;
  int privilege = 3;
  std::vector<std::string> accounts;
  std::vector<CatalogEntry> catalog;  // made unless the verb is catalogued already
  // The servers' administrator, who creates databases and logins.
  std::string adminUser = "root";
  std::string adminPassword;
};

// Carries out `options`, telling `report` each thing it creates. False, with the reason in
// `error`, when something could not be done (what was done before it stays done); `refused`
// is then set when the options themselves ask for what cannot be, such as a catalog entry
// for an account that neither exists nor is among `accounts`, which is found before anything
// is made (on a server, before anything but a missing settings file).
bool RunSetup(const SetupOptions& options, const std::function<void(const std::string&)>& report,
              std::string* error, bool* refused = nullptr);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SETUP_SETUP_H_
