#include "odbc_driver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fake_tds_server.h"
#include "odbc_diagnostics.h"
#include "vb_error.h"

namespace orvik {
namespace {

using tds::Column;
using Type = tds::Column::Type;

// The number and description of the VbError `call` throws; number 0 when it throws none.
template <typename F>
std::pair<int, std::string> Failure(F call) {
  try {
    call();
  } catch (const VbError& e) {
    return {e.number(), e.description()};
  }
  return {0, ""};
}

// A listening socket that never answers, and a port where nothing listens.
class LocalSocket {
 public:
  explicit LocalSocket(bool listen) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (listen) ::listen(fd_, 4);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~LocalSocket() { ::close(fd_); }
  std::string port() const { return std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

ConnectParams ParamsFor(const std::string& port) {
  ConnectParams params;
  params.account = "SALES";
  params.server = "127.0.0.1";
  params.port = port;
  params.user = "orvik";
  params.password = "secret";
  return params;
}

// --- The connection string -------------------------------------------------------------

TEST(OdbcConnectionString, BracesEveryValueAndDefaultsThePort) {
  ConnectParams params;
  params.account = "SALES";
  params.server = "db.local";
  params.user = "sa";
  params.password = "pw";
  EXPECT_EQ(OdbcConnectionString(params),
            "DRIVER={FreeTDS};SERVER={db.local};PORT={1433};DATABASE={SALES};UID={sa};PWD={pw};"
            "TDS_Version={7.4};ClientCharset={ISO-8859-1};");
  params.port = "14330";
  params.server.clear();
  EXPECT_EQ(OdbcConnectionString(params, "/usr/lib/odbc/libtdsodbc.so"),
            "DRIVER={/usr/lib/odbc/libtdsodbc.so};SERVER={127.0.0.1};PORT={14330};"
            "DATABASE={SALES};UID={sa};PWD={pw};TDS_Version={7.4};ClientCharset={ISO-8859-1};");
}

// Reads a connection string the way the driver manager does: a braced value runs to the
// first "}" that is not doubled.
std::vector<std::pair<std::string, std::string>> ParseAsDriverManager(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t equals = text.find('=', at);
    if (equals == std::string_view::npos) break;
    std::string key(text.substr(at, equals - at));
    std::string value;
    at = equals + 1;
    if (at < text.size() && text[at] == '{') {
      for (++at; at < text.size(); ++at) {
        if (text[at] == '}') {
          if (at + 1 < text.size() && text[at + 1] == '}') {
            value.push_back('}');
            ++at;
            continue;
          }
          ++at;
          break;
        }
        value.push_back(text[at]);
      }
    } else {
      const std::size_t end = std::min(text.find(';', at), text.size());
      value = text.substr(at, end - at);
      at = end;
    }
    if (at < text.size() && text[at] == ';') ++at;
    pairs.emplace_back(std::move(key), std::move(value));
  }
  return pairs;
}

TEST(OdbcConnectionString, ValuesCannotAddAttributes) {
  ConnectParams params;
  params.account = "SALES";
  params.server = "db;PORT=1";
  params.user = "a;UID=b";
  params.password = "x};DRIVER={/tmp/evil.so};PWD={y=\"'}";
  const auto pairs = ParseAsDriverManager(OdbcConnectionString(params));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"DRIVER", "FreeTDS"},  {"SERVER", params.server},      {"PORT", "1433"},
      {"DATABASE", "SALES"},  {"UID", params.user},           {"PWD", params.password},
      {"TDS_Version", "7.4"}, {"ClientCharset", "ISO-8859-1"}};
  EXPECT_EQ(pairs, expected);
}

TEST(OdbcConnectionString, NamedInstanceGetsNoDefaultPort) {
  ConnectParams params;
  params.account = "SALES";
  params.server = "host\\SQLEXPRESS";
  EXPECT_EQ(OdbcConnectionString(params).find("PORT="), std::string::npos);
  params.port = "1500";
  EXPECT_NE(OdbcConnectionString(params).find("PORT={1500};"), std::string::npos);
}

TEST(OdbcDriverLibrary, IsFoundOnThisMachine) {
  const std::string library = FindFreeTdsLibrary();
  ASSERT_FALSE(library.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(library)) << library;
}

// --- Diagnostics -----------------------------------------------------------------------

TEST(OdbcDiagnostics, StatesMapToTheEngineNumbers) {
  auto number = [](std::vector<OdbcDiagnostic> records, int fallback) {
    return OdbcFailure(records, fallback).number();
  };
  constexpr int kCmd = dberr::kErrorsInCommand;
  EXPECT_EQ(number({{"42S02", 208, "Invalid object name 'T'."}}, kCmd), dberr::kNoSuchTable);
  EXPECT_EQ(number({{"23000", 2627, "Violation"}}, kCmd), dberr::kIntegrity);
  EXPECT_EQ(number({{"08S01", 20009, "Unable to connect"}}, kCmd), dberr::kUnspecified);
  EXPECT_EQ(number({{"28000", 18456, "Login failed"}}, kCmd), dberr::kUnspecified);
  EXPECT_EQ(number({{"HYT00", 0, "Timeout expired"}}, kCmd), dberr::kUnspecified);
  EXPECT_EQ(number({{"42000", 102, "Incorrect syntax near 'x'."}}, kCmd), kCmd);
  EXPECT_EQ(number({{"HY000", 0, "General error"}}, dberr::kUnspecified), dberr::kUnspecified);
  EXPECT_EQ(number({}, kCmd), kCmd);
}

TEST(OdbcDiagnostics, MissingDatabaseWinsAndWarningsAreSkipped) {
  const VbError login = OdbcFailure(
      {{"28000", 18456, "[FreeTDS][SQL Server]Login failed for user 'u'."},
       {"42000", 4060, "[FreeTDS][SQL Server]Cannot open database \"X\" requested by the login."}},
      dberr::kUnspecified);
  EXPECT_EQ(login.number(), dberr::kNoSuchDatabase);
  EXPECT_EQ(login.description(), "Cannot open database \"X\" requested by the login.");

  const VbError skipped = OdbcFailure(
      {{"01000", 5701, "Changed database context"}, {"23000", 547, "[FreeTDS][SQL Server]FK"}},
      dberr::kErrorsInCommand);
  EXPECT_EQ(skipped.number(), dberr::kIntegrity);
  EXPECT_EQ(skipped.description(), "FK");

  EXPECT_EQ(StripComponentTags("[unixODBC][Driver Manager]Can't open lib"), "Can't open lib");
  EXPECT_EQ(StripComponentTags("No tags [here]"), "No tags [here]");
}

// --- Connecting --------------------------------------------------------------------------

TEST(OdbcConnect, UnreachableServerFailsWithANumberedError) {
  std::string port;
  {
    LocalSocket closed(false);  // bound, not listening: refused
    port = closed.port();
    OdbcDriver driver(OdbcOptions{2});
    const auto start = std::chrono::steady_clock::now();
    const auto [number, description] = Failure([&] { driver.Connect(ParamsFor(port)); });
    EXPECT_EQ(number, dberr::kUnspecified);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(description.find("[FreeTDS]"), std::string::npos) << description;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(Failure([&] { driver.Execute("SELECT 1"); }).first, dberr::kUnspecified);
  }
}

TEST(OdbcConnect, SilentServerTimesOut) {
  LocalSocket silent(true);  // accepts connections into its backlog, never answers
  OdbcDriver driver(OdbcOptions{2});
  const auto start = std::chrono::steady_clock::now();
  const auto [number, description] = Failure([&] { driver.Connect(ParamsFor(silent.port())); });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(number, dberr::kUnspecified);
  EXPECT_FALSE(description.empty());
  EXPECT_GE(took, std::chrono::milliseconds(1500));
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(OdbcConnect, CredentialsArriveExactlyAsGiven) {
  tds::FakeServer server;
  OdbcDriver driver(OdbcOptions{5});
  ConnectParams params = ParamsFor(std::to_string(server.port()));
  params.user = " us;er=\"x\" ";
  params.password = "p{w;APP=evil;\xE4\xFC\xFE'";
  driver.Connect(params);
  EXPECT_TRUE(driver.IsOpen());
  EXPECT_EQ(driver.Kind(), "MSSQL");
  EXPECT_EQ(driver.CurrentDatabase(), "SALES");
  EXPECT_EQ(driver.ConnectionId(), 0);
  ASSERT_EQ(server.logins().size(), 1u);
  const tds::Login login = server.logins()[0];
  EXPECT_EQ(login.user, params.user);
  EXPECT_EQ(login.password, params.password);
  EXPECT_EQ(login.database, "SALES");
  EXPECT_EQ(login.app.find("evil"), std::string::npos);
}

TEST(OdbcConnect, BadValuesAreRefusedBeforeAnythingIsSent) {
  tds::FakeServer server;
  OdbcDriver driver(OdbcOptions{2});
  const std::string port = std::to_string(server.port());
  auto with = [&](auto change) {
    ConnectParams params = ParamsFor(port);
    change(params);
    return Failure([&] { driver.Connect(params); }).first;
  };
  EXPECT_EQ(with([](ConnectParams& p) { p.account = "SALES];DROP"; }), dberr::kBadName);
  EXPECT_EQ(with([](ConnectParams& p) { p.account = ""; }), dberr::kBadName);
  // FreeTDS would end the value at "};" and read the rest as attributes.
  EXPECT_EQ(with([](ConnectParams& p) { p.password = "a};APP={x"; }), dberr::kBadName);
  EXPECT_EQ(with([](ConnectParams& p) { p.user = "u}"; }), dberr::kBadName);
  EXPECT_EQ(with([](ConnectParams& p) { p.password = std::string("ab\0c", 4); }), dberr::kBadName);
  EXPECT_EQ(with([](ConnectParams& p) { p.server = "h};x"; }), dberr::kBadName);
  EXPECT_EQ(with([](ConnectParams& p) { p.port = "14x"; }), dberr::kBadName);
  EXPECT_EQ(with([](ConnectParams& p) { p.port = "70000"; }), dberr::kBadName);
  EXPECT_FALSE(driver.IsOpen());
  EXPECT_EQ(server.connections(), 0);
}

TEST(OdbcConnect, MissingDatabaseAndRefusedLogin) {
  tds::FakeServer server;
  OdbcDriver driver(OdbcOptions{5});
  const ConnectParams params = ParamsFor(std::to_string(server.port()));

  server.RefuseNextLogin(
      tds::Error(4060, "Cannot open database \"SALES\" requested by the login. The login failed.",
                 11) +
      tds::Error(18456, "Login failed for user 'orvik'.", 14) + tds::Done(0, false, true));
  auto [number, description] = Failure([&] { driver.Connect(params); });
  EXPECT_EQ(number, dberr::kNoSuchDatabase);
  EXPECT_EQ(description,
            "Cannot open database \"SALES\" requested by the login. The login failed.");
  EXPECT_FALSE(driver.IsOpen());

  server.RefuseNextLogin(tds::Error(18456, "Login failed for user 'orvik'.", 14) +
                         tds::Done(0, false, true));
  std::tie(number, description) = Failure([&] { driver.Connect(params); });
  EXPECT_EQ(number, dberr::kUnspecified);
  EXPECT_NE(description.find("Login failed"), std::string::npos) << description;

  driver.Connect(params);
  EXPECT_TRUE(driver.IsOpen());
}

// The driver's name is not registered, or registered with a library that is not there: the
// library found on disk is used instead. The driver manager reads ODBCSYSINI once per process,
// so each case connects in a fresh process of its own with the variable set beforehand.
class OdbcRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("orvik-odbcinst-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void ConnectsWith(const std::string& odbcinst_ini) {
    std::ofstream(folder_ / "odbcinst.ini") << odbcinst_ini;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
          ::setenv("ODBCSYSINI", folder_.c_str(), 1);
          try {
            tds::FakeServer server;
            OdbcDriver driver(OdbcOptions{5});
            driver.Connect(ParamsFor(std::to_string(server.port())));
            std::_Exit(driver.IsOpen() && server.logins().size() == 1 ? 0 : 1);
          } catch (const VbError& e) {
            std::fprintf(stderr, "%s\n", e.Message().c_str());
            std::_Exit(2);
          }
        },
        ::testing::ExitedWithCode(0), "");
  }

  std::filesystem::path folder_;
};

