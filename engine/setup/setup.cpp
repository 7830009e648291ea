#include "setup.h"

#include <filesystem>
#include <map>
#include <set>

#include "datastore_kinds.h"
#include "driver.h"
#include "driver_factory.h"
#include "engine_settings.h"
#include "home.h"
#include "ini_file.h"
#include "key_checks.h"
#include "layout.h"
#include "numbers.h"
#include "password_hash.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

using Report = std::function<void(const std::string&)>;

bool IsValidUserName(std::string_view name) {
  if (name.empty() || name.size() > 25) return false;
  for (char c : name) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '_' && c != '.' && c != '-') return false;
  }
  return true;
}

void WriteDefaultSettings(const std::string& path, const std::string& dataStore) {
  IniFile ini(path);
  std::string error;
  const bool ok = ini.Write("Global", "DataStore", dataStore, &error) &&
                  ini.Write("MySQL", "Server", "127.0.0.1", &error) &&
                  ini.Write("MySQL", "Port", "3306", &error) &&
                  ini.Write("MySQL", "Pipes", "0", &error) &&
                  ini.Write("MSSQL", "Server", "127.0.0.1", &error);
  if (!ok) throw VbError(vberr::kPermissionDenied, "Cannot write " + path + ": " + error);
}

// Creates something unless it is there. Another set-up may create it at the same moment
// (tests run in parallel against one server): a failed create that finds it there after
// all is not an error.
bool CreateUnlessPresent(const std::function<bool()>& present,
                         const std::function<void()>& create) {
  if (present()) return false;
  try {
    create();
  } catch (...) {
    if (!present()) throw;
    return false;
  }
  return true;
}

bool HasTable(Driver& driver, std::string_view name) {
  for (const TableInfo& t : driver.ListTables()) {
    if (EqualsNoCase(t.name, name)) return true;
  }
  return false;
}

// Creates what is missing of the account's own tables: md everywhere, and the system
// tables in the system account.
void CompleteTables(Driver& driver, const Dialect& dialect, const std::string& account,
                    const Report& report) {
  std::vector<SystemTable> tables;
  if (EqualsNoCase(account, kSystemAccount)) {
    tables = dialect.SystemAccountTables();
  } else {
    tables.push_back({"md", dialect.FileTableSql(TableTemplate::kMasterDictionary, "md"),
                      dialect.KeyIndexSql("md")});
  }
  for (const SystemTable& t : tables) {
    const auto create = [&] {
      std::vector<std::string> statements{t.createSql};
      if (!t.keyIndexSql.empty()) statements.push_back(t.keyIndexSql);
      RunAsOne(driver, statements);
    };
    if (CreateUnlessPresent([&] { return HasTable(driver, t.name); }, create))
      report("created table " + account + "." + t.name);
  }
  if (!EqualsNoCase(account, kSystemAccount)) return;
  // What a set-up of before made differently; another set-up may be doing the same.
  for (const Dialect::SystemTableUpgrade& u : dialect.SystemTableUpgrades()) {
    if (!driver.Query(u.needed)->Next()) continue;
    driver.Execute(u.change);
    report(u.report);
  }
}

// The administrator's connection to a server, on its own database.
std::shared_ptr<Driver> AdminConnection(const SetupOptions& o, const EngineSettings& s) {
  const Dialect& dialect = Dialect::Of(s.dataStore);
  std::shared_ptr<Driver> admin = MakeDriver(dialect.Kind());
  ConnectParams p = dialect.AdminConnectParams(s);
  p.user = o.adminUser;
  p.password = o.adminPassword;
  admin->Connect(p);
  return admin;
}

// Whether the query `sql` finds a row for the lower-cased `name`.
bool Found(Driver& admin, const std::string& sql, const std::string& name) {
  const DbValue param = LowerCase(name);
  auto cursor = admin.Query(sql, std::span<const DbValue>(&param, 1));
  return cursor->Next();
}

