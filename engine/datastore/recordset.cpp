#include "recordset.h"

#include "numbers.h"
#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

[[noreturn]] void Raise(int number) {
  switch (number) {
    case rserr::kNoCurrentRecord:
      throw VbError(number,
                    "Either BOF or EOF is True, or the current record has been deleted. "
                    "Requested operation requires a current record.");
    case rserr::kItemNotFound:
      throw VbError(number,
                    "Item cannot be found in the collection corresponding to the requested "
                    "name or ordinal.");
    case rserr::kObjectClosed:
      throw VbError(number, "Operation is not allowed when the object is closed.");
    default:
      throw VbError(number,
                    "Arguments are of the wrong type, are out of acceptable range, or are in "
                    "conflict with one another.");
  }
}

// A parsed "field op value" criterion of Find.
struct Criterion {
  std::string field;
  bool notEqual = false;
  std::string value;
};

Criterion ParseCriterion(std::string_view c) {
  Criterion out;
  c = TrimBlanks(c);
  std::size_t op = c.find_first_of("=<");
  if (op == std::string_view::npos || op == 0) Raise(rserr::kBadArguments);
  out.field = std::string(TrimBlanks(c.substr(0, op)));
  std::size_t valueAt = op + 1;
  if (c[op] == '<') {
    if (op + 1 >= c.size() || c[op + 1] != '>') Raise(rserr::kBadArguments);
    out.notEqual = true;
    valueAt = op + 2;
  }
  std::string_view v = TrimBlanks(c.substr(valueAt));
  if (v.size() >= 2 && (v.front() == '\'' || v.front() == '#') && v.back() == v.front()) {
    // A quote inside the value is written twice.
    std::string text;
    const std::string_view inner = v.substr(1, v.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
      text.push_back(inner[i]);
      if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
    }
    out.value = std::move(text);
  } else {
    out.value = std::string(v);
  }
  if (out.field.size() >= 2 && out.field.front() == '[' && out.field.back() == ']')
    out.field = out.field.substr(1, out.field.size() - 2);
  return out;
}

bool Matches(const DbValue& v, const Criterion& c) {
  bool equal;
  if (!v) {
    equal = false;
  } else if (EqualsNoCase(*v, c.value)) {
    equal = true;
  } else {
    // Numbers compare as numbers: "1.50" equals 1.5.
    const auto a = ParseNumber(*v), b = ParseNumber(c.value);
    equal = a && b && *a == *b;
  }
  return c.notEqual ? !equal && v.has_value() : equal;
}

}  // namespace

void Recordset::Open(std::shared_ptr<Driver> driver, std::string source) {
  OpenAs(std::move(driver), std::move(source), false);
}

void Recordset::OpenWhole(std::shared_ptr<Driver> driver, std::string source) {
  OpenAs(std::move(driver), std::move(source), true);
}

void Recordset::OpenAs(std::shared_ptr<Driver> driver, std::string source, bool whole) {
  Close();
  driver_ = std::move(driver);
  source_ = std::move(source);
  whole_ = whole;
  try {
    Run();
  } catch (...) {
    driver_.reset();
    throw;
  }
}

void Recordset::Run() {
  if (whole_) {
    // Read whole at once, where the connection's writes run: the embedded store need not open
    // a reading connection of its own for a read that stays open no time at all.
    cursor_ = driver_->Lookup(source_);
    auto rows = std::make_unique<RowsCursor>(*cursor_);
    cursor_ = std::move(rows);
  } else {
    cursor_ = driver_->Query(source_);
  }
  fields_ = cursor_->FieldNames();
  const bool any = cursor_->Next();
  bof_ = !any;
  eof_ = !any;
  adding_ = false;
  pending_.clear();
}

void Recordset::Close() {
  cursor_.reset();
  driver_.reset();
  fields_.clear();
  bof_ = eof_ = true;
  adding_ = false;
  pending_.clear();
}

void Recordset::RequireOpen() const {
  if (!driver_) Raise(rserr::kObjectClosed);
}

void Recordset::RequireRow() const {
  RequireOpen();
  if (eof_) Raise(rserr::kNoCurrentRecord);
}

bool Recordset::AtBOF() const {
  RequireOpen();
  return bof_;
}

bool Recordset::AtEOF() const {
  RequireOpen();
  return eof_;
}

void Recordset::MoveFirst() {
  RequireOpen();
  Run();
}

void Recordset::MoveNext() {
  RequireRow();
  bof_ = false;
  eof_ = !cursor_->Next();
}

int Recordset::FieldCount() const {
  RequireOpen();
  return static_cast<int>(fields_.size());
}