TEST_F(OdbcRegistration, UnregisteredNameUsesTheLibraryPath) { ConnectsWith(""); }

TEST_F(OdbcRegistration, RegisteredButMissingLibraryFallsBackToThePath) {
  ConnectsWith("[FreeTDS]\nDescription=gone\nDriver=/nonexistent/libtdsodbc.so\n");
}

// --- Statements --------------------------------------------------------------------------

class OdbcStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_.Connect(ParamsFor(std::to_string(server_.port())));
    ASSERT_TRUE(driver_.IsOpen());
  }

  std::size_t Requests() const { return server_.requests().size(); }
  std::string LastRequest() const { return server_.requests().back(); }

  tds::FakeServer server_;
  OdbcDriver driver_{OdbcOptions{5}};
};

TEST_F(OdbcStatementTest, ExecuteBindsValuesNullAndEmptyApart) {
  server_.Reply("UPDATE CUSTOMERS", tds::Done(3));
  const std::vector<DbValue> params = {std::string("h\xE9llo\xFE"), std::nullopt, std::string()};
  EXPECT_EQ(driver_.Execute("UPDATE CUSTOMERS SET NAME = ? WHERE A = ? OR B = ?", params), 3);

  const std::string request = LastRequest();
  EXPECT_NE(request.find(tds::Ucs2("UPDATE CUSTOMERS SET NAME = @P1 WHERE A = @P2 OR B = @P3")),
            std::string::npos);
  // Each varchar value: its length, then its bytes; NULL is the length 0xFFFF, and the
  // empty string a length of 0.
  EXPECT_NE(request.find(std::string("\x06\x00h\xE9llo\xFE", 8)), std::string::npos);
  const std::string collation("\x09\x04\xD0\x00\x34", 5);
  const std::string null_then_empty = std::string("\xA7\x01\x00", 3) + collation + "\xFF\xFF" +
                                      std::string("\x00\x00\xA7\x01\x00", 5) + collation +
                                      std::string("\x00\x00", 2);
  EXPECT_TRUE(request.ends_with(null_then_empty));
}

