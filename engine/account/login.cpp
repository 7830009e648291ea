#include "login.h"

#include <climits>
#include <cstdio>
#include <ctime>
#include <optional>
#include <utility>

#include "numbers.h"
#include "password_hash.h"
#include "session_table.h"
#include "text.h"
#include "user_registry.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::size_t kStatusLineLength = 60;

std::string LoginStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02d %s %04d %02d:%02d:%02d", local.tm_mday,
                kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                local.tm_sec);
  return buf;
}

std::string Text(const DbValue& v) { return v ? *v : std::string(); }

// A transaction on a connection, once begun rolled back unless committed.
class RowTransaction {
 public:
  RowTransaction() = default;
  ~RowTransaction() { Rollback(); }
  RowTransaction(const RowTransaction&) = delete;
  RowTransaction& operator=(const RowTransaction&) = delete;
  void Begin(Driver& driver) {
    driver.Begin();
    driver_ = &driver;
  }
  void Commit() {
    if (driver_ != nullptr) std::exchange(driver_, nullptr)->Commit();
  }
  void Rollback() {
    if (driver_ != nullptr) std::exchange(driver_, nullptr)->RollbackQuietly();
  }

 private:
  Driver* driver_ = nullptr;
};

// A refusal always says why, never what an earlier call left behind.
Status Refusal() {
  return Status::Error(dberr::kLoginRefused, "User name or password not accepted");
}

}  // namespace

Login::Login(AccountConnection& account, LockTable& locks, std::shared_ptr<UserRegistry> registry)
    : account_(account), locks_(locks), registry_(std::move(registry)) {
  account_.SetNewConnectionHook([this](int waitSeconds) {
    if (!userInst_.empty()) locks_.MarkSessionAlive(waitSeconds);
  });
}

Login::~Login() {
  account_.SetNewConnectionHook({});
  EndSession();
  if (!registered_) return;
  try {
    registry_->RemoveLine(connectionId_);
  } catch (...) {
    // A registry that cannot be written now drops the line when the next port registers
    // (PruneDead): this process is gone by then.
  }
}

std::string Login::Column(std::size_t column) const {
  return column < userRow_.size() ? userRow_[column] : std::string();
}

bool Login::IsAdministrator() const { return Val(Privilege()) >= 3; }

void Login::SetUserInst(std::string userInst) {
  userInst_ = std::move(userInst);
  locks_.SetHolder(userInst_, registered_ ? registry_.get() : nullptr);
}

void Login::EndSession() {
  locks_.SetLeaseCheck({});
  lease_.reset();
  if (sessionRow_ == 0) return;
  const std::int64_t row = std::exchange(sessionRow_, 0);
  try {
    SessionTable(account_.dialect()).Remove(account_.Required(), row);
  } catch (...) {
    // A row that cannot be removed now (its node is gone) is judged gone by its lease.
  }
}

