// The paged output of a TCL query: the rows of a record source shown a screen at a time on a
// character terminal, or one record per form for the graphical client, each page waiting
// for a key.
//
// The pager writes to its terminal and moves the session between kTcl and its waiting states
// (kTclPage, kTclQueryVbGui). Used on the port's thread only. What a record source throws
// while the pager reads it goes to the caller of Start, and is shown by Key.

#ifndef ORVIK_ENGINE_SESSION_PAGER_H_
#define ORVIK_ENGINE_SESSION_PAGER_H_

#include <memory>
#include <string>
#include <string_view>

#include "terminal_io.h"

namespace orvik {

class Recordset;

// What the pager reads of a query's rows. Field 0 is the item id.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  virtual bool AtEOF() const = 0;
  virtual void MoveNext() = 0;
  virtual int FieldCount() const = 0;
  virtual std::string FieldName(int field) const = 0;
  // The current row's value; Null reads as "".
  virtual std::string Text(int field) const = 0;
};

// A record set's rows.
std::shared_ptr<RecordSource> RowsOf(std::shared_ptr<Recordset> recordset);

class Pager {
 public:
  // Lines of one page on a character terminal.
  static constexpr int kPageLines = 22;

  explicit Pager(TerminalIo& terminal) : terminal_(terminal) {}

  // Shows the first page of `rows` (a character terminal), or the first record's form (the
  // graphical client: `query` is the sentence, `cursorTag` the tag placing the cursor on
  // it). The session then waits for a key, or is back at the prompt when the rows all fit.
  void StartPages(std::shared_ptr<RecordSource> rows);
  void StartForms(std::shared_ptr<RecordSource> rows, const std::string& query,
                  const std::string& cursorTag);
  // The key typed in the waiting state `state`: the next page or record, or quit ("q", and
  // "x" on a form, or Ctrl-X).
  void Key(SessionState state, std::string_view key);
  // Lets go of the rows.
  void Reset() { rows_.reset(); }

 private:
  // Writes lines until the page is full or the rows end.
  void Page();
  void Form(bool first, const std::string& query = {}, const std::string& cursorTag = {});

  TerminalIo& terminal_;
  std::shared_ptr<RecordSource> rows_;
  int fieldPos_ = 0;   // the next field of the current record to show
  int lineCount_ = 0;  // lines on the screen so far
  int page_ = 0;       // the form's page
  int fieldCount_ = 0;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_PAGER_H_