TEST_F(OdbcStatementTest, ExecuteSendsLongValuesWhole) {
  std::string long_value(20000, 'a');
  long_value[0] = '\xFC';
  long_value.back() = 'z';
  server_.Reply("INSERT INTO NOTES", tds::Done(1));
  EXPECT_EQ(driver_.Execute("INSERT INTO NOTES VALUES (?)", std::vector<DbValue>{long_value}), 1);
  EXPECT_NE(LastRequest().find(long_value), std::string::npos);
}

TEST_F(OdbcStatementTest, ExecuteCountsTheLastStatementOfABatch) {
  server_.Reply("UPDATE A", tds::Done(5, true) + tds::Done(2));
  EXPECT_EQ(driver_.Execute("UPDATE A SET X = 1; UPDATE B SET X = 1"), 2);
  // A trigger's own statements report their counts before the statement that fired it.
  server_.Reply("UPDATE T", tds::DoneInProc(3) + tds::DoneInProc(4) + tds::ProcEnd());
  EXPECT_EQ(driver_.Execute("UPDATE T SET X = 1"), 4);
  EXPECT_EQ(driver_.Execute("DELETE FROM T WHERE 1 = 0"), 0);

  const std::vector<Column> k = {{"K", Type::kInt}};
  server_.Reply("SELECT K",
                tds::Columns(k) + tds::Row(k, {"1"}) + tds::Row(k, {"2"}) + tds::Done(2));
  EXPECT_EQ(driver_.Execute("SELECT K FROM T"), 2);
}

