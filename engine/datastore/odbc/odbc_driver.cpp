#include "odbc_driver.h"

#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "odbc_diagnostics.h"
#include "vb_error.h"

namespace orvik {

namespace {

constexpr std::string_view kDriverName = "FreeTDS";
// SQL Server's longest varchar; longer parameters go as varchar(max).
constexpr std::size_t kMaxVarchar = 8000;
// Long values are read in pieces of this size.
constexpr SQLLEN kChunk = 64 * 1024;

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::vector<OdbcDiagnostic> Diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<OdbcDiagnostic> records;
  std::vector<SQLCHAR> text(1024);
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(handle_type, handle, i, state, &native, text.data(),
                                 static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(length) >= text.size()) {
      text.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRec(handle_type, handle, i, state, &native, text.data(),
                         static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!Succeeded(rc)) break;
    const auto shown =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), text.size() - 1);
    records.push_back({std::string(reinterpret_cast<const char*>(state)), static_cast<int>(native),
                       std::string(reinterpret_cast<const char*>(text.data()), shown)});
  }
  return records;
}

[[noreturn]] void Fail(SQLSMALLINT handle_type, SQLHANDLE handle, int fallback) {
  throw OdbcFailure(Diagnostics(handle_type, handle), fallback);
}

void Check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, int fallback) {
  if (!Succeeded(rc)) Fail(handle_type, handle, fallback);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string Braced(std::string_view value) {
  std::string out = "{";
  for (char c : value) {
    out.push_back(c);
    if (c == '}') out.push_back('}');
  }
  out.push_back('}');
  return out;
}

// A value FreeTDS would read differently from the driver manager, or cut short.
void RefuseUnpassable(std::string_view what, std::string_view value) {
  if (value.find_first_of(std::string_view("}\0", 2)) != std::string_view::npos) {
    throw VbError(dberr::kBadName, "The " + std::string(what) +
                                       " holds a character ('}' or NUL) that cannot be " +
                                       "passed to the SQL Server driver");
  }
}

void CheckPort(std::string_view port) {
  if (port.empty()) return;
  bool valid =
      port.size() <= 5 && std::ranges::all_of(port, [](char c) { return c >= '0' && c <= '9'; });
  if (valid) {
    const int number = std::stoi(std::string(port));
    valid = number >= 1 && number <= 65535;
  }
  if (!valid) throw VbError(dberr::kBadName, "Invalid port \"" + std::string(port) + "\"");
}

bool IsRegistered(SQLHENV env, std::string_view name) {
  SQLCHAR description[256];
  SQLCHAR attributes[1024];
  SQLSMALLINT description_length = 0;
  SQLSMALLINT attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (Succeeded(SQLDrivers(env, direction, description, sizeof description, &description_length,
                              attributes, sizeof attributes, &attributes_length))) {
    if (EqualsIgnoringCase(reinterpret_cast<const char*>(description), name)) return true;
    direction = SQL_FETCH_NEXT;
  }
  return false;
}

// True when only the driver manager spoke: the driver itself was never reached (its library
// could not be loaded), so another way of naming it may still work.
bool DriverNeverLoaded(const std::vector<OdbcDiagnostic>& records) {
  return !records.empty() && std::ranges::all_of(records, [](const OdbcDiagnostic& r) {
    return r.message.find("[Driver Manager]") != std::string::npos;
  });
}

}  // namespace

std::string OdbcConnectionString(const ConnectParams& params, std::string_view driver) {
  const std::string server = params.server.empty() ? "127.0.0.1" : params.server;
  std::string out = "DRIVER=" + Braced(driver) + ";SERVER=" + Braced(server) + ";";
  // A named instance is found through the server's browser service, which gives its port.
  if (!params.port.empty() || server.find('\\') == std::string::npos) {
    out += "PORT=" + Braced(params.port.empty() ? "1433" : params.port) + ";";
  }
  out += "DATABASE=" + Braced(params.account) + ";UID=" + Braced(params.user) +
         ";PWD=" + Braced(params.password) + ";TDS_Version={7.4};ClientCharset={ISO-8859-1};";
  return out;
}

