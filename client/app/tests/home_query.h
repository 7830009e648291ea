// Reading an engine home's databases directly in the client's tests, as any SQLite tool
// does: no port logs in, so nothing the engine does at a login (such as removing stale
// locks) touches what is read.
//
// Any thread; tests only. Texts come back as the database holds them.

#ifndef ORVIK_CLIENT_APP_TESTS_HOME_QUERY_H_
#define ORVIK_CLIENT_APP_TESTS_HOME_QUERY_H_

#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace orvik::client {

// One row's text from the SQLite database `db` (such as home/JetMDB/ACCOUNT.db); "" when
// there is none.
inline std::string QueryOne(const std::filesystem::path& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  std::string value;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr) {
      value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(handle);
  return value;
}

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_APP_TESTS_HOME_QUERY_H_