TEST_F(OdbcStatementTest, QueryStreamsTextNullsAndLongValues) {
  const std::vector<Column> columns = {{"ID", Type::kInt},
                                       {"NAME", Type::kNVarChar, 40},
                                       {"CODE", Type::kVarChar, 10},
                                       {"BODY", Type::kNVarCharMax}};
  std::string body(150000, 'x');
  body[0] = '\xFC';
  body[70000] = '\xFD';
  body.back() = '\xFE';
  server_.Reply("SELECT ID", tds::Columns(columns) +
                                 tds::Row(columns, {"1", "M\xFCller", "\xFC\xFD\xFE", body}) +
                                 tds::Row(columns, {std::nullopt, "", std::nullopt, ""}) +
                                 tds::Done(2));
  auto cursor = driver_.Query("SELECT ID, NAME, CODE, BODY FROM T WHERE ID > ?",
                              std::vector<DbValue>{std::string("0")});
  EXPECT_EQ(cursor->FieldNames(), (std::vector<std::string>{"ID", "NAME", "CODE", "BODY"}));
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row(), (std::vector<DbValue>{std::string("1"), std::string("M\xFCller"),
                                                 std::string("\xFC\xFD\xFE"), body}));
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row(),
            (std::vector<DbValue>{std::nullopt, std::string(), std::nullopt, std::string()}));
  EXPECT_FALSE(cursor->Next());
  EXPECT_FALSE(cursor->Next());
}

