// A record set: the rows of one query, walked by a program or by the engine.
//
// It follows the data-access object that applications were written against: fields by name
// (without regard to case) or position, Null values, BOF and EOF, MoveFirst and MoveNext,
// Find with a simple "field = 'value'" criterion, GetString, Source, and AddNew/Update for
// writing a row back. Rows stream from the driver; MoveFirst runs the query again, so a large
// result is never held whole in memory.

#ifndef ORVIK_ENGINE_DATASTORE_RECORDSET_H_
#define ORVIK_ENGINE_DATASTORE_RECORDSET_H_

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch.h"
#include "driver.h"

namespace orvik {

// Error numbers of record-set misuse, as the data-access layer numbered them.
namespace rserr {
inline constexpr int kNoCurrentRecord = 3021;
inline constexpr int kItemNotFound = 3265;
inline constexpr int kObjectClosed = 3704;
inline constexpr int kBadArguments = 3001;
}  // namespace rserr

class Recordset : public Dispatch, public std::enable_shared_from_this<Recordset> {
 public:
  Recordset() = default;

  // Runs `source` on `driver`. The record set keeps the driver alive while it is open.
  void Open(std::shared_ptr<Driver> driver, std::string source);
  // As Open, but every row is read at once (and again at each MoveFirst), so the record set
  // never holds a read open on the datastore however long it is kept. For small tables that
  // live as long as the session, such as an account's catalog.
  void OpenWhole(std::shared_ptr<Driver> driver, std::string source);
  void Close();
  bool IsOpen() const { return driver_ != nullptr; }
  const std::string& Source() const { return source_; }

  bool AtBOF() const;
  bool AtEOF() const;
  void MoveFirst();
  void MoveNext();

  int FieldCount() const;
  const std::string& FieldName(int index) const;
  // The position of a field by name (without regard to case); raises 3265 when absent.
  int FieldIndex(std::string_view name) const;
  // The current row's value; raises 3021 at BOF or EOF.
  const DbValue& Value(int index) const;
  const DbValue& Value(std::string_view name) const { return Value(FieldIndex(name)); }
  // As a Variant: Null for SQL NULL, else the text.
  Variant FieldValue(int index) const;

  // Moves forward from the current row (included) to the first row where the criterion
  // "field = 'value'" (or field = number, or with <> ) holds; EOF when there is none.
  void Find(std::string_view criterion);
  // The rows from the current one to the end, fields joined by `columnDelimiter`, rows
  // ended by `rowDelimiter`, Null written as `nullExpr`; leaves the record set at EOF.
  std::string GetString(std::string_view columnDelimiter = "\t",
                        std::string_view rowDelimiter = "\r", std::string_view nullExpr = "");

  // Writing: AddNew starts a new row, SetValue fills fields of the new or the current row,
  // Update stores them in the table the source reads (INSERT for a new row, UPDATE keyed on
  // the first field for the current one).
  void AddNew();
  void SetValue(std::string_view field, DbValue value);
  void Update();

  // By name, for scripts; the record set must be held by a shared_ptr.
  Variant Invoke(std::string_view name, CallType type, std::span<Variant> args) override;
  MemberKind KindOf(std::string_view name) override;
  std::vector<std::string> MemberNames() override;

 private:
  void OpenAs(std::shared_ptr<Driver> driver, std::string source, bool whole);
  void Run();
  void RequireOpen() const;
  void RequireRow() const;
  std::string BaseTable() const;

  std::shared_ptr<Driver> driver_;
  std::string source_;
  std::unique_ptr<Cursor> cursor_;
  std::vector<std::string> fields_;
  bool bof_ = true;
  bool eof_ = true;
  bool adding_ = false;
  bool whole_ = false;
  std::map<int, DbValue> pending_;  // field index -> new value, until Update
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_RECORDSET_H_
