// Login validation, the session's identity and the list of logged-in ports.

#include <chrono>
#include <ctime>

#include "layout.h"
#include "password_hash.h"
#include "port.h"
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

}  // namespace

bool Port::ValidateLogin() {
  const std::string user = EscapeSqlText(settings_.dataStore, loginUser_);
  std::shared_ptr<Recordset> rs;
  if (!RsOOpen("select * from users where A0 = '" + user + "';", rs) &&
      !RsOOpen("select * from users where ItemID = '" + user + "';", rs)) {
    return false;
  }
  // A refusal always says why, never what an earlier call left behind.
  const std::string refused = "[915] User name or password not accepted";
  if (rs->AtEOF()) {
    errorDetail_ = refused;
    return false;
  }
  userRow_.clear();
  for (int i = 0; i < rs->FieldCount(); ++i) userRow_.push_back(Text(rs->Value(i)));
  const std::string keyColumn = rs->FieldCount() > 0 ? rs->FieldName(0) : std::string();
  const std::string passwordColumn = rs->FieldCount() > 7 ? rs->FieldName(7) : std::string();
  rs->Close();

  const std::string& kind = settings_.dataStore;
  bool identified = false;
  if (kind == "JET") {
    const std::string stored = userRow_.size() > 7 ? userRow_[7] : std::string();
    const PasswordCheck check = CheckPassword(loginPassword_, stored);
    if (check == PasswordCheck::kWrong) {
      errorDetail_ = refused;
      return false;
    }
    if (check == PasswordCheck::kMatchesStoredClear)
      StorePasswordHash(keyColumn, passwordColumn, stored);
    identified = RegisterLogin();
  } else if (kind == "MSSQL") {
    auto cursor = connection_->Query("SELECT @@SPID");
    if (!cursor->Next()) return false;
    userInst_ = loginUser_ + "*" + Text(cursor->Row()[0]);
    identified = true;
  } else if (kind == "MYSQL") {
    identified = ConIDMySQL();
  }
  if (!identified) return false;
  // Other ports tell by this mark that the session's locks are not stale.
  try {
    MarkSessionAlive();
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    userInst_.clear();
    return false;
  }
  RemoveStaleLocks();
  return true;
}

void Port::StorePasswordHash(const std::string& keyColumn, const std::string& passwordColumn,
                             const std::string& clear) {
  // Column names come from the table itself; anything but a plain name stays as it is.
  if (!IsPlainIdentifier(keyColumn) || !IsPlainIdentifier(passwordColumn) || !connection_) return;
  try {
    std::string hash = HashPassword(loginPassword_);
    // Only the value that was read is replaced: a password changed meanwhile is kept.
    const DbValue values[] = {hash, loginUser_, clear};
    if (connection_->Execute("UPDATE users SET " + passwordColumn + " = ? WHERE " + keyColumn +
                                 " = ? AND " + passwordColumn + " = ?",
                             values) > 0 &&
        userRow_.size() > 7) {
      userRow_[7] = std::move(hash);
    }
  } catch (...) {
    // The login stands; the password is hashed at a later one.
  }
}

bool Port::RegisterLogin() {
  try {
    registry_ = std::make_unique<UserRegistry>(home_);
    registry_->PruneDead();
    const std::string line = account_ + kValueMark + (userRow_.size() > 8 ? userRow_[8] : "") +
                             kValueMark + msState() + kValueMark + "Login " + LoginStamp();
    connectionId_ = registry_->RegisterLine(line);
    userInst_ = loginUser_ + "*" + std::to_string(connectionId_);
    return true;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return false;
  }
}

bool Port::ConIDMySQL() {
  try {
    auto cursor = connection_->Query("SELECT connection_id()");
    if (cursor->Next()) {
      connectionId_ = static_cast<std::int32_t>(std::stol(Text(cursor->Row()[0])));
      userInst_ = loginUser_ + "*" + std::to_string(connectionId_);
      return true;
    }
  } catch (...) {
  }
  try {
    std::shared_ptr<Recordset> rs;
    if (!RsOOpen("show processlist", rs)) return false;
    while (!rs->AtEOF()) {
      rs->Find("Time = 0");
      if (rs->AtEOF()) return false;
      if (Text(rs->Value("User")) == loginUser_ &&
          LowerCase(Text(rs->Value("Info"))) == "show processlist") {
        connectionId_ = static_cast<std::int32_t>(std::stol(Text(rs->Value("Id"))));
        userInst_ = loginUser_ + "*" + std::to_string(connectionId_);
        return true;
      }
      rs->MoveNext();
    }
    return false;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage() + " in ConIDMySQL";
    return false;
  }
}

void Port::UpdateUserRegistry(std::string& line) {
  if (line.size() > kStatusLineLength) line.resize(kStatusLineLength);
  if (settings_.dataStore == "JET" && registry_) registry_->UpdateLine(connectionId_, line);
}

std::string Port::ListProcesses() {
  try {
    const std::string& kind = settings_.dataStore;
    if (kind == "JET") {
      if (!registry_) throw VbError(vberr::kObjectVariableNotSet);
      return registry_->ListLines();
    }
    std::shared_ptr<Recordset> rs;
    const bool mysql = kind == "MYSQL";
    if (!RsOOpen(mysql ? "SHOW PROCESSLIST" : "sp_who", rs)) return {};
    std::string out;
    bool first = true;
    while (!rs->AtEOF()) {
      if (!first) out.push_back(kAttributeMark);
      first = false;
      const auto field = [&](const char* name) { return Text(rs->Value(name)); };
      std::vector<std::string> values =
          mysql ? std::vector<std::string>{field("User") + "*" + field("Id"),
                                           field("Id"),
                                           field("db"),
                                           field("Time"),
                                           field("Command"),
                                           field("Info")}
                : std::vector<std::string>{field("loginame") + "*" + field("spid"),
                                           field("spid"),
                                           field("dbname"),
                                           "",
                                           field("Status"),
                                           field("cmd")};
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out.push_back(kValueMark);
        out += values[i];
      }
      rs->MoveNext();
    }
    return out;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return {};
  }
}

}  // namespace orvik