TEST_F(OdbcStatementTest, QuerySkipsCountsBeforeTheRowsAndMayHaveNone) {
  const std::vector<Column> k = {{"K", Type::kInt}};
  server_.Reply("SET NOCOUNT",
                tds::Done(4, true) + tds::Columns(k) + tds::Row(k, {"5"}) + tds::Done(1));
  auto cursor = driver_.Query("SET NOCOUNT OFF; SELECT K FROM T");
  EXPECT_EQ(cursor->FieldNames(), std::vector<std::string>{"K"});
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row()[0], "5");

  auto none = driver_.Query("UPDATE T SET K = 1");
  EXPECT_TRUE(none->FieldNames().empty());
  EXPECT_FALSE(none->Next());
}

TEST_F(OdbcStatementTest, CursorsInterleaveWithOtherStatements) {
  const std::vector<Column> k = {{"K", Type::kInt}};
  server_.Reply("FROM A", tds::Columns(k) + tds::Row(k, {"1"}) + tds::Row(k, {"2"}) +
                              tds::Row(k, {"3"}) + tds::Done(3));
  server_.Reply("FROM B",
                tds::Columns(k) + tds::Row(k, {"10"}) + tds::Row(k, {"20"}) + tds::Done(2));
  server_.Reply("UPDATE C", tds::Done(7));
  server_.Reply("UPDATE C", tds::Done(8));

  auto a = driver_.Query("SELECT K FROM A");
  ASSERT_TRUE(a->Next());
  auto b = driver_.Query("SELECT K FROM B");
  std::vector<std::string> seen;
  std::vector<std::int64_t> counts;
  while (b->Next()) {
    seen.push_back(*b->Row()[0]);
    counts.push_back(driver_.Execute("UPDATE C SET K = ?", b->Row()));
  }
  while (a->Next()) seen.push_back(*a->Row()[0]);
  EXPECT_EQ(seen, (std::vector<std::string>{"10", "20", "2", "3"}));
  EXPECT_EQ(counts, (std::vector<std::int64_t>{7, 8}));

  // A cursor dropped halfway frees the connection.
  server_.Reply("FROM D", tds::Columns(k) + tds::Row(k, {"1"}) + tds::Row(k, {"2"}) + tds::Done(2));
  driver_.Query("SELECT K FROM D")->Next();
  server_.Reply("UPDATE E", tds::Done(9));
  EXPECT_EQ(driver_.Execute("UPDATE E SET K = 1"), 9);
}

