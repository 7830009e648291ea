#include "bench_home.h"

#include <mysql.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "test_server_address.h"
#include "text.h"

namespace orvik::bench {

std::string Id(int k) { return std::string("ITEM").append(std::to_string(k)); }

std::string LockKey(const std::string& fileVariable, const std::string& id) {
  return fileVariable + kItemLockMark + id;
}

bool BenchHome::ServerKnown() {
  const char* dir = std::getenv("ORVIK_MARIADB_TEST_DIR");
  return dir != nullptr && *dir != '\0';
}

BenchHome::BenchHome(std::string dataStore, std::vector<CatalogEntry> catalog)
    : dataStore_(std::move(dataStore)) {
  const std::string tag = std::to_string(::getpid());
  home_ =
      (std::filesystem::temp_directory_path() / ("orvik-bench-" + dataStore_ + "-" + tag)).string();
  std::filesystem::remove_all(home_);
  std::filesystem::create_directories(home_);
  account_ = "bench_" + tag;
  user_ = dataStore_ == "MYSQL" ? "b" + tag : "bench";
  SetupOptions o;
  o.home = home_;
  o.dataStore = dataStore_;
  o.user = user_;
  o.password = password();
  o.accounts = {account_};
  for (CatalogEntry& entry : catalog) entry.account = account_;
  o.catalog = std::move(catalog);
  if (dataStore_ == "MYSQL") {
    const mariadb_test::ServerAddress server = mariadb_test::LoadServerAddress();
    std::ofstream(home_ + "/OrvikEngine.ini")
        << "[Global]\nDataStore=MYSQL\n[MySQL]\nServer=" << server.host << "\nPort=" << server.port
        << "\n";
    o.adminUser = server.user;
    o.adminPassword = server.password;
  }
  std::string error;
  if (!RunSetup(
          o, [](const std::string&) {}, &error))
    throw std::runtime_error("set-up failed: " + error);
  engine_ = Home::Open(home_);
  port_ = engine_->MakePort();
  Run("LOGIN " + user_ + " " + password());
  Run("USE " + account_);
}

BenchHome::~BenchHome() {
  port_.reset();
  std::filesystem::remove_all(home_);
}

void BenchHome::Run(std::string sentence) {
  const std::string answer = port_->ExecutePS(sentence);
  if (answer != "OK")
    throw std::runtime_error(sentence + ": " + answer + " " + port_->ErrorDetail());
}

void BenchHome::CreateFile(const std::string& table, int columns) {
  Run("CREATE-FILE " + table + " " + (columns > 0 ? std::to_string(columns) : "N"));
}

namespace {

std::string ColumnList(const Table& table) {
  std::string out = "A0";
  for (const std::string& c : table.columns) out += ", " + c;
  return out;
}

std::string Sets(const Table& table) {
  std::string out;
  for (const std::string& c : table.columns) out += (out.empty() ? "" : ", ") + c + " = ?";
  return out;
}

std::string Placeholders(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += i ? ", ?" : "?";
  return out;
}

// --- SQLite ------------------------------------------------------------------------------

class SqliteHand : public HandStore {
 public:
  explicit SqliteHand(const BenchHome& home) {
    account_ = OpenDb(home.home() + "/JetMDB/" + home.account() + ".db");
    // The engine's locks file, as the engine keeps it: its rows die with their holders, so
    // its commits do not wait for the disk.
    dm_ = OpenDb(home.home() + "/JetMDB/locks.db");
    sqlite3_exec(dm_, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
  }
  ~SqliteHand() override {
    for (auto& [sql, s] : statements_) sqlite3_finalize(s);
    sqlite3_close(account_);
    sqlite3_close(dm_);
  }

  void Load(const Table& table, int count, const std::function<Columns(int)>& make,
            const std::function<std::string(int)>& id) override {
    const int columns = static_cast<int>(table.columns.size());
    sqlite3_exec(account_, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = Statement(account_, "INSERT INTO " + table.name + " (" + ColumnList(table) +
                                              ") VALUES (" + Placeholders(columns + 1) + ")");
    for (int k = 0; k < count; ++k) {
      const std::string key = id ? id(k) : Id(k);
      const Columns values = make(k);
      Text(s, 1, key);
      for (int c = 0; c < columns; ++c) Text(s, c + 2, values[c]);
      Done(s);
    }
    sqlite3_exec(account_, "COMMIT", nullptr, nullptr, nullptr);
  }

  std::string Read(const Table& table, const std::string& id) override {
    sqlite3_stmt* s = Statement(account_, "SELECT * FROM " + table.name + " WHERE A0 = ?");
    Text(s, 1, id);
    std::string item;
    if (sqlite3_step(s) == SQLITE_ROW) {
      const int n = sqlite3_column_count(s);
      for (int c = 1; c < n; ++c) {
        if (c > 1) item.push_back(static_cast<char>(kAttributeMark));
        const auto* t = static_cast<const char*>(sqlite3_column_blob(s, c));
        item.append(t ? t : "", sqlite3_column_bytes(s, c));
      }
    }
    sqlite3_reset(s);
    return item;
  }

  void Write(const Table& table, const std::string& id, const Columns& values) override {
    sqlite3_stmt* s =
        Statement(account_, "UPDATE " + table.name + " SET " + Sets(table) + " WHERE A0 = ?");
    for (std::size_t c = 0; c < values.size(); ++c) Text(s, static_cast<int>(c) + 1, values[c]);
    Text(s, static_cast<int>(values.size()) + 1, id);
    Done(s);
  }

  std::string LockHolder(const std::string& key) override {
    sqlite3_stmt* s = Statement(dm_, "SELECT UserInst FROM locks WHERE A0 = ?");
    Text(s, 1, key);
    std::string owner;
    if (sqlite3_step(s) == SQLITE_ROW)
      owner = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_reset(s);
    return owner;
  }
  void TakeLock(const std::string& key, const std::string& owner) override {
    sqlite3_stmt* s = Statement(dm_, "INSERT INTO locks (A0, UserInst) VALUES (?, ?)");
    Text(s, 1, key);
    Text(s, 2, owner);
    Done(s);
  }
  void DropLock(const std::string& key, const std::string& owner) override {
    sqlite3_stmt* s = Statement(dm_, "DELETE FROM locks WHERE A0 = ? AND UserInst = ?");
    Text(s, 1, key);
    Text(s, 2, owner);
    Done(s);
  }

 private:
  static sqlite3* OpenDb(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    // Reads through SQLite's page cache, without a memory map, as the engine reads.
    sqlite3_exec(db, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
    return db;
  }
  sqlite3_stmt* Statement(sqlite3* db, const std::string& sql) {
    sqlite3_stmt*& s = statements_[sql];
    if (s == nullptr && sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s,
                                           nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db));
    return s;
  }
  static void Text(sqlite3_stmt* s, int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void Done(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(sqlite3_db_handle(s)));
  }

  sqlite3* account_ = nullptr;
  sqlite3* dm_ = nullptr;
  std::map<std::string, sqlite3_stmt*> statements_;
};

// --- MariaDB -----------------------------------------------------------------------------

// Bytes bound per result column: enough for the widest item the benchmarks read.
constexpr unsigned long kColumnBuffer = 64 * 1024;

class MariaHand : public HandStore {
 public:
  explicit MariaHand(const BenchHome& home) : db_(home.account()) {
    const mariadb_test::ServerAddress server = mariadb_test::LoadServerAddress();
    mysql_ = mysql_init(nullptr);
    mysql_optionsv(mysql_, MYSQL_SET_CHARSET_NAME, "latin1");
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    mysql_optionsv(mysql_, MYSQL_OPT_PROTOCOL, &protocol);
    // The same server, login and settings the engine connects with.
    if (mysql_real_connect(mysql_, server.host.c_str(), home.user().c_str(), BenchHome::password(),
                           db_.c_str(), static_cast<unsigned>(std::stoul(server.port)), nullptr,
                           CLIENT_FOUND_ROWS) == nullptr)
      throw std::runtime_error(mysql_error(mysql_));
    Run("SET SESSION sql_mode='NO_ENGINE_SUBSTITUTION'");
  }
  ~MariaHand() override {
    for (auto& [sql, s] : statements_) mysql_stmt_close(s);
    mysql_close(mysql_);
  }

  void Load(const Table& table, int count, const std::function<Columns(int)>& make,
            const std::function<std::string(int)>& id) override {
    const int columns = static_cast<int>(table.columns.size());
    Run("START TRANSACTION");
    MYSQL_STMT* s = Statement("INSERT INTO " + db_ + "." + table.name + " (" + ColumnList(table) +
                              ") VALUES (" + Placeholders(columns + 1) + ")");
    for (int k = 0; k < count; ++k) {
      Columns values{id ? id(k) : Id(k)};
      for (std::string& v : make(k)) values.push_back(std::move(v));
      Execute(s, values);
    }
    Run("COMMIT");
  }

  std::string Read(const Table& table, const std::string& id) override {
    MYSQL_STMT* s = Statement("SELECT * FROM " + db_ + "." + table.name + " WHERE A0 = ?");
    Execute(s, {id});
    const unsigned n = mysql_stmt_field_count(s);
    buffer_.resize(std::size_t{n} * kColumnBuffer);
    binds_.assign(n, MYSQL_BIND{});
    lengths_.assign(n, 0);
    nulls_.assign(n, 0);
    for (unsigned c = 0; c < n; ++c) {
      binds_[c].buffer_type = MYSQL_TYPE_STRING;
      binds_[c].buffer = buffer_.data() + std::size_t{c} * kColumnBuffer;
      binds_[c].buffer_length = kColumnBuffer;
      binds_[c].length = &lengths_[c];
      binds_[c].is_null = &nulls_[c];
    }
    mysql_stmt_bind_result(s, binds_.data());
    mysql_stmt_store_result(s);
    std::string item;
    if (mysql_stmt_fetch(s) == 0) {
      for (unsigned c = 1; c < n; ++c) {
        if (c > 1) item.push_back(static_cast<char>(kAttributeMark));
        if (!nulls_[c]) item.append(buffer_.data() + std::size_t{c} * kColumnBuffer, lengths_[c]);
      }
    }
    mysql_stmt_free_result(s);
    return item;
  }

  void Write(const Table& table, const std::string& id, const Columns& values) override {
    MYSQL_STMT* s =
        Statement("REPLACE INTO " + db_ + "." + table.name + " (" + ColumnList(table) +
                  ") VALUES (" + Placeholders(static_cast<int>(values.size()) + 1) + ")");
    Columns row{id};
    row.insert(row.end(), values.begin(), values.end());
    Execute(s, row);
  }

  std::string LockHolder(const std::string& key) override {
    MYSQL_STMT* s = Statement("SELECT UserInst FROM dm.locks WHERE A0 = ?");
    Execute(s, {key});
    char owner[256];
    unsigned long length = 0;
    my_bool isNull = 0;
    MYSQL_BIND bind{};
    bind.buffer_type = MYSQL_TYPE_STRING;
    bind.buffer = owner;
    bind.buffer_length = sizeof owner;
    bind.length = &length;
    bind.is_null = &isNull;
    mysql_stmt_bind_result(s, &bind);
    mysql_stmt_store_result(s);
    std::string out;
    if (mysql_stmt_fetch(s) == 0) out.assign(owner, std::min<unsigned long>(length, sizeof owner));
    mysql_stmt_free_result(s);
    return out;
  }
  void TakeLock(const std::string& key, const std::string& owner) override {
    Execute(Statement("INSERT INTO dm.locks (A0, UserInst) VALUES (?, ?)"), {key, owner});
  }
  // The one statement the engine sends: a lock row held by another session, committed or
  // still in its transaction, refuses the insert at once, and with it the write.
  bool PlainWrite(const Table& table, const std::string& id, const Columns& values,
                  const std::string& key, const std::string& owner, std::mutex*) override {
    MYSQL_STMT* s = Statement(
        "BEGIN NOT ATOMIC START TRANSACTION; SET STATEMENT innodb_lock_wait_timeout=0 FOR "
        "INSERT INTO dm.locks (A0, UserInst) VALUES (?, ?); REPLACE INTO " +
        db_ + "." + table.name + " (" + ColumnList(table) + ") VALUES (" +
        Placeholders(static_cast<int>(values.size()) + 1) +
        "); DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?; COMMIT; END");
    Columns row{key, owner, id};
    row.insert(row.end(), values.begin(), values.end());
    row.push_back(key);
    row.push_back(owner);
    try {
      Execute(s, row);
    } catch (const std::runtime_error&) {
      Run("ROLLBACK");
      return false;
    }
    return true;
  }
  void DropLock(const std::string& key, const std::string& owner) override {
    Execute(Statement("DELETE FROM dm.locks WHERE A0 = ? AND UserInst = ?"), {key, owner});
  }

 private:
  void Run(const std::string& sql) {
    if (mysql_real_query(mysql_, sql.data(), sql.size()))
      throw std::runtime_error(mysql_error(mysql_));
  }
  MYSQL_STMT* Statement(const std::string& sql) {
    MYSQL_STMT*& s = statements_[sql];
    if (s == nullptr) {
      s = mysql_stmt_init(mysql_);
      if (mysql_stmt_prepare(s, sql.data(), sql.size()))
        throw std::runtime_error(mysql_stmt_error(s));
    }
    return s;
  }
  void Execute(MYSQL_STMT* s, const Columns& values) {
    std::vector<MYSQL_BIND> binds(values.size());
    std::vector<unsigned long> lengths(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      lengths[i] = values[i].size();
      binds[i].buffer_type = MYSQL_TYPE_STRING;
      binds[i].buffer = const_cast<char*>(values[i].data());
      binds[i].buffer_length = values[i].size();
      binds[i].length = &lengths[i];
    }
    if (mysql_stmt_bind_param(s, binds.data()) || mysql_stmt_execute(s))
      throw std::runtime_error(mysql_stmt_error(s));
  }

  std::string db_;
  MYSQL* mysql_ = nullptr;
  std::map<std::string, MYSQL_STMT*> statements_;
  std::vector<char> buffer_;
  std::vector<MYSQL_BIND> binds_;
  std::vector<unsigned long> lengths_;
  std::vector<my_bool> nulls_;
};

}  // namespace

bool HandStore::PlainWrite(const Table& table, const std::string& id, const Columns& values,
                           const std::string& key, const std::string&, std::mutex* turn) {
  if (!LockHolder(key).empty()) return false;
  const std::unique_lock held = turn ? std::unique_lock(*turn) : std::unique_lock<std::mutex>();
  Write(table, id, values);
  return true;
}

std::unique_ptr<HandStore> HandStore::Open(const BenchHome& home) {
  if (home.dataStore() == "MYSQL") return std::make_unique<MariaHand>(home);
  return std::make_unique<SqliteHand>(home);
}

}  // namespace orvik::bench