// Makes the account exist, and answers a connection on it: the administrator's switched
// there, or one of its own.
std::shared_ptr<Driver> OpenAccount(const SetupOptions& o, const EngineSettings& s,
                                    const std::shared_ptr<Driver>& admin,
                                    const std::string& account, const Report& report) {
  CheckAccountName(account);
  const DatastoreKind& kind = *FindDatastoreKind(s.dataStore);
  const AccountSite site{o.home, admin};
  if (CreateUnlessPresent([&] { return *kind.accounts.Exists(site, account); },
                          [&] { kind.accounts.Create(site, account); }))
    report("created account " + account);
  return kind.accounts.Switch(admin, account, [&](const std::string& a) {
    std::shared_ptr<Driver> driver = kind.makeDriver();
    driver->Connect(kind.dialect.ConnectParamsFor(s, o.home, a));
    return driver;
  });
}

void CreateServerLogin(Driver& admin, const SetupOptions& o, const Dialect& dialect,
                       const Report& report) {
  const std::string user = LowerCase(o.user);
  const std::string password = dialect.QuotedText(LowerCase(o.password));
  const auto run = [&](const std::vector<std::string>& statements) {
    for (const std::string& statement : statements) admin.Execute(statement);
  };
  if (CreateUnlessPresent([&] { return Found(admin, dialect.LoginExistsQuery(), user); },
                          [&] { run(dialect.CreateLoginSql(user, password)); })) {
    report("created login " + user + " on the server");
    return;
  }
  // The server checks the password at login: a login that exists takes the new one.
  run(dialect.SetLoginPasswordSql(user, password));
  report("set the password of login " + user + " on the server");
}

// Creates the user's row, or gives a user who has one the new password. On the embedded store
// the password is kept as a hash of its lower-cased text: logins compare it without regard to
// case. A server checks the password at its login and the column is never read there, so it
// keeps nothing: every login of the home may read the users table, and a hash there would
// let him guess the others' passwords at leisure.
void SetUser(Driver& dm, const SetupOptions& o, bool serverChecksPasswords, const Report& report) {
  const DbValue name = LowerCase(o.user);
  const auto known = [&] {
    auto row = dm.Query("SELECT A0 FROM users WHERE A0 = ?", std::span<const DbValue>(&name, 1));
    return row->Next();
  };
  const DbValue hash = serverChecksPasswords ? std::string() : HashPassword(LowerCase(o.password));
  const DbValue row[] = {name, hash, std::to_string(o.privilege)};
  if (CreateUnlessPresent(
          known, [&] { dm.Execute("INSERT INTO users (A0, A7, A8) VALUES (?, ?, ?)", row); })) {
    report("created user " + *name + " with privilege " + std::to_string(o.privilege));
    return;
  }
  const DbValue change[] = {hash, name};
  dm.Execute("UPDATE users SET A7 = ? WHERE A0 = ?", change);
  report("set the password of user " + *name);
}

// What set-ups before kept in the password column on a server: hashes that nothing reads.
void ClearServerPasswordCopies(Driver& dm, const Report& report) {
  const std::int64_t cleared = dm.Execute("UPDATE users SET A7 = '' WHERE A7 <> ''");
  if (cleared > 0)
    report("removed " + std::to_string(cleared) +
           " password hashes from the users table, which the server does not use");
}

// The roles of the logins, which the administrator can then give from each of his hosts
// (through the server's socket, over TCP).
void MakeRoles(Driver& admin, const Dialect& dialect, const SetupOptions& o) {
  for (const std::string& statement : dialect.LoginRolesSql()) admin.Execute(statement);
  if (dialect.AdministratorHostsQuery().empty()) return;
  std::vector<std::string> hosts;
  const DbValue name = o.adminUser;
  auto rows = admin.Query(dialect.AdministratorHostsQuery(), std::span<const DbValue>(&name, 1));
  while (rows->Next()) hosts.push_back(rows->Row()[0].value_or(""));
  for (const std::string& host : hosts) {
    for (const std::string& statement : dialect.ShareRolesSql(o.adminUser, host))
      admin.Execute(statement);
  }
}