TEST(OdbcCursor, OutlivesItsDriver) {
  tds::FakeServer server;
  const std::vector<Column> k = {{"K", Type::kInt}};
  server.Reply("FROM A", tds::Columns(k) + tds::Row(k, {"1"}) + tds::Row(k, {"2"}) + tds::Done(2));
  auto driver = std::make_unique<OdbcDriver>(OdbcOptions{5});
  driver->Connect(ParamsFor(std::to_string(server.port())));
  auto cursor = driver->Query("SELECT K FROM A");
  driver.reset();
  ASSERT_TRUE(cursor->Next());
  ASSERT_TRUE(cursor->Next());
  EXPECT_EQ(cursor->Row()[0], "2");
  EXPECT_FALSE(cursor->Next());
}

TEST_F(OdbcStatementTest, ServerErrorsMapToEngineNumbers) {
  server_.Reply("FROM NOPE",
                tds::Error(208, "Invalid object name 'NOPE'.") + tds::Done(0, false, true));
  auto [number, description] = Failure([&] { driver_.Query("SELECT * FROM NOPE"); });
  EXPECT_EQ(number, dberr::kNoSuchTable);
  EXPECT_EQ(description, "Invalid object name 'NOPE'.");

  server_.Reply("INSERT", tds::Error(2627, "Violation of PRIMARY KEY constraint 'PK_T'.", 14) +
                              tds::Error(3621, "The statement has been terminated.", 0) +
                              tds::Done(0, false, true));
  std::tie(number, description) = Failure([&] { driver_.Execute("INSERT INTO T VALUES (1)"); });
  EXPECT_EQ(number, dberr::kIntegrity);
  EXPECT_EQ(description, "Violation of PRIMARY KEY constraint 'PK_T'.");

  server_.Reply("SELEC ",
                tds::Error(102, "Incorrect syntax near 'SELEC'.", 15) + tds::Done(0, false, true));
  EXPECT_EQ(Failure([&] { driver_.Execute("SELEC 1"); }).first, dberr::kErrorsInCommand);

  // A failure after some rows comes from Next, after those rows.
  const std::vector<Column> k = {{"K", Type::kInt}};
  server_.Reply("1 / K", tds::Columns(k) + tds::Row(k, {"1"}) +
                             tds::Error(8134, "Divide by zero error encountered.") +
                             tds::Done(1, false, true));
  auto cursor = driver_.Query("SELECT 1 / K FROM T");
  ASSERT_TRUE(cursor->Next());
  std::tie(number, description) = Failure([&] { cursor->Next(); });
  EXPECT_EQ(number, dberr::kErrorsInCommand);
  EXPECT_EQ(description, "Divide by zero error encountered.");

  // The connection is still usable.
  server_.Reply("UPDATE", tds::Done(1));
  EXPECT_EQ(driver_.Execute("UPDATE T SET K = 1"), 1);
}

TEST_F(OdbcStatementTest, FailureOfABufferedCursorStaysWithThatCursor) {
  const std::vector<Column> k = {{"K", Type::kInt}};
  server_.Reply("FROM A", tds::Columns(k) + tds::Row(k, {"1"}) + tds::Row(k, {"2"}) +
                              tds::Error(8134, "Divide by zero error encountered.") +
                              tds::Done(2, false, true));
  auto a = driver_.Query("SELECT 1 / K FROM A");
  ASSERT_TRUE(a->Next());
  server_.Reply("UPDATE", tds::Done(4));
  EXPECT_EQ(driver_.Execute("UPDATE B SET K = 1"), 4);
  ASSERT_TRUE(a->Next());
  EXPECT_EQ(a->Row()[0], "2");
  EXPECT_EQ(Failure([&] { a->Next(); }).first, dberr::kErrorsInCommand);
  EXPECT_FALSE(a->Next());
}