Status Login::Validate(std::string_view sessionState) {
  EndSession();
  const Dialect& dialect = account_.dialect();
  const std::string user = dialect.QuotedText(account_.LoginUser());
  std::shared_ptr<Recordset> rs;
  // The user's row, read whole: a login keeps nothing open.
  Status opened =
      account_.OpenRecordset("select * from users where A0 = '" + user + "';", rs, true);
  if (!opened.ok())
    opened =
        account_.OpenRecordset("select * from users where ItemID = '" + user + "';", rs, true);
  if (!opened.ok()) return opened;
  if (rs->AtEOF()) return Refusal();
  userRow_.clear();
  for (int i = 0; i < rs->FieldCount(); ++i) userRow_.push_back(Text(rs->Value(i)));
  const std::string keyColumn = rs->FieldCount() > 0 ? rs->FieldName(0) : std::string();
  const std::string passwordColumn = rs->FieldCount() > 7 ? rs->FieldName(7) : std::string();
  rs->Close();

  Status identified = Status::Refused();
  // The session's new row, its mark and its first beat are written as one: a single durable
  // write for the login to wait on, not two, and nobody sees the row before its mark is taken.
  RowTransaction newRow;
  switch (dialect.Numbering()) {
    case SessionNumbering::kRegistry: {
      const std::string stored = Column(7);
      const PasswordCheck check = CheckPassword(account_.LoginPassword(), stored);
      if (check == PasswordCheck::kWrong) return Refusal();
      if (check != PasswordCheck::kMatches)
        StorePasswordHash(keyColumn, passwordColumn, stored);
      identified = Register(sessionState);
      break;
    }
    case SessionNumbering::kServerSpid: {
      auto cursor = account_.Required().Query(dialect.SessionNumberQuery());
      if (!cursor->Next()) return Status::Refused();
      SetUserInst(account_.LoginUser() + "*" + Text(cursor->Row()[0]));
      identified = Status::Ok();
      break;
    }
    case SessionNumbering::kConnectionId:
      identified = NumberByConnection();
      break;
    case SessionNumbering::kSessionTable:
      if (Driver& dm = account_.Required(); dm.RunsTransactions() && !dm.Facts().readOnly)
        newRow.Begin(dm);
      identified = NumberBySessionTable(sessionState);
      break;
    case SessionNumbering::kNone:
      break;
  }
  if (!identified.ok()) return identified;
  // Other ports tell by this mark that the session's locks are not stale. Its first renewal
  // comes after the mark: the others judge a renewed row of their own node by its mark.
  bool renewed = false;
  try {
    locks_.MarkSessionAlive();
    renewed = sessionRow_ > 0 && FirstBeat();
    newRow.Commit();
  } catch (...) {
    const Status failed = Status::OfCurrentException();
    newRow.Rollback();
    EndSession();
    SetUserInst({});
    return failed;
  }
  if (sessionRow_ > 0) StartLease(renewed);
  locks_.RemoveStaleLocks();
  return Status::Ok();
}

Status Login::NumberBySessionTable(std::string_view sessionState) {
  Driver& dm = account_.Required();
  const ServerFacts& facts = dm.Facts();
  // A replica's sessions can write nothing, and so take no locks.
  if (facts.readOnly) return NumberByConnection();
  const std::string& user = account_.LoginUser();
  std::int64_t number = 0;
  status_ = SessionStatus{account_.Account(), std::string(sessionState), "Login " + LoginStamp()};
  try {
    number = SessionTable(account_.dialect())
                 .Add(dm, user, facts.node, account_.Settings().sessionLease, Privilege(), status_);
  } catch (const VbError& e) {
    // A home set up before the sessions table was.
    if (e.number() == dberr::kNoSuchTable) return NumberByConnection();
    return Status::OfCurrentException();
  }
  sessionRow_ = number;
  if (number > INT32_MAX) {
    EndSession();
    return Status::Error(dberr::kUnspecified, "The sessions table has run out of numbers");
  }
  connectionId_ = static_cast<std::int32_t>(number);
  SetUserInst(user + "*" + std::to_string(number));
  // The session's row names this node: the session stays on it.
  account_.PinServer(facts.reached);
  return Status::Ok();
}

bool Login::FirstBeat() {
  try {
    return SessionTable(account_.dialect()).Renew(account_.Required(), sessionRow_, nullptr);
  } catch (...) {
    return false;  // the lease's own connection renews at once instead
  }
}

void Login::StartLease(bool renewed) {
  const int seconds = account_.Settings().sessionLease;
  lease_ = std::make_unique<SessionLease>(
      account_.SideConnector(SessionLease::ConnectionTimeout(seconds)),
      SessionTable(account_.dialect()), sessionRow_, seconds,
      [this] {
        if (lost_) lost_();
      },
      renewed);
  locks_.SetLeaseCheck([lease = lease_.get()] { return lease->Held(); });
}

void Login::StorePasswordHash(const std::string& keyColumn, const std::string& passwordColumn,
                              const std::string& held) {
  // Column names come from the table itself; anything but a plain name stays as it is.
  const std::shared_ptr<Driver>& connection = account_.Connection();
  if (!IsPlainIdentifier(keyColumn) || !IsPlainIdentifier(passwordColumn) || !connection) return;
  try {
    std::string hash = HashPassword(account_.LoginPassword());
    // Only the value that was read is replaced: a password changed meanwhile is kept.
    const DbValue values[] = {hash, account_.LoginUser(), held};
    if (connection->Execute("UPDATE users SET " + passwordColumn + " = ? WHERE " + keyColumn +
                                " = ? AND " + passwordColumn + " = ?",
                            values) > 0 &&
        userRow_.size() > 7) {
      userRow_[7] = std::move(hash);
    }
  } catch (...) {
    // The login stands; the password is hashed at a later one.
  }
}