std::string FindFreeTdsLibrary() {
  namespace fs = std::filesystem;
  std::vector<fs::path> folders;
  auto add = [&folders](const fs::path& folder) {
    folders.push_back(folder / "odbc");
    folders.push_back(folder);
  };
  // Distributions put drivers beside the driver manager (Debian: <multiarch>/odbc/), which
  // also picks the library built for this machine's architecture.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SQLAllocHandle), &info) != 0 && info.dli_fname != nullptr) {
    add(fs::path(info.dli_fname).parent_path());
  }
  for (const char* root : {"/usr/lib64", "/usr/lib", "/usr/local/lib64", "/usr/local/lib",
                           "/opt/homebrew/lib", "/lib64", "/lib"}) {
    add(root);
  }
  for (const auto& folder : folders) {
    for (const char* name : {"libtdsodbc.so", "libtdsodbc.so.0"}) {
      std::error_code error;
      const fs::path candidate = folder / name;
      const std::string text = candidate.string();
      // A path that would need quoting inside braces is skipped, like any unusable value.
      if (text.find_first_of("};") != std::string::npos) continue;
      if (fs::is_regular_file(candidate, error)) return text;
    }
  }
  return "";
}

// One ODBC connection, shared by the driver and the cursors it handed out.
class OdbcConnection {
 public:
  class Streaming {
   public:
    virtual void ReadRestIntoMemory() = 0;

   protected:
    ~Streaming() = default;
  };

  OdbcConnection() {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
      env_ = SQL_NULL_HENV;
      throw VbError(dberr::kUnspecified, "Cannot start the ODBC driver manager");
    }
    try {
      Check(
          SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, env_, dberr::kUnspecified);
      if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
        dbc_ = SQL_NULL_HDBC;
        Fail(SQL_HANDLE_ENV, env_, dberr::kUnspecified);
      }
    } catch (...) {
      Release();
      throw;
    }
  }

  ~OdbcConnection() { Release(); }

  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  SQLHENV env() const { return env_; }
  SQLHDBC dbc() const { return dbc_; }
  bool connected() const { return connected_; }
  void set_connected() { connected_ = true; }

  // Makes the connection free for a new statement.
  void FreeTheWire() {
    if (streaming_ != nullptr) streaming_->ReadRestIntoMemory();
  }
  void set_streaming(Streaming* cursor) { streaming_ = cursor; }
  void clear_streaming(Streaming* cursor) {
    if (streaming_ == cursor) streaming_ = nullptr;
  }

 private:
  void Release() {
    if (connected_) SQLDisconnect(dbc_);
    if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    connected_ = false;
    dbc_ = SQL_NULL_HDBC;
    env_ = SQL_NULL_HENV;
  }

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  Streaming* streaming_ = nullptr;
};

namespace {

class Statement {
 public:
  explicit Statement(OdbcConnection& connection) {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection.dbc(), &handle_))) {
      handle_ = SQL_NULL_HSTMT;
      Fail(SQL_HANDLE_DBC, connection.dbc(), dberr::kUnspecified);
    }
  }
  ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  SQLHSTMT handle() const { return handle_; }
  void Check(SQLRETURN rc, int fallback = dberr::kErrorsInCommand) const {
    orvik::Check(rc, SQL_HANDLE_STMT, handle_, fallback);
  }

  // Prepares `sql` and binds `params` to its markers. The values are read at SQLExecute, so
  // `params` must outlive that call.
  void Prepare(std::string_view sql, std::span<const DbValue> params) {
    Check(SQLPrepare(handle_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())),
                     static_cast<SQLINTEGER>(sql.size())));
    indicators_.assign(params.size(), 0);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const DbValue& value = params[i];
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      if (!value) {
        indicators_[i] = SQL_NULL_DATA;
        Check(SQLBindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0,
                               null_buffer_, 0, &indicators_[i]));
        continue;
      }
      const std::size_t size = value->size();
      indicators_[i] = static_cast<SQLLEN>(size);
      Check(SQLBindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_CHAR,
                             size > kMaxVarchar ? SQL_LONGVARCHAR : SQL_VARCHAR,
                             std::max<SQLULEN>(size, 1), 0, const_cast<char*>(value->data()),
                             static_cast<SQLLEN>(size), &indicators_[i]));
    }
  }

  // Runs the prepared statement; false when it affected no rows and gave no result.
  bool Execute() {
    const SQLRETURN rc = SQLExecute(handle_);
    if (rc == SQL_NO_DATA) return false;
    Check(rc);
    return true;
  }

  // Moves to the next result; false when there is none.
  bool MoreResults() {
    const SQLRETURN rc = SQLMoreResults(handle_);
    if (rc == SQL_NO_DATA) return false;
    Check(rc);
    return true;
  }

  SQLSMALLINT ColumnCount() const {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(handle_, &count));
    return count;
  }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
  std::vector<SQLLEN> indicators_;
  char null_buffer_[1] = {0};
};