// The home's users by login name, each with whether he has the administrator's privilege.
std::map<std::string, bool> Administrators(Driver& dm) {
  std::map<std::string, bool> out;
  for (auto row = dm.Query("SELECT A0, A8 FROM users"); row->Next();)
    out[LowerCase(row->Row()[0].value_or(""))] = Val(row->Row()[1].value_or("")) >= 3;
  return out;
}

// A server's login: a user and the host he comes from.
using ServerLogin = std::pair<std::string, std::string>;

// The logins of `users` whose rights are not the role their privilege calls for: made by a
// set-up of before, which gave them every right, or, with `otherRoleToo`, holding the other
// role (their privilege has changed since). Never the server's administrator by whom the
// set-up works, should he be a user of the home too.
std::set<ServerLogin> LoginsToNarrow(Driver& admin, const Dialect& dialect, const SetupOptions& o,
                                     const std::map<std::string, bool>& users, bool otherRoleToo) {
  std::set<ServerLogin> out;
  for (auto row = admin.Query(dialect.LoginRolesQuery()); row->Next();) {
    const std::string user = row->Row()[0].value_or("");
    const std::string role = row->Row()[2].value_or("");
    const auto known = users.find(LowerCase(user));
    if (known == users.end() || role == dialect.LoginRole(known->second) ||
        EqualsNoCase(user, o.adminUser))
      continue;
    if (otherRoleToo || role != dialect.LoginRole(!known->second))
      out.insert({user, row->Row()[1].value_or("")});
  }
  return out;
}

void NarrowLogin(Driver& admin, const Dialect& dialect, const ServerLogin& login,
                 bool administrator, const Report& report) {
  // Another set-up that narrows the same login at the same moment may take its role between
  // the grant and the default: the last one to revoke grants it again.
  for (int attempt = 1;; ++attempt) {
    try {
      for (const std::string& statement :
           dialect.NarrowLoginSql(login.first, login.second, administrator))
        admin.Execute(statement);
      break;
    } catch (...) {
      if (attempt == 3) throw;
    }
  }
  report("gave login " + login.first + "@" + login.second + " the rights of " +
         (administrator ? "an administrator" : "an ordinary user") + " on the server");
}

// The login of the user being set up holds its role before his row names him in the users
// table: from then on other set-ups see it, and narrow it if it is not.
void NarrowUsersLogin(Driver& admin, const Dialect& dialect, const SetupOptions& o,
                      const Report& report) {
  if (dialect.LoginRolesQuery().empty()) return;
  admin.UseDatabase(std::string(kSystemAccount));
  const std::string user = LowerCase(o.user);
  std::map<std::string, bool> users = Administrators(admin);
  users.try_emplace(user, o.privilege >= 3);
  for (const ServerLogin& login : LoginsToNarrow(admin, dialect, o, users, true)) {
    if (login.first == user) NarrowLogin(admin, dialect, login, users[user], report);
  }
}

