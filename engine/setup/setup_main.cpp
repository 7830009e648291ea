// OvEngSetup: sets up an engine home, or completes one.
//
//   OvEngSetup --home DIR [--datastore JET|MYSQL|MSSQL] [--user NAME
//              (--password PW | --password-stdin) [--privilege N]] [--account NAME]...
//              [--catalog ACCOUNT,VERB,KIND,PROGRAM]... [--admin-user NAME --admin-password PW]

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "program_command_line.h"
#include "setup.h"
#include "text.h"

namespace {

std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

// ACCOUNT,VERB,KIND,PROGRAM: the program is the rest and may hold commas.
std::optional<orvik::CatalogEntry> CatalogEntryOf(const std::string& v) {
  orvik::CatalogEntry e;
  std::size_t from = 0;
  for (std::string* part : {&e.account, &e.verb, &e.kind}) {
    const std::size_t comma = v.find(',', from);
    if (comma == std::string::npos) return std::nullopt;
    *part = std::string(orvik::TrimBlanks(std::string_view(v).substr(from, comma - from)));
    from = comma + 1;
  }
  e.program = std::string(orvik::TrimBlanks(std::string_view(v).substr(from)));
  return e;
}

}  // namespace

int main(int argc, char** argv) {
  orvik::program::CommandLine commandLine(
      "OvEngSetup",
      "Sets up an engine home, or completes one: its settings, its system account,\n"
      "users, accounts and catalogued programs.");
  QCommandLineParser& parser = commandLine.Parser();
  const QCommandLineOption home("home", "The engine home to set up (required).", "DIR");
  const QCommandLineOption dataStore(
      "datastore", "The datastore of a new settings file: JET (default), MYSQL or MSSQL.", "KIND");
  const QCommandLineOption user("user", "Creates this user, or sets his password.", "NAME");
  const QCommandLineOption password("password", "The user's password.", "PW");
  const QCommandLineOption passwordStdin(
      "password-stdin", "Reads the user's password from the first line of standard input.");
  const QCommandLineOption privilege("privilege", "A new user's privilege, 0 to 99 (default 3).",
                                     "N");
  const QCommandLineOption account("account", "Creates this account (may be repeated).", "NAME");
  const QCommandLineOption catalog("catalog",
                                   "Catalogues a program in an account (may be repeated).",
                                   "ACCOUNT,VERB,KIND,PROGRAM");
  const QCommandLineOption adminUser(
      "admin-user", "The server's administrator, who creates databases and logins (root).", "NAME");
  const QCommandLineOption adminPassword("admin-password", "The administrator's password.", "PW");
  parser.addOptions({home, dataStore, user, password, passwordStdin, privilege, account, catalog,
                     adminUser, adminPassword});
  commandLine.SetHelpNotes(
      "Only what is missing is made. --user with a user who exists sets his new password\n"
      "(and his server login's); his privilege is kept. --password-stdin keeps the password\n"
      "out of the process list. --catalog adds a program to an account's catalog: KIND is a\n"
      "script language (JScript, Perl ...) or ACTIVEX, PROGRAM the rest (\"FILE [PROCEDURE]\").");
  if (const auto status = commandLine.Read(argc, argv)) return *status;
  if (!parser.positionalArguments().isEmpty())
    return commandLine.UsageError("Unexpected argument '" + parser.positionalArguments().first() +
                                  "'.");

  orvik::SetupOptions o;
  o.home = Local(parser.value(home));
  if (o.home.empty()) return commandLine.UsageError("Missing option '--home'.");
  o.dataStore = orvik::UpperCase(Local(parser.value(dataStore)));
  o.user = Local(parser.value(user));
  o.password = Local(parser.value(password));
  if (parser.isSet(privilege)) {
    const std::string p = Local(parser.value(privilege));
    char* end = nullptr;
    const long n = std::strtol(p.c_str(), &end, 10);
    if (p.empty() || *end != '\0' || n < 0 || n > 99)
      return commandLine.UsageError("Invalid privilege '" + parser.value(privilege) +
                                    "': a whole number from 0 to 99 is needed.");
    o.privilege = static_cast<int>(n);
  }
  for (const QString& name : parser.values(account)) o.accounts.push_back(Local(name));
  for (const QString& entry : parser.values(catalog)) {
    std::optional<orvik::CatalogEntry> e = CatalogEntryOf(Local(entry));
    if (!e)
      return commandLine.UsageError("Invalid catalog entry '" + entry +
                                    "': ACCOUNT,VERB,KIND,PROGRAM is needed.");
    o.catalog.push_back(std::move(*e));
  }
  if (parser.isSet(adminUser)) o.adminUser = Local(parser.value(adminUser));
  o.adminPassword = Local(parser.value(adminPassword));
  if (parser.isSet(passwordStdin)) {
    if (parser.isSet(password))
      return commandLine.UsageError("--password and --password-stdin exclude each other.");
    std::getline(std::cin, o.password);
    if (!o.password.empty() && o.password.back() == '\r') o.password.pop_back();
    if (o.password.empty()) return commandLine.UsageError("No password on standard input.");
  }

  std::string error;
  bool refused = false;
  const bool ok = orvik::RunSetup(
      o, [](const std::string& line) { std::printf("%s\n", line.c_str()); }, &error, &refused);
  if (refused) return commandLine.UsageError(QString::fromLocal8Bit(error.c_str()));
  if (!ok) {
    std::fprintf(stderr, "OvEngSetup: %s\n", error.c_str());
    return 1;
  }
  std::printf("engine home %s is ready\n", o.home.c_str());
  return 0;
}