class OdbcCursor : public Cursor, private OdbcConnection::Streaming {
 public:
  // `statement` stands on a result set, or on nothing when the statement gave none.
  OdbcCursor(std::shared_ptr<OdbcConnection> connection, std::unique_ptr<Statement> statement)
      : connection_(std::move(connection)), statement_(std::move(statement)) {
    const SQLSMALLINT count = statement_->ColumnCount();
    if (count == 0) {
      statement_.reset();
      return;
    }
    std::vector<SQLCHAR> name(256);
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      SQLSMALLINT length = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = 0;
      auto describe = [&] {
        return SQLDescribeCol(statement_->handle(), i, name.data(),
                              static_cast<SQLSMALLINT>(name.size()), &length, &type, &size, &digits,
                              &nullable);
      };
      SQLRETURN rc = describe();
      if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(length) >= name.size()) {
        name.resize(static_cast<std::size_t>(length) + 1);
        rc = describe();
      }
      statement_->Check(rc);
      fields_.emplace_back(
          reinterpret_cast<const char*>(name.data()),
          std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), name.size() - 1));
      const bool binary = type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
      c_types_.push_back(binary ? SQL_C_BINARY : SQL_C_CHAR);
    }
    connection_->set_streaming(this);
  }

  ~OdbcCursor() override { Finish(); }

  const std::vector<std::string>& FieldNames() const override { return fields_; }

  bool Next() override {
    if (statement_) {
      try {
        if (Fetch(row_)) return true;
      } catch (...) {
        Finish();
        row_.clear();
        throw;
      }
      Finish();
    } else if (!buffered_.empty()) {
      row_ = std::move(buffered_.front());
      buffered_.pop_front();
      return true;
    } else if (pending_error_) {
      const VbError error = std::move(*pending_error_);
      pending_error_.reset();
      row_.clear();
      throw error;
    }
    row_.clear();
    return false;
  }

  const std::vector<DbValue>& Row() const override { return row_; }

 private:
  void ReadRestIntoMemory() override {
    std::vector<DbValue> row;
    try {
      while (Fetch(row)) buffered_.push_back(std::move(row));
    } catch (const VbError& error) {
      // The failure belongs to this cursor, not to the call that needed the connection.
      pending_error_ = error;
    }
    Finish();
  }

  void Finish() {
    if (!statement_) return;
    statement_.reset();
    connection_->clear_streaming(this);
  }

  bool Fetch(std::vector<DbValue>& row) {
    const SQLRETURN rc = SQLFetch(statement_->handle());
    if (rc == SQL_NO_DATA) return false;
    statement_->Check(rc);
    row.assign(fields_.size(), std::nullopt);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      row[i] = Read(static_cast<SQLUSMALLINT>(i + 1), c_types_[i]);
    }
    return true;
  }

  // One value, in as many pieces as it takes.
  DbValue Read(SQLUSMALLINT column, SQLSMALLINT c_type) {
    // Character data comes with a terminating NUL that is not part of the value.
    const SQLLEN room = c_type == SQL_C_CHAR ? kChunk - 1 : kChunk;
    chunk_.resize(kChunk);
    std::string value;
    for (;;) {
      SQLLEN indicator = 0;
      const SQLRETURN rc =
          SQLGetData(statement_->handle(), column, c_type, chunk_.data(), kChunk, &indicator);
      if (rc == SQL_NO_DATA) break;
      statement_->Check(rc);
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      const bool partial = indicator == SQL_NO_TOTAL || indicator > room;
      value.append(chunk_.data(), static_cast<std::size_t>(partial ? room : indicator));
      if (!partial) break;
    }
    return value;
  }

  std::shared_ptr<OdbcConnection> connection_;
  std::unique_ptr<Statement> statement_;  // null once every row has been read off the wire
  std::vector<std::string> fields_;
  std::vector<SQLSMALLINT> c_types_;
  std::vector<DbValue> row_;
  std::deque<std::vector<DbValue>> buffered_;
  std::optional<VbError> pending_error_;
  std::vector<char> chunk_;
};

std::string TextOf(const DbValue& value) { return value.value_or(""); }