// Leaves every login of the home's users with what the engine's sessions run (dialect.h):
// the roles have their rights on the accounts named, and a login that a set-up of before
// left with rights of its own is narrowed to its role (one whose user's privilege has been
// changed by hand keeps its role until the set-up is run for him). Such a login is one of an
// earlier home, whose accounts are then all given to the roles, having been made before them.
void NarrowServerRights(Driver& admin, const Dialect& dialect, const SetupOptions& o,
                        const Report& report) {
  if (dialect.LoginRolesQuery().empty()) return;
  std::set<std::string> accounts;
  for (const std::string& a : o.accounts) accounts.insert(a);
  for (const CatalogEntry& c : o.catalog) accounts.insert(c.account);
  admin.UseDatabase(std::string(kSystemAccount));
  const std::map<std::string, bool> users = Administrators(admin);
  const std::set<ServerLogin> earlier = LoginsToNarrow(admin, dialect, o, users, false);
  for (const ServerLogin& login : earlier)
    NarrowLogin(admin, dialect, login, users.at(LowerCase(login.first)), report);
  if (!earlier.empty()) {
    for (auto row = admin.Query(dialect.EngineAccountsQuery()); row->Next();)
      accounts.insert(row->Row()[0].value_or(""));
  }
  for (const std::string& account : accounts) {
    for (const std::string& statement : dialect.AccountRightsSql(account)) admin.Execute(statement);
  }
}

void AddCatalogEntry(Driver& d, const Dialect& dialect, const CatalogEntry& entry,
                     const Report& report) {
  const DbValue verb = entry.verb;
  const auto present = [&] {
    const Dialect::KeyMatch key = dialect.KeyEquals(entry.verb);
    auto row = d.Query("SELECT A0 FROM md WHERE " + key.condition,
                       std::span<const DbValue>(&key.param, 1));
    return row->Next();
  };
  const auto create = [&] {
    // Every column gets a value: the servers' md columns have no defaults.
    std::string columns = "A0";
    std::string values = "?";
    for (int i = 1; i <= 20; ++i) {
      columns += ", A" + std::to_string(i);
      values += i == 1 || i == 4 ? ", ?" : ", ''";
    }
    const DbValue row[] = {verb, entry.kind, entry.program};
    d.Execute("INSERT INTO md (" + columns + ") VALUES (" + values + ")", row);
  };
  if (CreateUnlessPresent(present, create))
    report("catalogued " + entry.verb + " in " + entry.account);
}

// The options ask for what cannot be: nothing has been changed.
struct Refusal {
  std::string message;
};

// A catalog entry goes into an account that exists or that this set-up makes: a mistyped
// name must not make an account, which is what --account is for.
void RefuseUnknownAccounts(const SetupOptions& o,
                           const std::function<bool(const std::string&)>& exists) {
  for (const CatalogEntry& c : o.catalog) {
    if (EqualsNoCase(c.account, kSystemAccount)) continue;
    bool made = false;
    for (const std::string& a : o.accounts) made = made || EqualsNoCase(a, c.account);
    if (made || exists(c.account)) continue;
    throw Refusal{"No account '" + c.account + "' for the catalog entry " + c.account + "," +
                  c.verb + ": --account " + c.account + " makes it."};
  }
}

}  // namespace