const std::string& Recordset::FieldName(int index) const {
  RequireOpen();
  if (index < 0 || index >= static_cast<int>(fields_.size())) Raise(rserr::kItemNotFound);
  return fields_[index];
}

int Recordset::FieldIndex(std::string_view name) const {
  RequireOpen();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (EqualsNoCase(fields_[i], name)) return static_cast<int>(i);
  }
  Raise(rserr::kItemNotFound);
}

const DbValue& Recordset::Value(int index) const {
  if (index < 0 || index >= FieldCount()) Raise(rserr::kItemNotFound);
  if (adding_) {
    static const DbValue kNull;
    const auto it = pending_.find(index);
    return it == pending_.end() ? kNull : it->second;
  }
  RequireRow();
  return cursor_->Row()[index];
}

Variant Recordset::FieldValue(int index) const {
  const DbValue& v = Value(index);
  return v ? Variant(*v) : Variant::Null();
}

void Recordset::Find(std::string_view criterion) {
  RequireRow();
  const Criterion c = ParseCriterion(criterion);
  const int field = FieldIndex(c.field);
  while (!eof_) {
    if (Matches(cursor_->Row()[field], c)) return;
    bof_ = false;
    eof_ = !cursor_->Next();
  }
}

std::string Recordset::GetString(std::string_view columnDelimiter, std::string_view rowDelimiter,
                                 std::string_view nullExpr) {
  RequireRow();
  std::string out;
  while (!eof_) {
    const auto& row = cursor_->Row();
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) out.append(columnDelimiter);
      out.append(row[i] ? std::string_view(*row[i]) : nullExpr);
    }
    out.append(rowDelimiter);
    CheckTextLength(out.size());
    bof_ = false;
    eof_ = !cursor_->Next();
  }
  return out;
}

void Recordset::AddNew() {
  RequireOpen();
  adding_ = true;
  pending_.clear();
}

void Recordset::SetValue(std::string_view field, DbValue value) {
  const int index = FieldIndex(field);
  if (!adding_) RequireRow();
  pending_[index] = std::move(value);
}

std::string Recordset::BaseTable() const {
  // The table that a simple "SELECT ... FROM table ..." reads.
  const std::size_t from = FindNoCase(source_, " from ");
  if (from == std::string::npos) Raise(rserr::kBadArguments);
  std::string_view rest = TrimBlanks(std::string_view(source_).substr(from + 6));
  const std::size_t end = rest.find_first_of(" ;\t\r\n");
  std::string table(rest.substr(0, end));
  CheckFileName(table.find('.') != std::string::npos && table.size() > 0
                    ? std::string_view(table).substr(table.find('.') + 1)
                    : std::string_view(table));
  return table;
}

void Recordset::Update() {
  RequireOpen();
  if (pending_.empty()) {
    adding_ = false;
    return;
  }
  const std::string table = BaseTable();
  std::vector<DbValue> params;
  std::string sql;
  if (adding_) {
    std::string names, marks;
    for (const auto& [index, value] : pending_) {
      if (!names.empty()) {
        names += ", ";
        marks += ", ";
      }
      names += fields_[index];
      marks += "?";
      params.push_back(value);
    }
    sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
  } else {
    RequireRow();
    std::string sets;
    for (const auto& [index, value] : pending_) {
      if (!sets.empty()) sets += ", ";
      sets += fields_[index] + " = ?";
      params.push_back(value);
    }
    sql = "UPDATE " + table + " SET " + sets + " WHERE " + fields_[0] + " = ?";
    params.push_back(cursor_->Row()[0]);
  }
  driver_->Execute(sql, params);
  adding_ = false;
  pending_.clear();
}

namespace {

int IndexOf(Recordset& rs, const Variant& key) {
  if (key.IsString()) return rs.FieldIndex(key.StringRef());
  return key.ToLong();
}

void SetFromVariant(Recordset& rs, int index, const Variant& v) {
  rs.SetValue(rs.FieldName(index), v.IsNull() ? DbValue() : DbValue(v.ToString()));
}

// One field of the current row, as scripts receive it from Fields(i). It keeps its record
// set alive, since a script may hold it longer than the record set variable.
class FieldObject : public Dispatch {
 public:
  FieldObject(std::shared_ptr<Recordset> rs, int index) : rs_(std::move(rs)), index_(index) {}
  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override {
    if (EqualsNoCase(name, "Value")) {
      if (type != CallType::PropertyLet) return rs_->FieldValue(index_);
      DispatchArgs a(args);
      a.Expect(1, 1);
      SetFromVariant(*rs_, index_, a.Ref(0));
      return {};
    }
    if (EqualsNoCase(name, "Name") && type != CallType::PropertyLet)
      return Variant(rs_->FieldName(index_));
    throw VbError(vberr::kNoSuchMember);
  }
  MemberKind KindOf(std::string_view name) override {
    return EqualsNoCase(name, "Value") || EqualsNoCase(name, "Name") ? MemberKind::Property
                                                                     : MemberKind::None;
  }
  std::vector<std::string> MemberNames() override { return {"Value", "Name"}; }

