#include "mariadb_driver.h"

#include <errmsg.h>
#include <fcntl.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

#include "layout.h"
#include "server_list.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {

namespace mariadb_internal {

// The client handle and the statements prepared on it. Cursors hold it weakly: once the
// driver lets go of it (Close, a new Connect, the driver's end) the handle is closed, which
// detaches the cursors' statements so that they fail instead of touching a freed connection.
//
// Statements that a port repeats (item reads and writes, lock look-ups) stay prepared, so
// that running one again is a single exchange with the server. A statement is kept with the
// database it was prepared in, since the server runs it there whatever the connection's
// database is later. Statements that stream through a cursor are never kept: a cursor may
// still be reading while the same text runs again.
struct Connection {
  MYSQL* mysql = nullptr;

  struct Prepared {
    std::string key;  // database, NUL, statement text
    MYSQL_STMT* stmt;
  };
  // Enough for the statements a port repeats, without holding every one-off query: the
  // server limits prepared statements across all its connections (16,382 by default).
  static constexpr std::size_t kCacheSize = 16;
  std::vector<Prepared> prepared;  // least recently used first

  // The bindings of a statement's parameters, and of a look-up's row while it is read: kept
  // from one statement to the next, as a port's every item read and write needs them.
  struct Binds {
    std::vector<MYSQL_BIND> binds;
    std::vector<unsigned long> lengths;
    std::vector<my_bool> nulls;
    std::vector<my_bool> errors;
    void Reset(std::size_t n) {
      binds.assign(n, MYSQL_BIND{});
      lengths.assign(n, 0);
      nulls.assign(n, 0);
      errors.assign(n, 0);
    }
  };
  Binds params;
  Binds row;

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    for (const Prepared& p : prepared) mysql_stmt_close(p.stmt);
    if (mysql != nullptr) mysql_close(mysql);
  }
};

}  // namespace mariadb_internal