bool RunSetup(const SetupOptions& o, const Report& report, std::string* error, bool* refused) {
  if (refused) *refused = false;
  try {
    if (o.home.empty()) throw VbError(vberr::kInvalidProcedureCall, "No engine home given");
    if (!o.dataStore.empty() && !Dialect::Of(o.dataStore).ReachesDatastore())
      throw VbError(vberr::kInvalidProcedureCall,
                    "Unknown datastore \"" + o.dataStore + "\" (JET, MYSQL or MSSQL)");
    if (!o.user.empty() && !IsValidUserName(o.user))
      throw VbError(dberr::kBadName, "Invalid user name \"" + o.user + "\"");
    if (o.user.empty() != o.password.empty())
      throw VbError(vberr::kInvalidProcedureCall, "A user needs both --user and --password");
    if (o.password.find('\0') != std::string::npos)
      throw VbError(vberr::kInvalidProcedureCall, "A password may not hold a NUL character");
    for (const std::string& a : o.accounts) CheckAccountName(a);
    for (const CatalogEntry& c : o.catalog) {
      CheckAccountName(c.account);
      if (TrimBlanks(c.verb).empty() || TrimBlanks(c.kind).empty() ||
          TrimBlanks(c.program).empty() || c.verb.find(' ') != std::string::npos)
        throw VbError(vberr::kInvalidProcedureCall,
                      "A catalog entry needs a verb without blanks, a kind and a program");
    }

    // Checked before anything is made where the home's files answer it; on a server once
    // the server can be asked.
    const std::string givenKind = o.dataStore.empty() ? std::string(kEmbeddedStore) : o.dataStore;
    const bool settingsExist = fs::exists(o.home + "/" + kEngineSettingsFile);
    if (const DatastoreKind* kind =
            settingsExist ? Home::Open(o.home)->Kind() : FindDatastoreKind(givenKind)) {
      RefuseUnknownAccounts(o, [&](const std::string& a) {
        return kind->accounts.Exists({o.home, nullptr}, a).value_or(true);
      });
    }

    std::error_code ec;
    if (!fs::exists(o.home)) {
      fs::create_directories(o.home, ec);
      // Every account's items and the users' password hashes live here: a new home is its
      // owner's alone until its administrator opens it to a group.
      if (!ec) fs::permissions(o.home, fs::perms::owner_all, fs::perm_options::replace, ec);
      if (ec)
        throw VbError(vberr::kPermissionDenied, "Cannot create " + o.home + ": " + ec.message());
      report("created engine home " + o.home);
    }
    const std::string ini = o.home + "/" + kEngineSettingsFile;
    if (!fs::exists(ini)) {
      WriteDefaultSettings(ini, o.dataStore.empty() ? "JET" : o.dataStore);
      report("created " + ini);
    }
    const EngineSettings settings = Home::Open(o.home)->Settings();
    const Dialect& dialect = Dialect::Of(settings.dataStore);
    if (!dialect.ReachesDatastore())
      throw VbError(vberr::kInvalidProcedureCall,
                    "The settings name an unknown datastore \"" + settings.dataStore + "\"");

    // Where only a login sees the accounts (a server's), the administrator's connection
    // does the work, switched to each account in turn.
    const AccountSpace& accounts = FindDatastoreKind(settings.dataStore)->accounts;
    std::shared_ptr<Driver> admin;
    if (!accounts.Exists({o.home, nullptr}, std::string(kSystemAccount)).has_value()) {
      admin = AdminConnection(o, settings);
      RefuseUnknownAccounts(o, [&](const std::string& a) {
        return *accounts.Exists({o.home, admin}, a);
      });
    }

    const std::shared_ptr<Driver> dmConnection =
        OpenAccount(o, settings, admin, std::string(kSystemAccount), report);
    Driver& dm = *dmConnection;
    CompleteTables(dm, dialect, std::string(kSystemAccount), report);
    if (admin) ClearServerPasswordCopies(dm, report);
    if (admin) MakeRoles(*admin, dialect, o);
    if (!o.user.empty()) {
      if (admin) {
        CreateServerLogin(*admin, o, dialect, report);
        NarrowUsersLogin(*admin, dialect, o, report);
        admin->UseDatabase(std::string(kSystemAccount));
      }
      SetUser(dm, o, admin != nullptr, report);
    }
    for (const std::string& account : o.accounts) {
      CompleteTables(*OpenAccount(o, settings, admin, account, report), dialect, account, report);
    }
    for (const CatalogEntry& entry : o.catalog) {
      const std::shared_ptr<Driver> on = OpenAccount(o, settings, admin, entry.account, report);
      Driver& d = *on;
      CompleteTables(d, dialect, entry.account, report);
      AddCatalogEntry(d, dialect, entry, report);
    }
    AddKeyChecks(o.home, settings, admin.get(), report);
    if (admin) NarrowServerRights(*admin, dialect, o, report);
    return true;
  } catch (const Refusal& r) {
    if (error) *error = r.message;
    if (refused) *refused = true;
    return false;
  } catch (...) {
    if (error) *error = CurrentExceptionMessage();
    return false;
  }
}

}  // namespace orvik
