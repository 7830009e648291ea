// OvEngSetup: sets up an engine home, or completes one.
//
//   OvEngSetup --home DIR [--datastore JET|MYSQL|MSSQL] [--user NAME
//              (--password PW | --password-stdin) [--privilege N]] [--account NAME]...
//              [--catalog ACCOUNT,VERB,KIND,PROGRAM]... [--admin-user NAME --admin-password PW]

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "setup.h"
#include "text.h"

namespace {

int Usage(const char* problem) {
  std::fprintf(
      stderr,
      "OvEngSetup: %s\n"
      "usage: OvEngSetup --home DIR [--datastore JET|MYSQL|MSSQL]\n"
      "                  [--user NAME (--password PW | --password-stdin) [--privilege N]]\n"
      "                  [--account NAME]... [--catalog ACCOUNT,VERB,KIND,PROGRAM]...\n"
      "                  [--admin-user NAME] [--admin-password PW]\n"
      "--user creates the user, or sets the password of a user who exists (whose\n"
      "privilege is kept); --password-stdin reads the password from the first line of\n"
      "standard input, so that it is not seen in the process list.\n"
      "The administrator (default root) creates databases and logins on a server.\n"
      "--catalog adds a program to an account's catalog: KIND is a script language\n"
      "(JScript, Perl ...) or ACTIVEX, PROGRAM the rest (\"FILE [PROCEDURE]\").\n",
      problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  orvik::SetupOptions o;
  bool passwordFromInput = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    const auto value = [&]() -> std::string { return argv[++i]; };
    if (arg == "--help" || arg == "-h") {
      Usage("sets up an engine home");
      return 0;
    }
    if (arg == "--password-stdin") {
      passwordFromInput = true;
      continue;
    }
    if (!hasValue) return Usage(("missing value after " + std::string(arg)).c_str());
    if (arg == "--home") {
      o.home = value();
    } else if (arg == "--datastore") {
      o.dataStore = orvik::UpperCase(value());
    } else if (arg == "--user") {
      o.user = value();
    } else if (arg == "--password") {
      o.password = value();
    } else if (arg == "--privilege") {
      const std::string p = value();
      char* end = nullptr;
      const long n = std::strtol(p.c_str(), &end, 10);
      if (p.empty() || *end != '\0' || n < 0 || n > 99)
        return Usage(("invalid privilege \"" + p + "\"").c_str());
      o.privilege = static_cast<int>(n);
    } else if (arg == "--account") {
      o.accounts.push_back(value());
    } else if (arg == "--catalog") {
      // ACCOUNT,VERB,KIND,PROGRAM: the program is the rest and may hold commas.
      const std::string v = value();
      orvik::CatalogEntry e;
      std::size_t from = 0;
      for (std::string* part : {&e.account, &e.verb, &e.kind}) {
        const std::size_t comma = v.find(',', from);
        if (comma == std::string::npos)
          return Usage(("invalid catalog entry \"" + v + "\"").c_str());
        *part = std::string(orvik::TrimBlanks(std::string_view(v).substr(from, comma - from)));
        from = comma + 1;
      }
      e.program = std::string(orvik::TrimBlanks(std::string_view(v).substr(from)));
      o.catalog.push_back(std::move(e));
    } else if (arg == "--admin-user") {
      o.adminUser = value();
    } else if (arg == "--admin-password") {
      o.adminPassword = value();
    } else {
      return Usage(("unknown option " + std::string(arg)).c_str());
    }
  }
  if (o.home.empty()) return Usage("--home is required");
  if (passwordFromInput) {
    if (!o.password.empty()) return Usage("--password and --password-stdin exclude each other");
    std::getline(std::cin, o.password);
    if (!o.password.empty() && o.password.back() == '\r') o.password.pop_back();
    if (o.password.empty()) return Usage("no password on standard input");
  }

  std::string error;
  const bool ok = orvik::RunSetup(
      o, [](const std::string& line) { std::printf("%s\n", line.c_str()); }, &error);
  if (!ok) {
    std::fprintf(stderr, "OvEngSetup: %s\n", error.c_str());
    return 1;
  }
  std::printf("engine home %s is ready\n", o.home.c_str());
  return 0;
}
