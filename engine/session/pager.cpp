#include "pager.h"

#include "recordset.h"
#include "screen_markup.h"
#include "status.h"

namespace orvik {
namespace {

constexpr char kCtrlX = '\x18';

// The screen lines a value takes: each line break inside it starts another.
int LinesOf(std::string_view text) {
  int lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
      ++lines;
  }
  return lines;
}

class RecordsetRows : public RecordSource {
 public:
  explicit RecordsetRows(std::shared_ptr<Recordset> rs) : rs_(std::move(rs)) {}
  bool AtEOF() const override { return rs_->AtEOF(); }
  void MoveNext() override { rs_->MoveNext(); }
  int FieldCount() const override { return rs_->FieldCount(); }
  std::string FieldName(int field) const override { return rs_->FieldName(field); }
  std::string Text(int field) const override {
    const DbValue& v = rs_->Value(field);
    return v ? *v : std::string();
  }

 private:
  std::shared_ptr<Recordset> rs_;
};

}  // namespace

std::shared_ptr<RecordSource> RowsOf(std::shared_ptr<Recordset> recordset) {
  return std::make_shared<RecordsetRows>(std::move(recordset));
}

void Pager::StartPages(std::shared_ptr<RecordSource> rows) {
  rows_ = std::move(rows);
  fieldPos_ = 0;
  lineCount_ = 0;
  terminal_.SetState(SessionState::kTclPage);
  Page();
}

void Pager::StartForms(std::shared_ptr<RecordSource> rows, const std::string& query,
                       const std::string& cursorTag) {
  rows_ = std::move(rows);
  Form(true, query, cursorTag);
}

void Pager::Page() {
  const std::string crlf(kCrLf);
  RecordSource& rs = *rows_;
  const int n = rs.FieldCount();
  while (!rs.AtEOF()) {
    while (fieldPos_ < n) {
      std::string line;
      int lines;
      if (fieldPos_ == 0) {
        if (lineCount_ > 17) {
          terminal_.Send(crlf + "Press any key to continue or ('q' to quit):");
          lineCount_ = 0;
          return;
        }
        const std::string id = ShownText(rs.Text(0));
        line = crlf + "    " + id + crlf;
        // The empty line before a record is on the screen too.
        lines = 1 + LinesOf(id);
        fieldPos_ = 1;
      } else {
        const std::string number = "00" + std::to_string(fieldPos_);
        const std::string value = ShownText(rs.Text(fieldPos_));
        line = number.substr(number.size() - 3) + " " + value + crlf;
        lines = LinesOf(value);
        ++fieldPos_;
      }
      terminal_.Send(line);
      lineCount_ += lines;
      if (lineCount_ >= kPageLines) {
        terminal_.Send(crlf + "Press any key to continue or ('q' to quit this output):");
        lineCount_ = 0;
        return;
      }
    }
    fieldPos_ = 0;
    rs.MoveNext();
  }
  terminal_.SetState(SessionState::kTcl);
  std::string tail;
  for (int i = lineCount_; i <= 19; ++i) tail += crlf;
  terminal_.Send(tail + crlf + "******  end of query  ******" + crlf + ":");
}

void Pager::Form(bool first, const std::string& query, const std::string& cursorTag) {
  terminal_.SetState(SessionState::kTclQueryVbGui);
  RecordSource& rs = *rows_;
  std::string text;
  if (first) {
    page_ = 1;
    fieldCount_ = rs.FieldCount();
    text = QueryForm(query, cursorTag);
  } else {
    text = QueryFormRefresh(++page_);
  }
  std::vector<std::vector<std::string>> cells;
  for (int k = 0; k < fieldCount_; ++k) cells.push_back({rs.FieldName(k), rs.Text(k)});
  terminal_.Send(text + GridRows(cells, ""));
}

void Pager::Key(SessionState state, std::string_view key) {
  const std::string crlf(kCrLf);
  const auto has = [&](std::string_view letters) {
    return key.find(kCtrlX) != std::string_view::npos ||
           key.find_first_of(letters) != std::string_view::npos;
  };
  if (state == SessionState::kTclPage) {
    if (has("qQ")) {
      terminal_.Send(crlf + "Quit from current output" + crlf + ":");
      terminal_.SetState(SessionState::kTcl);
      rows_.reset();
      return;
    }
    try {
      Page();
    } catch (...) {
      terminal_.Send("ERROR: " + Status::OfCurrentException().Message() + crlf + ":");
      terminal_.SetState(SessionState::kTcl);
    }
    return;
  }
  if (state == SessionState::kTclQueryVbGui) {
    bool more = false;
    Status failed;
    try {
      if (rows_ && !rows_->AtEOF()) rows_->MoveNext();
      more = rows_ && !rows_->AtEOF();
    } catch (...) {
      // The next record cannot be read: that is said, not taken for the end of the query.
      failed = Status::OfCurrentException();
    }
    if (has("xXqQ")) {
      terminal_.Send(QueryQuitFrame());
      terminal_.SetState(SessionState::kTcl);
    } else if (!failed.ok()) {
      terminal_.Send(QueryErrorFrame(failed.Message()));
      terminal_.SetState(SessionState::kTcl);
    } else if (!more) {
      terminal_.Send(QueryEndFrame());
      terminal_.SetState(SessionState::kTcl);
    } else {
      Form(false);
    }
    return;
  }
  // SHOW's form: any key returns to the prompt.
  terminal_.Send(ShowEndFrame());
  terminal_.SetState(SessionState::kTcl);
}

}  // namespace orvik
