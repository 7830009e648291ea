#include "dialect.h"

#include "layout.h"

namespace orvik {

std::string Dialect::QuotedText(std::string_view text) const {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out;
}

std::string Dialect::QuotedName(std::string_view name) const {
  const char quote = NameQuote();
  std::string out(1, quote);
  for (char c : name) {
    if (c == quote) out.push_back(quote);
    out.push_back(c);
  }
  return out + quote;
}

std::string Dialect::FirstCharacter(std::string_view column) const {
  return "LEFT(" + std::string(column) + ",1)";
}

bool Dialect::KeyMayMeetTwin(std::string_view id) const {
  if (KeyCollationIsExact()) return false;
  for (const char c : id) {
    if (static_cast<unsigned char>(c) > 127) return true;
  }
  return false;
}

std::string Dialect::KeyColumn() const {
  const std::string check = KeyCheck();
  return "A0 CHAR(" + std::to_string(kItemIdLength) + ") " + KeyCollation() +
         " CONSTRAINT idxItemID PRIMARY KEY" + (check.empty() ? "" : " " + check);
}

std::string Dialect::Columns(int from, int to, std::string_view type) {
  std::string out;
  for (int i = from; i <= to; ++i) {
    out += ", A" + std::to_string(i) + " ";
    out += type;
  }
  return out;
}

std::string Dialect::FileTableSql(TableTemplate kind, std::string_view name, int columns) const {
  const std::string table(name);
  const ColumnTypes types = Types();
  switch (kind) {
    case TableTemplate::kDataColumns:
      return "CREATE TABLE " + table + "(" + KeyColumn() + Columns(1, columns, types.data) + ")";
    case TableTemplate::kDataItem:
      return "CREATE TABLE " + table + "(" + KeyColumn() + ", ITEM " + types.item + ")";
    case TableTemplate::kDictionary:
      return "CREATE TABLE " + table + "_dict" + std::string(DictionaryGap()) + KeyColumn() +
             Columns(1, 20, types.dictionary) + ")";
    case TableTemplate::kControlItem:
      return "INSERT INTO " + table + "_dict(A0, A7) VALUES('" + std::string(kControlItemKey) +
             "', 'N')";
    case TableTemplate::kMasterDictionary:
      return "CREATE TABLE md (" + KeyColumn() + Columns(1, 20, types.master) + ")";
  }
  return {};
}

std::string Dialect::KeyIndexSql(std::string_view table) const {
  const std::string body = KeyIndexBody();
  if (body.empty()) return {};
  // No file's name holds a blank: the index's name is no file's.
  return "CREATE UNIQUE INDEX " + QuotedName(std::string(table) + " key") + " ON " +
         QuotedName(table) + " " + body;
}

std::vector<std::string> Dialect::FileTableStatements(TableTemplate kind, std::string_view name,
                                                      int columns) const {
  std::vector<std::string> out{FileTableSql(kind, name, columns)};
  std::string table(name);
  if (kind == TableTemplate::kDictionary) table += "_dict";
  if (kind == TableTemplate::kMasterDictionary) table = "md";
  if (kind != TableTemplate::kControlItem) {
    if (std::string index = KeyIndexSql(table); !index.empty()) out.push_back(std::move(index));
  }
  return out;
}

std::vector<SystemTable> Dialect::SystemAccountTables() const {
  std::vector<SystemTable> out;
  out.push_back({"users", "CREATE TABLE users (" + KeyColumn() + Columns(1, 20, Types().text) + ")",
                 KeyIndexSql("users")});
  if (LocksInSystemAccount()) out.push_back({"locks", LocksTableSql("locks"), {}});
  // The key makes two ports that pick the same next sequence fail visibly instead of
  // storing two jobs under one number.
  out.push_back({"printhold",
                 "CREATE TABLE printhold (Queue INTEGER NOT NULL, Sequence INTEGER NOT NULL, "
                 "UserID VARCHAR(255), Account VARCHAR(255), PrintTime VARCHAR(32), "
                 "Flag INTEGER, PrintText " +
                     Types().memo + ", PRIMARY KEY (Queue, Sequence))",
                 {}});
  out.push_back({"md", FileTableSql(TableTemplate::kMasterDictionary, "md"), KeyIndexSql("md")});
  for (SystemTable& t : SessionTables()) out.push_back(std::move(t));
  return out;
}

std::string Dialect::LockTakeSql(std::string_view locksTable, bool) const {
  return "INSERT INTO " + std::string(locksTable) + " (A0, UserInst) VALUES (?, ?)";
}

std::string Dialect::LockLookSql(std::string_view locksTable, bool) const {
  return "SELECT A0, UserInst FROM " + std::string(locksTable) + " WHERE A0 = ?";
}

std::string Dialect::LocksTableSql(std::string_view table) const {
  // A lock key is the table part, character 255 and the item id: longer than an item id.
  return "CREATE TABLE " + std::string(table) + " (A0 VARCHAR(255) " + KeyCollation() +
         " PRIMARY KEY, UserInst VARCHAR(255) NOT NULL)" + LocksTableOptions();
}

ConnectParams Dialect::ConnectParamsFor(const EngineSettings&, const std::string& home,
                                        const std::string& account) const {
  ConnectParams p;
  p.account = account;
  p.home = home;
  return p;
}

SystemTableRoute Dialect::SystemTableOf(std::string_view name) const {
  return {true, false, std::string(name)};
}

DbValue Dialect::Scalar(Driver& d, const std::string& sql, const std::string& param) {
  const DbValue p{param};
  auto cursor = d.Lookup(sql, std::span<const DbValue>(&p, 1));
  if (!cursor->Next()) return std::nullopt;
  return cursor->Row()[0];
}

bool Dialect::TakeSessionMark(Driver&, const std::string&, int) const { return true; }

bool Dialect::SessionMarkFree(Driver&, const std::string&) const { return false; }

ConnectParams Dialect::AdminConnectParams(const EngineSettings&) const { return {}; }

std::string Dialect::CreateDatabaseSql(const std::string& account) const {
  return "CREATE DATABASE " + StatementName(account);
}

std::vector<std::string> Dialect::CreateLoginSql(const std::string&, const std::string&) const {
  return {};
}

std::vector<std::string> Dialect::SetLoginPasswordSql(const std::string&,
                                                      const std::string&) const {
  return {};
}

}  // namespace orvik