 private:
  std::shared_ptr<Recordset> rs_;
  int index_;
};

// The Fields collection: Count and Item.
class FieldsObject : public Dispatch {
 public:
  explicit FieldsObject(std::shared_ptr<Recordset> rs) : rs_(std::move(rs)) {}
  Variant Invoke(std::string_view name, CallType, std::span<Variant> args) override {
    if (EqualsNoCase(name, "Count")) return Variant(std::int32_t{rs_->FieldCount()});
    if (EqualsNoCase(name, "Item")) {
      DispatchArgs a(args);
      a.Expect(1, 1);
      const int index = IndexOf(*rs_, a.Ref(0));
      rs_->FieldName(index);  // an unknown position raises here, not on first use
      return Variant(std::make_shared<FieldObject>(rs_, index));
    }
    throw VbError(vberr::kNoSuchMember);
  }
  MemberKind KindOf(std::string_view name) override {
    if (EqualsNoCase(name, "Count")) return MemberKind::Property;
    return EqualsNoCase(name, "Item") ? MemberKind::Method : MemberKind::None;
  }
  std::vector<std::string> MemberNames() override { return {"Count", "Item"}; }

 private:
  std::shared_ptr<Recordset> rs_;
};

// The record set's members by kind; Fields and Collect are properties (Collect takes the
// field as its argument).
constexpr std::string_view kRecordsetProperties[] = {"EOF",    "BOF",         "Source", "State",
                                                     "Fields", "RecordCount", "Collect"};
constexpr std::string_view kRecordsetMethods[] = {"MoveFirst", "MoveNext", "Close",    "AddNew",
                                                  "Update",    "Find",     "GetString"};

}  // namespace

Variant Recordset::Invoke(std::string_view name, CallType type, std::span<Variant> args) {
  DispatchArgs a(args);
  const auto is = [&](std::string_view n) { return EqualsNoCase(name, n); };
  if (type == CallType::PropertyLet) {
    if (is("Fields") || is("Collect")) {
      a.Expect(2, 2);
      SetFromVariant(*this, IndexOf(*this, a.Ref(0)), a.Ref(1));
      return {};
    }
    throw VbError(vberr::kNoSuchMember);
  }
  if (is("EOF")) return Variant(AtEOF());
  if (is("BOF")) return Variant(AtBOF());
  if (is("Source")) return Variant(source_);
  if (is("State")) return Variant(std::int32_t{IsOpen() ? 1 : 0});
  if (is("RecordCount")) return Variant(std::int32_t{-1});
  if (is("MoveFirst")) return MoveFirst(), Variant();
  if (is("MoveNext")) return MoveNext(), Variant();
  if (is("Close")) return Close(), Variant();
  if (is("AddNew")) return AddNew(), Variant();
  if (is("Update")) return Update(), Variant();
  if (is("Find")) {
    a.Expect(1, 4);
    Find(a.String(0));
    return {};
  }
  if (is("GetString")) {
    // GetString(format, rows, columnDelimiter, rowDelimiter, nullExpr): only the whole rest.
    a.Expect(0, 5);
    return Variant(GetString(a.Present(2) ? a.String(2) : "\t", a.Present(3) ? a.String(3) : "\r",
                             a.Present(4) ? a.String(4) : ""));
  }
  if (is("Collect")) {
    a.Expect(1, 1);
    return FieldValue(IndexOf(*this, a.Ref(0)));
  }
  if (is("Fields")) {
    auto fields = std::make_shared<FieldsObject>(shared_from_this());
    if (a.size() == 0) return Variant(std::shared_ptr<Dispatch>(fields));
    return fields->Invoke("Item", CallType::Method, args);
  }
  throw VbError(vberr::kNoSuchMember);
}

Dispatch::MemberKind Recordset::KindOf(std::string_view name) {
  for (std::string_view p : kRecordsetProperties)
    if (EqualsNoCase(name, p)) return MemberKind::Property;
  for (std::string_view m : kRecordsetMethods)
    if (EqualsNoCase(name, m)) return MemberKind::Method;
  return MemberKind::None;
}

std::vector<std::string> Recordset::MemberNames() {
  std::vector<std::string> out;
  for (std::string_view p : kRecordsetProperties) out.emplace_back(p);
  for (std::string_view m : kRecordsetMethods) out.emplace_back(m);
  return out;
}

}  // namespace orvik
