// SQL Server through unixODBC and the FreeTDS driver.
//
// Nothing is registered system-wide: the driver is named "FreeTDS" when odbcinst.ini knows
// that name, and otherwise by the path of its library, found at run time. Text crosses the
// connection as ISO-8859-1 (FreeTDS converts to and from the server's encodings).
//
// SQL Server serves one result at a time on a connection. A cursor streams its rows; when
// another call needs the connection while a cursor is still open, the rest of that cursor's
// rows are read into memory first, so both go on working.

#ifndef ORVIK_ENGINE_DATASTORE_ODBC_ODBC_DRIVER_H_
#define ORVIK_ENGINE_DATASTORE_ODBC_ODBC_DRIVER_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver.h"

namespace orvik {

struct OdbcOptions {
  // How long Connect waits for the server; 0 leaves the driver's own default.
  int login_timeout_seconds = 15;
};

// The connection string for FreeTDS. Every value is wrapped in braces with any "}" doubled,
// as ODBC quotes, so no value can add attributes in the driver manager's reading. The server
// defaults to 127.0.0.1 and the port to 1433 (none for a named instance, "host\name", which
// FreeTDS looks up itself).
std::string OdbcConnectionString(const ConnectParams& params, std::string_view driver = "FreeTDS");

// The FreeTDS ODBC driver library on this machine, or "" when there is none. Looked for next
// to the driver manager's own library first, then in the usual library folders.
std::string FindFreeTdsLibrary();

class OdbcConnection;

class OdbcDriver : public Driver {
 public:
  explicit OdbcDriver(OdbcOptions options = {});
  ~OdbcDriver() override;
  OdbcDriver(const OdbcDriver&) = delete;
  OdbcDriver& operator=(const OdbcDriver&) = delete;

  std::string Kind() const override { return "MSSQL"; }

  // Uses params.account (the database), server, port, user and password. Connecting again
  // closes the previous connection first; a failed Connect leaves the driver closed.
  // FreeTDS reads a braced value up to the first "};" and does not undo doubled braces, so a
  // user name, password or server holding "}" (or NUL) cannot reach it intact: such values are
  // refused (kBadName) before anything is sent.
  void Connect(const ConnectParams& params) override;
  bool IsOpen() const override;
  void Close() override;
  void UseDatabase(const std::string& account) override;
  std::string CurrentDatabase() const override { return database_; }

  // In a batch, the count of the last statement that reported one.
  std::int64_t Execute(std::string_view sql, std::span<const DbValue> params = {}) override;
  // The first result set of the statement (row counts of statements before it are skipped).
  // Binary columns come as their raw bytes.
  std::unique_ptr<Cursor> Query(std::string_view sql,
                                std::span<const DbValue> params = {}) override;
  // Tables outside the dbo schema are named "schema.table".
  std::vector<TableInfo> ListTables() override;
  // `table` as ListTables names it; types read like "varchar(25)", "decimal(10,2)", "int".
  std::vector<ColumnInfo> ListColumns(const std::string& table) override;

  // SQLCancel on the statement that runs, if any.
  void Interrupt() override;

 private:
  friend class RunningStatement;
  OdbcConnection& Open() const;

  OdbcOptions options_;
  // The statement handle being executed on the owning thread, for Interrupt.
  std::mutex runningMutex_;
  void* running_ = nullptr;
  std::shared_ptr<OdbcConnection> connection_;
  std::string database_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_ODBC_ODBC_DRIVER_H_