// "varchar(25)", "decimal(10,2)", "varchar(max)", or the bare type name.
std::string DeclaredType(const std::string& type_name, const DbValue& size_text,
                         const DbValue& digits_text) {
  std::string lower = type_name;
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
  const long long size = size_text ? std::atoll(size_text->c_str()) : 0;
  if (lower == "char" || lower == "varchar" || lower == "binary" || lower == "varbinary" ||
      lower == "nchar" || lower == "nvarchar") {
    const long long longest = lower.starts_with('n') ? 4000 : 8000;
    if (size <= 0 || size > longest) return type_name + "(max)";
    return type_name + "(" + std::to_string(size) + ")";
  }
  if (lower == "decimal" || lower == "numeric") {
    return type_name + "(" + std::to_string(size) + "," + TextOf(digits_text) + ")";
  }
  return type_name;
}

}  // namespace

OdbcDriver::OdbcDriver(OdbcOptions options) : options_(options) {}

OdbcDriver::~OdbcDriver() = default;

bool OdbcDriver::IsOpen() const { return connection_ && connection_->connected(); }

void OdbcDriver::Close() {
  connection_.reset();
  database_.clear();
}

OdbcConnection& OdbcDriver::Open() const {
  if (!IsOpen()) throw VbError(dberr::kUnspecified, "The connection is not open");
  connection_->FreeTheWire();
  return *connection_;
}