Status Login::Register(std::string_view sessionState) {
  try {
    // A session that logs in again is one line still: the one of its earlier login goes.
    if (registered_) {
      registered_ = false;
      registry_->RemoveLine(connectionId_);
    }
    registry_->PruneDead();
    const std::string line = account_.Account() + kValueMark + Privilege() + kValueMark +
                             std::string(sessionState) + kValueMark + "Login " + LoginStamp();
    connectionId_ = registry_->RegisterLine(line);
    registered_ = true;
    SetUserInst(account_.LoginUser() + "*" + std::to_string(connectionId_));
    return Status::Ok();
  } catch (...) {
    return Status::OfCurrentException();
  }
}

Status Login::NumberByConnection() {
  const std::string& user = account_.LoginUser();
  try {
    auto cursor = account_.Required().Query(account_.dialect().SessionNumberQuery());
    if (cursor->Next()) {
      connectionId_ = static_cast<std::int32_t>(std::stol(Text(cursor->Row()[0])));
      SetUserInst(user + "*" + std::to_string(connectionId_));
      return Status::Ok();
    }
  } catch (...) {
    // A server without the function: the session finds its own line in the process list.
  }
  try {
    std::shared_ptr<Recordset> rs;
    const std::string search = account_.dialect().SessionSearchQuery();
    if (const Status opened = account_.OpenRecordset(search, rs); !opened.ok()) return opened;
    while (!rs->AtEOF()) {
      rs->Find("Time = 0");
      if (rs->AtEOF()) return Status::Refused();
      if (Text(rs->Value("User")) == user && LowerCase(Text(rs->Value("Info"))) == search) {
        connectionId_ = static_cast<std::int32_t>(std::stol(Text(rs->Value("Id"))));
        SetUserInst(user + "*" + std::to_string(connectionId_));
        return Status::Ok();
      }
      rs->MoveNext();
    }
    return Status::Refused();
  } catch (...) {
    return Status::OfCurrentException().With(" in ConIDMySQL");
  }
}

void Login::UpdateRegistry(std::string& line) {
  if (line.size() > kStatusLineLength) line.resize(kStatusLineLength);
  if (registered_) registry_->UpdateLine(connectionId_, line);
  if (lease_) {
    std::vector<std::string> f = SplitAt(line, kValueMark);
    f.resize(6);
    status_ = SessionStatus{f[2], f[4], f[5]};
    lease_->SetStatus(status_);
  }
}

Status Login::ListProcesses(std::string* list) {
  list->clear();
  try {
    // A port without a datastore has no sessions to list: it fails as any statement would.
    if (!account_.dialect().ReachesDatastore()) account_.Required();
    if (sessionRow_ > 0) {
      Driver& dm = account_.Required();
      *list = SessionTable(account_.dialect())
                  .List(dm, dm.Facts().node, IsAdministrator(), sessionRow_, status_);
      return Status::Ok();
    }
    const std::optional<ProcessListing> listing = account_.dialect().ProcessList();
    if (!listing) {
      if (!registered_) throw VbError(vberr::kObjectVariableNotSet);
      *list = registry_->ListLines();
      return Status::Ok();
    }
    std::shared_ptr<Recordset> rs;
    if (const Status opened = account_.OpenRecordset(listing->query, rs); !opened.ok())
      return opened;
    bool first = true;
    while (!rs->AtEOF()) {
      if (!first) list->push_back(kAttributeMark);
      first = false;
      const auto field = [&](const std::string& name) {
        return name.empty() ? std::string() : Text(rs->Value(name));
      };
      const std::string values[] = {field(listing->user) + "*" + field(listing->id),
                                    field(listing->id),
                                    field(listing->account),
                                    field(listing->time),
                                    field(listing->state),
                                    field(listing->action)};
      for (std::size_t i = 0; i < std::size(values); ++i) {
        if (i) list->push_back(kValueMark);
        list->append(values[i]);
      }
      rs->MoveNext();
    }
    return Status::Ok();
  } catch (...) {
    list->clear();
    return Status::OfCurrentException();
  }
}

std::string Login::ListTimeTitle() const {
  const std::optional<ProcessListing> listing = account_.dialect().ProcessList();
  return listing ? listing->timeTitle : "Priv   ";
}

}  // namespace orvik