namespace {

using mariadb_internal::Connection;

// Rows the server sends per fetch round trip of a cursor.
constexpr unsigned long kPrefetchRows = 256;
// Bytes bound per column of a cursor; longer values are fetched again at their full size.
constexpr unsigned long kColumnBuffer = 256;
constexpr unsigned int kConnectTimeoutSeconds = 30;
constexpr unsigned int kFailoverTimeoutSeconds = 5;

void InitLibrary() {
  // mysql_init would do this too, but not safely when two threads connect at once.
  static const bool ok = mysql_library_init(0, nullptr, nullptr) == 0;
  if (!ok) throw VbError(dberr::kUnspecified, "The MariaDB client library failed to start");
}

bool IsClientError(unsigned int code) {
  return (code >= CR_MIN_ERROR && code <= CR_MAX_ERROR) || (code >= 5000 && code <= 5999);
}

int ErrorNumber(unsigned int code, std::string_view sqlstate) {
  if (code == kMariaDbLockedByAnother) return dberr::kLockedByAnother;
  switch (code) {
    case ER_BAD_DB_ERROR:
    case ER_DBACCESS_DENIED_ERROR:  // a database the login has no right on is none to it
      return dberr::kNoSuchDatabase;
    case ER_NO_SUCH_TABLE:
      return dberr::kNoSuchTable;
    case ER_DUP_ENTRY:
      return dberr::kIntegrity;
    case ER_LOCK_DEADLOCK:
    case ER_LOCK_WAIT_TIMEOUT:
      return dberr::kConflict;
    case ER_ACCESS_DENIED_ERROR:
    case ER_CON_COUNT_ERROR:
    case ER_HOST_IS_BLOCKED:
    case ER_HOST_NOT_PRIVILEGED:
      return dberr::kUnspecified;
    default:
      break;
  }
  // Foreign keys, NOT NULL, CHECK constraints.
  if (sqlstate.starts_with("23")) return dberr::kIntegrity;
  // Failures of the client library itself: a lost connection, a server that went away.
  if (IsClientError(code)) return dberr::kUnspecified;
  return dberr::kErrorsInCommand;
}

std::string Description(unsigned int code, const char* message) {
  if (message != nullptr && *message != '\0') return message;
  return "MariaDB error " + std::to_string(code);
}

// The failure of a statement, numbered. A key column's check (layout.h) is the column's own,
// which the server names "<table>.A0".
VbError StatementError(unsigned int code, std::string_view sqlstate, const char* message) {
  // A replica's refusal, whichever setting made it.
  if (code == ER_CANT_EXECUTE_IN_READ_ONLY_TRANSACTION ||
      (code == ER_OPTION_PREVENTS_STATEMENT && message != nullptr &&
       std::strstr(message, "read-only") != nullptr))
    return VbError(dberr::kReadOnly, std::string(kReadOnlyRefused));
  std::string text = Description(code, message);
  if (code == ER_CONSTRAINT_FAILED && text.find(".A0` failed") != std::string::npos)
    return KeyTooLong();
  return VbError(ErrorNumber(code, sqlstate), std::move(text));
}

[[noreturn]] void Fail(MYSQL* mysql) {
  throw StatementError(mysql_errno(mysql), mysql_sqlstate(mysql), mysql_error(mysql));
}

[[noreturn]] void Fail(MYSQL_STMT* stmt) {
  throw StatementError(mysql_stmt_errno(stmt), mysql_stmt_sqlstate(stmt), mysql_stmt_error(stmt));
}

struct StmtCloser {
  void operator()(MYSQL_STMT* stmt) const { mysql_stmt_close(stmt); }
};
using StmtPtr = std::unique_ptr<MYSQL_STMT, StmtCloser>;

struct ResultFreer {
  void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultFreer>;

StmtPtr NewStatement(MYSQL* mysql) {
  StmtPtr stmt(mysql_stmt_init(mysql));
  if (!stmt) Fail(mysql);
  return stmt;
}

// Binds the values of `params` to `stmt`, as text (the server converts them where a column
// wants a number or a date) or as NULL, in `room`. The binding points into `params`, which must
// outlive the statement's execution.
void BindParams(Connection::Binds& room, MYSQL_STMT* stmt, std::span<const DbValue> params) {
  unsigned long wanted = mysql_stmt_param_count(stmt);
  if (wanted != params.size()) {
    throw VbError(dberr::kErrorsInCommand,
                  "The statement has " + std::to_string(wanted) + " parameter(s) but " +
                      std::to_string(params.size()) + " value(s) were given");
  }
  if (params.empty()) return;
  room.Reset(params.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    MYSQL_BIND& bind = room.binds[i];
    if (!params[i]) {
      bind.buffer_type = MYSQL_TYPE_NULL;
      continue;
    }
    const std::string& value = *params[i];
    room.lengths[i] = value.size();
    bind.buffer_type = MYSQL_TYPE_STRING;
    bind.buffer = const_cast<char*>(value.data());
    bind.buffer_length = value.size();
    bind.length = &room.lengths[i];
  }
  if (mysql_stmt_bind_param(stmt, room.binds.data())) Fail(stmt);
}

StmtPtr Prepare(MYSQL* mysql, std::string_view sql) {
  StmtPtr stmt = NewStatement(mysql);
  if (mysql_stmt_prepare(stmt.get(), sql.data(), sql.size())) Fail(stmt.get());
  return stmt;
}

// Reads and drops the further results a statement may leave (a procedure's CALL does), so
// that the connection takes the next statement.
void DrainResults(MYSQL* mysql) {
  for (;;) {
    int rc = mysql_next_result(mysql);
    if (rc < 0) return;
    if (rc > 0) Fail(mysql);
    if (mysql_field_count(mysql) > 0) {
      ResultPtr rest(mysql_store_result(mysql));
      if (!rest) Fail(mysql);
    }
  }
}

void DrainResults(MYSQL_STMT* stmt) {
  while (mysql_stmt_more_results(stmt)) {
    int rc = mysql_stmt_next_result(stmt);
    if (rc < 0) return;
    if (rc > 0) Fail(stmt);
    if (mysql_stmt_field_count(stmt) > 0) {
      if (mysql_stmt_store_result(stmt)) Fail(stmt);
      mysql_stmt_free_result(stmt);
    }
  }
}

std::vector<std::string> ReadFieldNames(MYSQL_RES* metadata) {
  std::vector<std::string> names;
  unsigned int count = mysql_num_fields(metadata);
  MYSQL_FIELD* fields = mysql_fetch_fields(metadata);
  names.reserve(count);
  for (unsigned int i = 0; i < count; ++i)
    names.emplace_back(fields[i].name, fields[i].name_length);
  return names;
}

// Rows already read whole into the client: what statements that cannot be prepared give.
class StoredCursor : public Cursor {
 public:
  explicit StoredCursor(ResultPtr result)
      : result_(std::move(result)), names_(ReadFieldNames(result_.get())), row_(names_.size()) {}

  const std::vector<std::string>& FieldNames() const override { return names_; }
  const std::vector<DbValue>& Row() const override { return row_; }

  bool Next() override {
    MYSQL_ROW row = mysql_fetch_row(result_.get());
    if (row == nullptr) {
      std::fill(row_.begin(), row_.end(), std::nullopt);
      return false;
    }
    unsigned long* lengths = mysql_fetch_lengths(result_.get());
    for (std::size_t i = 0; i < row_.size(); ++i) {
      if (row[i] == nullptr) {
        row_[i].reset();
      } else {
        row_[i].emplace(row[i], lengths[i]);
      }
    }
    return true;
  }