void OdbcDriver::Connect(const ConnectParams& params) {
  CheckAccountName(params.account);
  RefuseUnpassable("user name", params.user);
  RefuseUnpassable("password", params.password);
  RefuseUnpassable("server name", params.server);
  CheckPort(params.port);

  connection_.reset();
  database_.clear();

  auto connection = std::make_shared<OdbcConnection>();
  if (options_.login_timeout_seconds > 0) {
    Check(
        SQLSetConnectAttr(
            connection->dbc(), SQL_ATTR_LOGIN_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(options_.login_timeout_seconds)), 0),
        SQL_HANDLE_DBC, connection->dbc(), dberr::kUnspecified);
  }

  std::vector<std::string> drivers;
  if (IsRegistered(connection->env(), kDriverName)) drivers.emplace_back(kDriverName);
  if (std::string library = FindFreeTdsLibrary(); !library.empty()) {
    drivers.push_back(std::move(library));
  }
  if (drivers.empty()) {
    throw VbError(dberr::kUnspecified, "The FreeTDS ODBC driver is not installed");
  }

  for (std::size_t i = 0; i < drivers.size(); ++i) {
    std::string text = OdbcConnectionString(params, drivers[i]);
    const SQLRETURN rc =
        SQLDriverConnect(connection->dbc(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                         SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    // The string holds the password.
    std::ranges::fill(text, '\0');
    if (Succeeded(rc)) {
      connection->set_connected();
      connection_ = std::move(connection);
      database_ = params.account;
      return;
    }
    std::vector<OdbcDiagnostic> records = Diagnostics(SQL_HANDLE_DBC, connection->dbc());
    if (i + 1 < drivers.size() && DriverNeverLoaded(records)) continue;
    throw OdbcFailure(records, dberr::kUnspecified);
  }
}

void OdbcDriver::UseDatabase(const std::string& account) {
  CheckAccountName(account);
  OdbcConnection& connection = Open();
  // FreeTDS sends USE; SQL Server leaves the database as it was when that fails.
  Check(SQLSetConnectAttr(connection.dbc(), SQL_ATTR_CURRENT_CATALOG,
                          const_cast<char*>(account.c_str()), SQL_NTS),
        SQL_HANDLE_DBC, connection.dbc(), dberr::kErrorsInCommand);
  database_ = account;
}

// Makes a statement handle the one Interrupt cancels, for as long as the scope lasts.
class RunningStatement {
 public:
  RunningStatement(OdbcDriver& driver, SQLHSTMT handle) : driver_(driver) {
    std::lock_guard lock(driver_.runningMutex_);
    driver_.running_ = handle;
  }
  ~RunningStatement() {
    std::lock_guard lock(driver_.runningMutex_);
    driver_.running_ = nullptr;
  }
  RunningStatement(const RunningStatement&) = delete;
  RunningStatement& operator=(const RunningStatement&) = delete;

 private:
  OdbcDriver& driver_;
};

void OdbcDriver::Interrupt() {
  std::lock_guard lock(runningMutex_);
  if (running_ != nullptr) SQLCancel(static_cast<SQLHSTMT>(running_));
}

std::int64_t OdbcDriver::Execute(std::string_view sql, std::span<const DbValue> params) {
  RefuseGuardedText(sql);
  Statement statement(Open());
  statement.Prepare(sql, params);
  const RunningStatement running(*this, statement.handle());
  std::int64_t count = 0;
  bool result = statement.Execute();
  do {
    if (!result) continue;
    if (statement.ColumnCount() > 0) {
      // A statement that returns rows matched as many as it returned.
      std::int64_t rows = 0;
      for (;;) {
        const SQLRETURN rc = SQLFetch(statement.handle());
        if (rc == SQL_NO_DATA) break;
        statement.Check(rc);
        ++rows;
      }
      count = rows;
    } else {
      SQLLEN rows = -1;
      statement.Check(SQLRowCount(statement.handle(), &rows));
      if (rows >= 0) count = rows;
    }
  } while ((result = statement.MoreResults()));
  return count;
}

std::unique_ptr<Cursor> OdbcDriver::Query(std::string_view sql, std::span<const DbValue> params) {
  RefuseGuardedText(sql);
  OdbcConnection& connection = Open();
  auto statement = std::make_unique<Statement>(connection);
  statement->Prepare(sql, params);
  {
    const RunningStatement running(*this, statement->handle());
    if (statement->Execute()) {
      while (statement->ColumnCount() == 0 && statement->MoreResults()) {
      }
    }
  }
  return std::make_unique<OdbcCursor>(connection_, std::move(statement));
}

std::vector<TableInfo> OdbcDriver::ListTables() {
  auto statement = std::make_unique<Statement>(Open());
  static const char kAll[] = "%";
  static const char kTypes[] = "'TABLE','VIEW','SYSTEM TABLE'";
  statement->Check(SQLTables(statement->handle(), nullptr, 0, nullptr, 0,
                             reinterpret_cast<SQLCHAR*>(const_cast<char*>(kAll)), SQL_NTS,
                             reinterpret_cast<SQLCHAR*>(const_cast<char*>(kTypes)), SQL_NTS));
  OdbcCursor cursor(connection_, std::move(statement));
  std::vector<TableInfo> tables;
  while (cursor.Next()) {
    const auto& row = cursor.Row();
    if (row.size() < 4) break;
    const std::string schema = TextOf(row[1]);
    std::string name = TextOf(row[2]);
    if (!schema.empty() && !EqualsIgnoringCase(schema, "dbo")) name = schema + "." + name;
    tables.push_back({std::move(name), TextOf(row[3])});
  }
  return tables;
}

std::vector<ColumnInfo> OdbcDriver::ListColumns(const std::string& table) {
  CheckFileName(table);
  std::string schema;
  std::string name = table;
  if (const auto dot = table.find('.'); dot != std::string::npos) {
    schema = table.substr(0, dot);
    name = table.substr(dot + 1);
  }
  auto statement = std::make_unique<Statement>(Open());
  statement->Check(SQLColumns(statement->handle(), nullptr, 0,
                              schema.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(schema.data()),
                              schema.empty() ? 0 : SQL_NTS, reinterpret_cast<SQLCHAR*>(name.data()),
                              SQL_NTS, nullptr, 0));
  OdbcCursor cursor(connection_, std::move(statement));

  // The table argument is a pattern ("_" matches any character), and an unqualified name
  // can exist in several schemas: keep only the table itself, in dbo when it is there.
  std::vector<std::pair<std::string, ColumnInfo>> found;
  while (cursor.Next()) {
    const auto& row = cursor.Row();
    if (row.size() < 9 || !EqualsIgnoringCase(TextOf(row[2]), name)) continue;
    found.push_back(
        {TextOf(row[1]), {TextOf(row[3]), DeclaredType(TextOf(row[5]), row[6], row[8])}});
  }
  if (schema.empty() && !found.empty()) {
    schema = found.front().first;
    for (const auto& [owner, column] : found) {
      if (EqualsIgnoringCase(owner, "dbo")) schema = owner;
    }
  }
  std::vector<ColumnInfo> columns;
  for (auto& [owner, column] : found) {
    if (EqualsIgnoringCase(owner, schema)) columns.push_back(std::move(column));
  }
  return columns;
}

}  // namespace orvik
