#include "session_table.h"

#include <algorithm>
#include <charconv>

#include "layout.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

std::string Text(const DbValue& v) { return v.value_or(""); }

std::int64_t Number(const DbValue& v) {
  const std::string text = Text(v);
  std::int64_t n = 0;
  std::from_chars(text.data(), text.data() + text.size(), n);
  return n;
}

// What the judge reads of every row: its number, user, node, lease, beat and whether its mark
// is taken on the node the statement runs on.
std::string JudgedColumns(const Dialect& dialect) {
  return "Number, LoginUser, Node, Lease, Beat, " +
         dialect.SessionMarkUsed("CONCAT(LoginUser, '*', Number)");
}

}  // namespace

bool LeaseJudge::Expired(std::int64_t number, std::int64_t beat, int leaseSeconds) {
  const auto now = clock_();
  std::lock_guard lock(mutex_);
  const auto it = seen_.find(number);
  if (it == seen_.end() || it->second.beat != beat) {
    seen_[number] = Seen{beat, now};
    return false;
  }
  return now - it->second.since >= std::chrono::seconds(leaseSeconds);
}

void LeaseJudge::Forget(std::int64_t number) {
  std::lock_guard lock(mutex_);
  seen_.erase(number);
}

LeaseJudge& LeaseJudge::Shared() {
  static LeaseJudge judge;
  return judge;
}

std::optional<std::pair<std::string, std::int64_t>> SplitUserInst(const std::string& userInst) {
  const std::size_t star = userInst.rfind('*');
  if (star == std::string::npos || star == 0) return std::nullopt;
  const std::string_view digits = std::string_view(userInst).substr(star + 1);
  std::int64_t number = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number <= 0)
    return std::nullopt;
  return std::pair{userInst.substr(0, star), number};
}

SessionTable::SessionTable(const Dialect& dialect, LeaseJudge& judge)
    : dialect_(dialect),
      table_(dialect.SystemTableOf("sessions").table),
      ownView_(dialect.SystemTableOf("own_sessions").table),
      judge_(judge) {}

std::int64_t SessionTable::Add(Driver& dm, const std::string& user, const std::string& node,
                               int leaseSeconds, const std::string& privilege,
                               const SessionStatus& status) const {
  const DbValue row[] = {user,           node,         std::to_string(leaseSeconds),
                         status.account, privilege,    status.state,
                         status.action};
  dm.Execute("INSERT INTO " + table_ +
                 " (LoginUser, Node, Lease, Beat, Renewed, Account, Privilege, State, Action, "
                 "Changed) VALUES (?, ?, ?, 0, NOW(), ?, ?, ?, ?, NOW())",
             row);
  auto id = dm.Lookup("SELECT LAST_INSERT_ID()");
  if (!id->Next() || Number(id->Row()[0]) <= 0)
    throw VbError(dberr::kUnspecified, "The session was given no number");
  return Number(id->Row()[0]);
}

bool SessionTable::Renew(Driver& dm, std::int64_t number, const SessionStatus* status) const {
  if (status == nullptr) {
    const DbValue p{std::to_string(number)};
    return dm.Execute("UPDATE " + table_ + " SET Beat = Beat + 1, Renewed = NOW() WHERE Number = ?",
                      std::span<const DbValue>(&p, 1)) > 0;
  }
  const DbValue p[] = {status->account, status->state, status->action, std::to_string(number)};
  return dm.Execute("UPDATE " + table_ +
                        " SET Beat = Beat + 1, Renewed = NOW(), Account = ?, State = ?, "
                        "Action = ?, Changed = NOW() WHERE Number = ?",
                    p) > 0;
}

void SessionTable::Remove(Driver& dm, std::int64_t number) const {
  const DbValue p{std::to_string(number)};
  dm.Execute("DELETE FROM " + table_ + " WHERE Number = ?", std::span<const DbValue>(&p, 1));
  judge_.Forget(number);
}

std::vector<SessionLiveness> SessionTable::Judge(Driver& dm, const std::string& node,
                                                 std::optional<std::int64_t> number) const {
  struct Row {
    SessionLiveness seen;
    std::int64_t beat;
  };
  std::vector<Row> rows;
  {
    const DbValue p{number ? std::to_string(*number) : std::string()};
    auto cursor = number ? dm.Lookup("SELECT " + JudgedColumns(dialect_) + " FROM " + table_ +
                                         " WHERE Number = ?",
                                     std::span<const DbValue>(&p, 1))
                         : dm.Lookup("SELECT " + JudgedColumns(dialect_) + " FROM " + table_);
    while (cursor->Next()) {
      const auto& r = cursor->Row();
      Row row{{Number(r[0]), Text(r[1]), false}, Number(r[4])};
      // A session of this node is gone the moment its connection is, as its mark tells; it
      // takes the mark before its first beat, so a row not yet renewed is judged by its lease.
      if (Text(r[2]) == node && !node.empty() && row.beat > 0) {
        row.seen.gone = !r[5].has_value();
      } else {
        row.seen.gone = judge_.Expired(row.seen.number, row.beat, static_cast<int>(Number(r[3])));
      }
      rows.push_back(std::move(row));
    }
  }
  std::vector<SessionLiveness> out;
  for (Row& row : rows) {
    if (row.seen.gone) {
      // Only as it was seen: a session that renewed meanwhile is alive after all. (What was
      // seen of it stays: should the transaction this runs in be rolled back, the next look
      // finds it gone again at once.)
      const DbValue p[] = {std::to_string(row.seen.number), std::to_string(row.beat)};
      row.seen.gone = dm.Execute("DELETE FROM " + table_ + " WHERE Number = ? AND Beat = ?", p) > 0;
    }
    out.push_back(std::move(row.seen));
  }
  return out;
}

std::string SessionTable::List(Driver& dm, const std::string& node, bool all, std::int64_t own,
                               const SessionStatus& ownStatus) const {
  // A cluster's node applies what the others committed a moment after they did: it catches up
  // first, so that a session logged in through another node before LISTU was typed is listed.
  if (dm.Facts().cluster) dm.Query("SET STATEMENT wsrep_sync_wait=1 FOR SELECT 1");
  std::vector<std::int64_t> gone;
  for (const SessionLiveness& s : Judge(dm, node)) {
    if (s.gone) gone.push_back(s.number);
  }
  auto cursor = dm.Query("SELECT LoginUser, Number, Account, TIMESTAMPDIFF(SECOND, Changed, "
                         "NOW()), State, Action FROM " +
                         (all ? table_ : ownView_) + " ORDER BY Number");
  std::string list;
  while (cursor->Next()) {
    const auto& r = cursor->Row();
    if (std::find(gone.begin(), gone.end(), Number(r[1])) != gone.end()) continue;
    if (!list.empty()) list.push_back(kAttributeMark);
    const bool mine = Number(r[1]) == own;
    const std::string values[] = {Text(r[0]) + "*" + Text(r[1]),
                                  Text(r[1]),
                                  mine ? ownStatus.account : Text(r[2]),
                                  Text(r[3]),
                                  mine ? ownStatus.state : Text(r[4]),
                                  mine ? ownStatus.action : Text(r[5])};
    for (std::size_t i = 0; i < std::size(values); ++i) {
      if (i) list.push_back(kValueMark);
      list.append(values[i]);
    }
  }
  return list;
}

}  // namespace orvik