 private:
  ResultPtr result_;
  std::vector<std::string> names_;
  std::vector<DbValue> row_;
};

// The rows of an executed prepared statement, fetched through its server-side cursor (or,
// where the server opened none, from the rows read into the client right after execution).
class StatementCursor : public Cursor {
 public:
  StatementCursor(std::weak_ptr<Connection> connection, StmtPtr stmt, MYSQL_RES* metadata)
      : connection_(std::move(connection)), stmt_(stmt.get()), owned_(std::move(stmt)) {
    names_ = ReadFieldNames(metadata);
    std::size_t count = names_.size();
    row_.resize(count);
    binds_.resize(count);
    lengths_.resize(count);
    nulls_.resize(count);
    errors_.resize(count);
    buffer_.resize(count * kColumnBuffer);
    for (std::size_t i = 0; i < count; ++i) {
      MYSQL_BIND& bind = binds_[i];
      bind.buffer_type = MYSQL_TYPE_STRING;
      bind.buffer = buffer_.data() + i * kColumnBuffer;
      bind.buffer_length = kColumnBuffer;
      bind.length = &lengths_[i];
      bind.is_null = &nulls_[i];
      bind.error = &errors_[i];
    }
    if (mysql_stmt_bind_result(stmt_, binds_.data())) Fail(stmt_);
  }

  const std::vector<std::string>& FieldNames() const override { return names_; }
  const std::vector<DbValue>& Row() const override { return row_; }

  bool Next() override {
    if (!stmt_) return false;
    if (connection_.expired()) {
      throw VbError(dberr::kUnspecified, "The connection of this cursor is closed");
    }
    int rc = mysql_stmt_fetch(stmt_);
    if (rc == MYSQL_NO_DATA) {
      // Frees the server's cursor now rather than when the caller drops this object.
      DrainResults(stmt_);
      stmt_ = nullptr;
      owned_.reset();
      std::fill(row_.begin(), row_.end(), std::nullopt);
      return false;
    }
    if (rc != 0 && rc != MYSQL_DATA_TRUNCATED) Fail(stmt_);
    for (std::size_t i = 0; i < row_.size(); ++i) {
      if (nulls_[i]) {
        row_[i].reset();
      } else if (lengths_[i] <= kColumnBuffer) {
        row_[i].emplace(buffer_.data() + i * kColumnBuffer, lengths_[i]);
      } else {
        row_[i] = FetchWhole(static_cast<unsigned int>(i), lengths_[i]);
      }
    }
    return true;
  }

 private:
  std::string FetchWhole(unsigned int column, unsigned long length) {
    std::string value(length + 1, '\0');
    unsigned long got = 0;
    my_bool is_null = 0;
    my_bool error = 0;
    MYSQL_BIND bind;
    std::memset(&bind, 0, sizeof bind);
    bind.buffer_type = MYSQL_TYPE_STRING;
    bind.buffer = value.data();
    bind.buffer_length = value.size();
    bind.length = &got;
    bind.is_null = &is_null;
    bind.error = &error;
    if (mysql_stmt_fetch_column(stmt_, &bind, column, 0)) Fail(stmt_);
    value.resize(std::min<unsigned long>(got, length));
    return value;
  }

  std::weak_ptr<Connection> connection_;
  MYSQL_STMT* stmt_;
  StmtPtr owned_;
  std::vector<std::string> names_;
  std::vector<DbValue> row_;
  std::vector<MYSQL_BIND> binds_;
  std::vector<unsigned long> lengths_;
  std::vector<my_bool> nulls_;
  std::vector<my_bool> errors_;
  std::vector<char> buffer_;
};

std::unique_ptr<Cursor> StoredQuery(MYSQL* mysql, std::string_view sql) {
  if (mysql_real_query(mysql, sql.data(), sql.size())) Fail(mysql);
  if (mysql_field_count(mysql) == 0) {
    DrainResults(mysql);
    return std::make_unique<RowsCursor>();
  }
  ResultPtr result(mysql_store_result(mysql));
  if (!result) Fail(mysql);
  DrainResults(mysql);
  return std::make_unique<StoredCursor>(std::move(result));
}

// A statement kept prepared on `connection` for `sql` in `database`: taken out of the kept
// ones while in use, so that a failure in between drops it (it may no longer fit the tables)
// and a statement is never run twice at once. Given back by Keep.
class KeptStatement {
 public:
  KeptStatement(Connection& connection, const std::string& database, std::string_view sql)
      : connection_(connection) {
    key_.reserve(database.size() + 1 + sql.size());
    key_.append(database).push_back('\0');
    key_.append(sql);
    auto& kept = connection_.prepared;
    const auto it = std::find_if(kept.begin(), kept.end(),
                                 [&](const Connection::Prepared& p) { return p.key == key_; });
    if (it != kept.end()) {
      stmt_.reset(it->stmt);
      kept.erase(it);
      return;
    }
    stmt_ = NewStatement(connection_.mysql);
    if (mysql_stmt_prepare(stmt_.get(), sql.data(), sql.size()) == 0) return;
    if (mysql_stmt_errno(stmt_.get()) != ER_MAX_PREPARED_STMT_COUNT_REACHED || kept.empty())
      Fail(stmt_.get());
    // The server's limit, which every connection shares: this one gives back what it keeps
    // and asks once more.
    for (const Connection::Prepared& p : kept) mysql_stmt_close(p.stmt);
    kept.clear();
    stmt_ = Prepare(connection_.mysql, sql);
  }
  MYSQL_STMT* get() const { return stmt_.get(); }
  // Ready for its next run: back among the kept ones, the oldest dropped when full.
  void Keep() {
    auto& kept = connection_.prepared;
    if (kept.size() >= Connection::kCacheSize) {
      mysql_stmt_close(kept.front().stmt);
      kept.erase(kept.begin());
    }
    kept.push_back({std::move(key_), stmt_.release()});
  }