TEST_F(OdbcStatementTest, UseDatabaseMovesOnlyWhenTheServerAgrees) {
  server_.Reply("USE", tds::DatabaseChanged("ARCHIVE", "SALES") + tds::Done(0));
  driver_.UseDatabase("ARCHIVE");
  EXPECT_EQ(driver_.CurrentDatabase(), "ARCHIVE");
  EXPECT_NE(LastRequest().find(tds::Ucs2("ARCHIVE")), std::string::npos);

  server_.Reply("USE",
                tds::Error(911, "Database 'NOPE' does not exist.") + tds::Done(0, false, true));
  EXPECT_EQ(Failure([&] { driver_.UseDatabase("NOPE"); }).first, dberr::kNoSuchDatabase);
  EXPECT_EQ(driver_.CurrentDatabase(), "ARCHIVE");

  const std::size_t before = Requests();
  EXPECT_EQ(Failure([&] { driver_.UseDatabase("X];DROP DATABASE Y--"); }).first, dberr::kBadName);
  EXPECT_EQ(Failure([&] { driver_.ListColumns("T;DROP"); }).first, dberr::kBadName);
  EXPECT_EQ(Requests(), before);
}

TEST_F(OdbcStatementTest, ListsTablesAndColumns) {
  const std::vector<Column> tables = {
      {"TABLE_QUALIFIER"}, {"TABLE_OWNER"}, {"TABLE_NAME"}, {"TABLE_TYPE"}, {"REMARKS"}};
  server_.Reply("sp_tables",
                tds::Columns(tables) +
                    tds::Row(tables, {"SALES", "dbo", "CUSTOMERS", "TABLE", std::nullopt}) +
                    tds::Row(tables, {"SALES", "dbo", "OPEN_ORDERS", "VIEW", std::nullopt}) +
                    tds::Row(tables, {"SALES", "sys", "objects", "SYSTEM TABLE", std::nullopt}) +
                    tds::Done(3));
  const auto listed = driver_.ListTables();
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].name, "CUSTOMERS");
  EXPECT_EQ(listed[0].type, "TABLE");
  EXPECT_EQ(listed[1].type, "VIEW");
  EXPECT_EQ(listed[2].name, "sys.objects");
  EXPECT_EQ(listed[2].type, "SYSTEM TABLE");

  const std::vector<Column> columns = {{"TABLE_QUALIFIER"},
                                       {"TABLE_OWNER"},
                                       {"TABLE_NAME"},
                                       {"COLUMN_NAME"},
                                       {"DATA_TYPE", Type::kSmallInt},
                                       {"TYPE_NAME"},
                                       {"PRECISION", Type::kInt},
                                       {"LENGTH", Type::kInt},
                                       {"SCALE", Type::kSmallInt}};
  // "_" is a wildcard to the server: rows of AXB and of another schema come back too.
  server_.Reply(
      "sp_columns",
      tds::Columns(columns) +
          tds::Row(columns, {"S", "dbo", "A_B", "K", "12", "varchar", "25", "25", std::nullopt}) +
          tds::Row(columns, {"S", "dbo", "A_B", "P", "3", "decimal", "10", "12", "2"}) +
          tds::Row(columns, {"S", "dbo", "AXB", "Z", "4", "int", "10", "4", "0"}) +
          tds::Row(columns, {"S", "dbo", "A_B", "M", "-9", "nvarchar", "0", "0", std::nullopt}) +
          tds::Row(columns, {"S", "dbo", "A_B", "N", "4", "int", "10", "4", "0"}) +
          tds::Row(columns, {"S", "hr", "A_B", "Q", "4", "int", "10", "4", "0"}) + tds::Done(6));
  const auto described = driver_.ListColumns("A_B");
  ASSERT_EQ(described.size(), 4u);
  EXPECT_EQ(described[0].name, "K");
  EXPECT_EQ(described[0].type, "varchar(25)");
  EXPECT_EQ(described[1].type, "decimal(10,2)");
  EXPECT_EQ(described[2].type, "nvarchar(max)");
  EXPECT_EQ(described[3].type, "int");

  server_.Reply("sp_columns",
                tds::Columns(columns) +
                    tds::Row(columns, {"S", "hr", "A_B", "Q", "4", "int", "10", "4", "0"}) +
                    tds::Done(1));
  const auto qualified = driver_.ListColumns("hr.A_B");
  ASSERT_EQ(qualified.size(), 1u);
  EXPECT_EQ(qualified[0].name, "Q");
  EXPECT_NE(LastRequest().find(tds::Ucs2("hr")), std::string::npos);
}

}  // namespace
}  // namespace orvik