 private:
  Connection& connection_;
  std::string key_;
  StmtPtr stmt_;
};

unsigned int ParsePort(const std::string& text) {
  if (text.empty()) return 0;  // the client library's default
  unsigned int port = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port == 0 || port > 65535) {
    throw VbError(dberr::kUnspecified, "Invalid port \"" + text + "\"");
  }
  return port;
}

// The client library takes C strings: a NUL inside would silently cut a password short.
void CheckNoNul(const std::string& value, const char* what) {
  if (value.find('\0') != std::string::npos) {
    throw VbError(dberr::kUnspecified, std::string("The ") + what + " holds a NUL character");
  }
}

// The library opens its socket without close-on-exec: whatever a program runs would hold the
// connection to the server.
void KeepFromChildren(MYSQL* mysql) {
  const my_socket fd = mysql_get_socket(mysql);
  if (fd >= 0) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

}  // namespace

MariaDbDriver::MariaDbDriver() = default;
MariaDbDriver::~MariaDbDriver() {
  std::lock_guard lock(killMutex_);
  for (std::thread& t : killers_) t.join();
}

mariadb_internal::Connection& MariaDbDriver::Open() const {
  if (!connection_) throw VbError(dberr::kUnspecified, "The connection is not open");
  return *connection_;
}

namespace {

// A failure to reach one server of several, after which the next one is tried: it did not
// answer, or it answered that it cannot serve now (a cluster's node that is not in its
// cluster's primary part, a server at its connection limit).
bool ServerUnavailable(unsigned int code) {
  return code == CR_CONNECTION_ERROR || code == CR_CONN_HOST_ERROR || code == CR_UNKNOWN_HOST ||
         code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == ER_CON_COUNT_ERROR ||
         code == ER_UNKNOWN_COM_ERROR || code == ER_SERVER_SHUTDOWN;
}

// Runs a statement whose answer does not matter beyond its success.
void RunPlain(MYSQL* mysql, std::string_view sql) {
  if (mysql_real_query(mysql, sql.data(), sql.size())) Fail(mysql);
  if (mysql_field_count(mysql) > 0) ResultPtr(mysql_store_result(mysql));
  DrainResults(mysql);
}

// The first row of a query without parameters, each value as text ("" for NULL); nothing when
// the server refuses it.
std::optional<std::vector<std::string>> FirstRow(MYSQL* mysql, std::string_view sql) {
  if (mysql_real_query(mysql, sql.data(), sql.size())) return std::nullopt;
  ResultPtr result(mysql_store_result(mysql));
  if (!result) return std::nullopt;
  std::vector<std::string> out;
  if (MYSQL_ROW row = mysql_fetch_row(result.get()); row != nullptr) {
    unsigned long* lengths = mysql_fetch_lengths(result.get());
    for (unsigned int i = 0; i < mysql_num_fields(result.get()); ++i)
      out.emplace_back(row[i] ? std::string(row[i], lengths[i]) : std::string());
  }
  result.reset();
  DrainResults(mysql);
  return out;
}

// What the server is. A server that answers none of the questions (MySQL) is a server alone.
ServerFacts ReadFacts(MYSQL* mysql) {
  static constexpr std::string_view kQuestions[] = {
      "SELECT @@read_only, @@wsrep_on AND @@wsrep_provider <> 'none', @@server_uid",
      "SELECT @@read_only, @@wsrep_on AND @@wsrep_provider <> 'none', "
      "CONCAT(@@hostname, ':', @@port)",
      "SELECT @@read_only, 0, CONCAT(@@hostname, ':', @@port)"};
  ServerFacts facts;
  for (const std::string_view question : kQuestions) {
    const auto row = FirstRow(mysql, question);
    if (!row || row->size() < 3) continue;
    facts.readOnly = (*row)[0] == "1";
    facts.cluster = (*row)[1] == "1";
    facts.node = (*row)[2];
    break;
  }
  return facts;
}

// What every connection sets for its session, as one statement. Without strict mode, as the
// applications expect: an over-long value is cut to fit, a missing one takes the column's
// default. A transaction that holds an item's lock while its user thinks keeps no snapshot of
// the whole store meanwhile: each statement reads what is committed when it runs. Even a login
// whose rights would beat the server's read-only setting changes nothing on a replica: what
// it wrote would stop the replication.
std::string SessionSettings(bool compound, bool readOnly) {
  std::string sql = "SET SESSION sql_mode='NO_ENGINE_SUBSTITUTION'";
  if (compound) sql += ", SESSION tx_isolation='READ-COMMITTED'";
  if (readOnly) sql += ", SESSION tx_read_only=1";
  return sql;
}

// Whether a cluster's node takes statements: one cut off from its cluster's primary part, or
// still joining it, refuses them.
bool NodeReady(MYSQL* mysql) {
  const auto row = FirstRow(mysql, "SHOW STATUS LIKE 'wsrep_ready'");
  return row && row->size() == 2 && EqualsNoCase((*row)[1], "ON");
}

}  // namespace

void MariaDbDriver::Connect(const ConnectParams& params) {
  CheckAccountName(params.account);
  CheckNoNul(params.server, "server name");
  CheckNoNul(params.socket, "socket path");
  CheckNoNul(params.user, "user name");
  CheckNoNul(params.password, "password");
  InitLibrary();

  // Where to try, in order: the socket, or each server the settings name.
  std::vector<ConnectParams> targets;
  if (!params.socket.empty() || params.pipes) {
    ParsePort(params.port);
    targets.push_back(params);
  } else {
    for (const ServerAddress& a : ParseServerList(params.server, params.port)) {
      ConnectParams one = params;
      one.server = a.host;
      one.port = a.port;
      ParsePort(one.port);
      targets.push_back(std::move(one));
    }
    if (targets.empty()) {
      targets.push_back(params);
      targets.back().server.clear();
    }
  }
  // With nodes to fall back on, a node that does not answer is given up sooner.
  const unsigned int timeout =
      params.timeoutSeconds > 0 ? static_cast<unsigned int>(params.timeoutSeconds)
      : targets.size() > 1      ? kFailoverTimeoutSeconds
                                : kConnectTimeoutSeconds;
  const std::string database = LowerCase(params.account);
  std::optional<VbError> failure;
  for (const ConnectParams& target : targets) {
    auto connection = std::make_shared<Connection>();
    MYSQL* mysql = connection->mysql = mysql_init(nullptr);
    if (mysql == nullptr) throw VbError(dberr::kUnspecified, "Out of memory");
    mysql_optionsv(mysql, MYSQL_SET_CHARSET_NAME, "latin1");
    mysql_optionsv(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    if (params.timeoutSeconds > 0) {
      mysql_optionsv(mysql, MYSQL_OPT_READ_TIMEOUT, &timeout);
      mysql_optionsv(mysql, MYSQL_OPT_WRITE_TIMEOUT, &timeout);
    }
    my_bool reconnect = 0;
    mysql_optionsv(mysql, MYSQL_OPT_RECONNECT, &reconnect);
    // LOAD DATA LOCAL would let the server ask for any file this process can read.
    unsigned int local_infile = 0;
    mysql_optionsv(mysql, MYSQL_OPT_LOCAL_INFILE, &local_infile);

    const char* host = nullptr;
    const char* socket = nullptr;
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    ServerFacts facts;
    if (!target.socket.empty()) {
      host = "localhost";
      socket = target.socket.c_str();
      protocol = MYSQL_PROTOCOL_SOCKET;
      facts.reached = target.socket;
    } else if (target.pipes) {
      host = "localhost";
      protocol = MYSQL_PROTOCOL_SOCKET;
      facts.reached = "localhost";
    } else {
      // TCP even for "localhost", which the library would otherwise take through the
      // default socket and so ignore the port.
      host = target.server.empty() ? "localhost" : target.server.c_str();
      facts.reached = ServerAddress{host, target.port}.Shown();
    }
    mysql_optionsv(mysql, MYSQL_OPT_PROTOCOL, &protocol);

    if (mysql_real_connect(mysql, host, target.user.c_str(), target.password.c_str(),
                           database.c_str(), ParsePort(target.port), socket,
                           CLIENT_FOUND_ROWS) == nullptr) {
      const unsigned int code = mysql_errno(mysql);
      const int number = code == ER_BAD_DB_ERROR || code == ER_DBACCESS_DENIED_ERROR
                             ? dberr::kNoSuchDatabase
                             : dberr::kUnspecified;
      failure.emplace(number, Description(code, mysql_error(mysql)));
      // A refused login or a missing account is the same on every node.
      if (!ServerUnavailable(code)) throw *failure;
      continue;
    }
    KeepFromChildren(mysql);
    const char* server = mysql_get_server_info(mysql);
    const bool compound = server != nullptr && std::strstr(server, "MariaDB") != nullptr &&
                          mysql_get_server_version(mysql) >= 100500;
    const ServerFacts found = ReadFacts(mysql);
    facts.cluster = found.cluster;
    facts.readOnly = found.readOnly;
    facts.node = found.node;
    if (facts.cluster && !NodeReady(mysql)) {
      failure.emplace(dberr::kUnspecified, "The cluster node " + facts.reached +
                                               " is not part of its cluster's primary component");
      continue;
    }
    // One statement, one exchange with the server, however many settings.
    RunPlain(mysql, SessionSettings(compound, facts.readOnly));

    {
      std::lock_guard lock(killMutex_);
      killParams_ = target;
      killThreadId_ = mysql_thread_id(mysql);
    }
    connection_ = std::move(connection);
    database_ = params.account;
    compound_ = compound;
    facts_ = std::move(facts);
    EndDeferred();
    return;
  }
  throw *failure;
}

namespace {

// Counts a statement as running for as long as the scope lasts.
class Running {
 public:
  explicit Running(std::atomic<int>& count) : count_(count) { ++count_; }
  ~Running() { --count_; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  std::atomic<int>& count_;
};

// Kills the statement that connection `threadId` runs, from a connection of its own.
void KillQuery(const ConnectParams& params, unsigned long threadId) noexcept try {
  MYSQL* mysql = mysql_init(nullptr);
  if (mysql == nullptr) return;
  unsigned int timeout = 5;
  mysql_optionsv(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  unsigned int protocol =
      params.socket.empty() && !params.pipes ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
  mysql_optionsv(mysql, MYSQL_OPT_PROTOCOL, &protocol);
  const char* host = params.socket.empty() && !params.pipes && !params.server.empty()
                         ? params.server.c_str()
                         : "localhost";
  const char* socket = params.socket.empty() ? nullptr : params.socket.c_str();
  if (mysql_real_connect(mysql, host, params.user.c_str(), params.password.c_str(), nullptr,
                         ParsePort(params.port), socket, 0) != nullptr) {
    KeepFromChildren(mysql);
    const std::string kill = "KILL QUERY " + std::to_string(threadId);
    mysql_real_query(mysql, kill.data(), kill.size());
  }
  mysql_close(mysql);
} catch (...) {
  // Nothing to do: the statement then runs to its end.
}

}  // namespace

void MariaDbDriver::Interrupt() {
  std::lock_guard lock(killMutex_);
  if (running_.load() == 0 || killThreadId_ == 0) return;
  killers_.emplace_back(KillQuery, killParams_, killThreadId_);
}

bool MariaDbDriver::IsOpen() const { return connection_ != nullptr; }

void MariaDbDriver::Close() {
  connection_.reset();
  database_.clear();
  EndDeferred();
}

void MariaDbDriver::Settle() {
  if (!EndDeferred()) return;
  RunPlain(Open().mysql, "COMMIT");
}

void MariaDbDriver::Begin() {
  Settle();
  const Running running(running_);
  RunPlain(Open().mysql, "START TRANSACTION");
}

void MariaDbDriver::Commit() {
  EndDeferred();
  const Running running(running_);
  RunPlain(Open().mysql, "COMMIT");
}

void MariaDbDriver::Rollback() {
  EndDeferred();
  const Running running(running_);
  RunPlain(Open().mysql, "ROLLBACK");
}

void MariaDbDriver::UseDatabase(const std::string& account) {
  CheckAccountName(account);
  Settle();
  MYSQL* mysql = Open().mysql;
  if (mysql_select_db(mysql, LowerCase(account).c_str())) Fail(mysql);
  database_ = account;
}

std::string MariaDbDriver::CurrentDatabase() const { return database_; }

std::int64_t MariaDbDriver::Execute(std::string_view sql, std::span<const DbValue> params) {
  RefuseGuardedText(sql);
  Settle();
  MYSQL* mysql = Open().mysql;
  const Running running(running_);
  if (params.empty()) {
    if (mysql_real_query(mysql, sql.data(), sql.size())) Fail(mysql);
    std::int64_t count = 0;
    if (mysql_field_count(mysql) > 0) {
      // Rows a statement returns would block the connection until read.
      ResultPtr result(mysql_store_result(mysql));
      if (!result) Fail(mysql);
      count = static_cast<std::int64_t>(mysql_num_rows(result.get()));
    } else {
      count = static_cast<std::int64_t>(mysql_affected_rows(mysql));
    }
    DrainResults(mysql);
    return count;
  }

  KeptStatement stmt(Open(), database_, sql);
  BindParams(Open().params, stmt.get(), params);
  if (mysql_stmt_execute(stmt.get())) Fail(stmt.get());
  std::int64_t count = 0;
  if (mysql_stmt_field_count(stmt.get()) > 0) {
    if (mysql_stmt_store_result(stmt.get())) Fail(stmt.get());
    count = static_cast<std::int64_t>(mysql_stmt_num_rows(stmt.get()));
    mysql_stmt_free_result(stmt.get());
  } else {
    count = static_cast<std::int64_t>(mysql_stmt_affected_rows(stmt.get()));
  }
  DrainResults(stmt.get());
  stmt.Keep();
  return count;
}

namespace {

// Column `column` of the row just fetched, as text, into `value`; its whole length.
unsigned long FetchColumn(MYSQL_STMT* stmt, unsigned int column, std::string& value) {
  MYSQL_BIND bind{};
  unsigned long got = 0;
  my_bool error = 0;
  bind.buffer_type = MYSQL_TYPE_STRING;
  bind.buffer = value.data();
  bind.buffer_length = value.size();
  bind.length = &got;
  bind.error = &error;
  if (mysql_stmt_fetch_column(stmt, &bind, column, 0)) Fail(stmt);
  return got;
}

// The rows of a statement just executed without a cursor, read whole. The rows are in the
// client already: each value is copied once, at its own length, where a cursor's fixed buffers
// would cost a fresh, zeroed block per column on every look-up.
std::unique_ptr<Cursor> ReadRows(Connection& connection, MYSQL_STMT* stmt) {
  ResultPtr metadata(mysql_stmt_result_metadata(stmt));
  if (!metadata) {
    if (mysql_stmt_errno(stmt) != 0) Fail(stmt);
    DrainResults(stmt);
    return std::make_unique<RowsCursor>();
  }
  if (mysql_stmt_store_result(stmt)) Fail(stmt);
  std::vector<std::string> names = ReadFieldNames(metadata.get());
  const std::size_t count = names.size();
  // No buffers: a fetch tells each value's length and whether it is NULL.
  Connection::Binds& room = connection.row;
  room.Reset(count);
  const std::vector<unsigned long>& lengths = room.lengths;
  const std::vector<my_bool>& nulls = room.nulls;
  for (std::size_t i = 0; i < count; ++i) {
    room.binds[i].buffer_type = MYSQL_TYPE_STRING;
    room.binds[i].length = &room.lengths[i];
    room.binds[i].is_null = &room.nulls[i];
    room.binds[i].error = &room.errors[i];
  }
  if (mysql_stmt_bind_result(stmt, room.binds.data())) Fail(stmt);
  std::vector<std::vector<DbValue>> rows;
  rows.reserve(static_cast<std::size_t>(mysql_stmt_num_rows(stmt)));
  // A floating-point number tells no length until it is written out as text: it, and an
  // empty value, are read into this room first, enough for any number.
  std::string untold(kColumnBuffer, '\0');
  for (;;) {
    const int rc = mysql_stmt_fetch(stmt);
    if (rc == MYSQL_NO_DATA) break;
    if (rc != 0 && rc != MYSQL_DATA_TRUNCATED) Fail(stmt);
    std::vector<DbValue>& row = rows.emplace_back(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (nulls[i]) continue;
      const auto column = static_cast<unsigned int>(i);
      if (lengths[i] > 0) {
        FetchColumn(stmt, column, row[i].emplace(lengths[i], '\0'));
        continue;
      }
      const unsigned long got = FetchColumn(stmt, column, untold);
      if (got <= untold.size()) {
        row[i].emplace(untold.data(), got);
      } else {
        FetchColumn(stmt, column, row[i].emplace(got, '\0'));
      }
    }
  }
  mysql_stmt_free_result(stmt);
  // A compound statement ends with a status of its own after its rows.
  DrainResults(stmt);
  return std::make_unique<RowsCursor>(std::move(names), std::move(rows));
}

// The rows of a kept statement just executed, read whole; the statement is kept again.
std::unique_ptr<Cursor> ReadWhole(Connection& connection, KeptStatement& stmt) {
  std::unique_ptr<Cursor> rows = ReadRows(connection, stmt.get());
  stmt.Keep();
  return rows;
}

bool IsShow(std::string_view sql) { return EqualsNoCase(TrimBlanks(sql).substr(0, 5), "SHOW "); }

}  // namespace

std::unique_ptr<Cursor> MariaDbDriver::Lookup(std::string_view sql,
                                              std::span<const DbValue> params) {
  RefuseGuardedText(sql);
  if (params.empty()) return LookupOnce(sql);
  Settle();
  Connection& connection = Open();
  const Running running(running_);
  for (int attempt = 0;; ++attempt) {
    KeptStatement stmt(connection, database_, sql);
    BindParams(connection.params, stmt.get(), params);
    // No cursor: the server sends the rows with its answer to the execution.
    if (mysql_stmt_execute(stmt.get())) {
      // The table changed since the statement was kept, and so did the shape of its rows:
      // prepared afresh, it reads them as they are now. A query may simply run again.
      if (attempt == 0 && mysql_stmt_errno(stmt.get()) == CR_NEW_STMT_METADATA) continue;
      Fail(stmt.get());
    }
    return ReadWhole(connection, stmt);
  }
}

std::unique_ptr<Cursor> MariaDbDriver::LookupOnce(std::string_view sql) {
  // A one-off statement is sent with its execution in a single exchange, its rows coming back
  // with the answer: a login's reads of its user, the catalog and the sessions each wait for
  // the server once rather than three times. MySQL takes the two apart.
  if (!compound_ || IsShow(sql)) return Query(sql);
  Settle();
  Connection& connection = Open();
  const Running running(running_);
  StmtPtr stmt = NewStatement(connection.mysql);
  unsigned int noParams = 0;
  if (mysql_stmt_attr_set(stmt.get(), STMT_ATTR_PREBIND_PARAMS, &noParams)) Fail(stmt.get());
  if (mariadb_stmt_execute_direct(stmt.get(), sql.data(), sql.size())) {
    // Statements the server cannot prepare are administrative ones with small results.
    if (mysql_stmt_errno(stmt.get()) != ER_UNSUPPORTED_PS) Fail(stmt.get());
    stmt.reset();
    return StoredQuery(connection.mysql, sql);
  }
  return ReadRows(connection, stmt.get());
}

std::unique_ptr<Cursor> MariaDbDriver::Query(std::string_view sql,
                                             std::span<const DbValue> params) {
  RefuseGuardedText(sql);
  Settle();
  MYSQL* mysql = Open().mysql;
  const Running running(running_);
  // SHOW statements list server state in small results: read them whole, as a prepared SHOW
  // can leave its result half-read behind a closed statement ("commands out of sync").
  if (params.empty() && IsShow(sql)) {
    return StoredQuery(mysql, sql);
  }
  StmtPtr stmt = NewStatement(mysql);
  if (mysql_stmt_prepare(stmt.get(), sql.data(), sql.size())) {
    // Statements the server cannot prepare are administrative ones with small results.
    if (mysql_stmt_errno(stmt.get()) == ER_UNSUPPORTED_PS && params.empty()) {
      stmt.reset();
      return StoredQuery(mysql, sql);
    }
    Fail(stmt.get());
  }

  unsigned long cursor_type = CURSOR_TYPE_READ_ONLY;
  unsigned long prefetch = kPrefetchRows;
  if (mysql_stmt_attr_set(stmt.get(), STMT_ATTR_CURSOR_TYPE, &cursor_type) ||
      mysql_stmt_attr_set(stmt.get(), STMT_ATTR_PREFETCH_ROWS, &prefetch)) {
    Fail(stmt.get());
  }
  BindParams(Open().params, stmt.get(), params);
  if (mysql_stmt_execute(stmt.get())) Fail(stmt.get());

  ResultPtr metadata(mysql_stmt_result_metadata(stmt.get()));
  if (!metadata) {
    if (mysql_stmt_errno(stmt.get()) != 0) Fail(stmt.get());
    DrainResults(stmt.get());
    return std::make_unique<RowsCursor>();
  }
  // The server opens cursors for plain SELECTs only; other statements (SHOW, CALL) send
  // their rows at once, which must be read before the connection takes anything else.
  unsigned int status = 0;
  mariadb_get_infov(mysql, MARIADB_CONNECTION_SERVER_STATUS, &status);
  bool more_results = false;
  if ((status & SERVER_STATUS_CURSOR_EXISTS) == 0) {
    if (mysql_stmt_store_result(stmt.get())) Fail(stmt.get());
    more_results = mysql_stmt_more_results(stmt.get());
  }
  auto cursor = std::make_unique<StatementCursor>(connection_, std::move(stmt), metadata.get());
  if (!more_results) return cursor;
  // A procedure's rows come with further results behind them, which hold the connection
  // until read; reading its rows to the end reads those too.
  return std::make_unique<RowsCursor>(*cursor);
}

std::vector<TableInfo> MariaDbDriver::ListTables() {
  Settle();
  std::unique_ptr<Cursor> rows = StoredQuery(Open().mysql, "SHOW FULL TABLES");
  std::vector<TableInfo> tables;
  while (rows->Next()) {
    const std::vector<DbValue>& row = rows->Row();
    if (row.size() < 2 || !row[0]) continue;
    std::string type = row[1].value_or("");
    if (type == "BASE TABLE") {
      type = "TABLE";
    } else if (type == "SYSTEM VIEW") {
      type = "SYSTEM TABLE";
    }
    tables.push_back({*row[0], std::move(type)});
  }
  return tables;
}

std::vector<ColumnInfo> MariaDbDriver::ListColumns(const std::string& table) {
  CheckFileName(table);
  Settle();
  std::unique_ptr<Cursor> rows = StoredQuery(Open().mysql, "SHOW COLUMNS FROM `" + table + "`");
  std::vector<ColumnInfo> columns;
  while (rows->Next()) {
    const std::vector<DbValue>& row = rows->Row();
    if (row.size() < 2 || !row[0]) continue;
    columns.push_back({*row[0], row[1].value_or("")});
  }
  return columns;
}

std::int64_t MariaDbDriver::ConnectionId() {
  if (!connection_) return 0;
  return static_cast<std::int64_t>(mysql_thread_id(connection_->mysql));
}

}  // namespace orvik
