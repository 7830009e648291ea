// TCL query output: plain pages for character terminals, one record per form for the
// graphical client, and the SHOW form of a table's columns beside its dictionary.

#include "account_schema.h"
#include "layout.h"
#include "markup.h"
#include "numbers.h"
#include "port.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr char kCtrlX = '\x18';
const std::string kLineEnd = "\r\n";
constexpr int kPageLines = 22;

// A grid cell: a backslash would start the next cell.
std::string Cell(std::string_view value) {
  std::string out = ShownText(value);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

// The screen lines a value takes: each line break inside it starts another.
int LinesOf(std::string_view text) {
  int lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
      ++lines;
  }
  return lines;
}

std::string ValueText(const Recordset& rs, int field) {
  const DbValue& v = rs.Value(field);
  return v ? *v : std::string();
}

}  // namespace

void Port::PageOutput() {
  if (terminal_.State() == SessionState::kVerb) {
    pageFieldPos_ = 0;
    pageLineCount_ = 0;
    terminal_.SetState(SessionState::kTclPage);
  }
  Recordset& rs = *queryRecordset_;
  const int n = rs.FieldCount();
  while (!rs.AtEOF()) {
    while (pageFieldPos_ < n) {
      std::string line;
      int lines;
      if (pageFieldPos_ == 0) {
        if (pageLineCount_ > 17) {
          SendResponse(kLineEnd + "Press any key to continue or ('q' to quit):");
          pageLineCount_ = 0;
          return;
        }
        const std::string id = ShownText(ValueText(rs, 0));
        line = kLineEnd + "    " + id + kLineEnd;
        // The empty line before a record is on the screen too.
        lines = 1 + LinesOf(id);
        pageFieldPos_ = 1;
      } else {
        const std::string number = "00" + std::to_string(pageFieldPos_);
        const std::string value = ShownText(ValueText(rs, pageFieldPos_));
        line = number.substr(number.size() - 3) + " " + value + kLineEnd;
        lines = LinesOf(value);
        ++pageFieldPos_;
      }
      SendResponse(line);
      pageLineCount_ += lines;
      if (pageLineCount_ >= kPageLines) {
        SendResponse(kLineEnd + "Press any key to continue or ('q' to quit this output):");
        pageLineCount_ = 0;
        return;
      }
    }
    pageFieldPos_ = 0;
    rs.MoveNext();
  }
  terminal_.SetState(SessionState::kTcl);
  std::string tail;
  for (int i = pageLineCount_; i <= 19; ++i) tail += kLineEnd;
  SendResponse(tail + kLineEnd + "******  end of query  ******" + kLineEnd + ":");
}

void Port::ShowQueryRecord(const std::string& query) {
  terminal_.SetState(SessionState::kTclQueryVbGui);
  Recordset& rs = *queryRecordset_;
  std::string text;
  if (!query.empty()) {
    queryPage_ = 1;
    queryFieldCount_ = rs.FieldCount();
    text = "<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,Page" + std::to_string(queryPage_) +
           ",TCL<PROGRAM NAME=TCLQUERYVBGUI><POSITION TOP=3 LEFT=1><LABEL>" + ShownText(query) +
           "<POSITION TOP=3 LEFT=100><TEXTBOX ACTION=0><POSITION TOP=4 LEFT=1>Enter for next "
           "record, q or x to exit this query." +
           TTag(0, 3) + ShownText(query) + "<GRID TYPE=READONLY TOP=5 ACTION=1>" + kLineEnd +
           "<COLUMN WIDTH=6 ETYPE=0>Attr" + kLineEnd + "<COLUMN WIDTH=65 ETYPE=0 ALIGN=LEFT>Data" +
           kLineEnd;
  } else {
    ++queryPage_;
    text = "<REFRESH><FORMHEADER>Query,Page" + std::to_string(queryPage_) + ",TCL";
  }
  text += "<GRIDFILL>" + kLineEnd;
  for (int k = 0; k < queryFieldCount_; ++k) {
    text += "<DATA>" + Cell(rs.FieldName(k)) + "\\" + Cell(ValueText(rs, k)) + kLineEnd;
  }
  text += "</GRIDFILL>" + kLineEnd + "<POSITION TOP=3 LEFT=100></TX>";
  SendResponse(text);
}

void Port::ShowTable(const std::string& table) {
  // The name goes into statements as it stands.
  CheckFileName(table);
  terminal_.SetState(SessionState::kTclQueryShow);
  queryRecordset_.reset();
  const TableDescription shown = DescribeTable(account_, table);
  const std::string& items = shown.items;
  const auto& columns = shown.columns;

  // The dictionary's attribute definitions.
  std::string query = shown.dictionaryQuery;
  const std::string savedDetail = errorDetail_;
  const bool dictionary = ExecutePS(query).find(kAttributeMark) != std::string::npos;
  errorDetail_ = savedDetail;
  std::vector<std::array<std::string, 5>> definitions;
  if (dictionary) {
    const VariantArray& fields = selectArray_.ArrayRef();
    const std::size_t rows = fields.empty() ? 0 : fields[0].ArrayRef().size() - 1;
    for (std::size_t r = 1; r <= rows; ++r) {
      std::array<std::string, 5> row;
      for (int c = 0; c < 5; ++c) row[c] = fields[c].ArrayRef()[r].ToString();
      definitions.push_back(row);
    }
  }

  std::string text = "<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,SHOW " + table +
                     ",TCL<PROGRAM NAME=TCLQUERYVBGUI><POSITION TOP=3 LEFT=1>SHOW " + table +
                     "  ... press enter to return to TCL.<POSITION TOP=3 LEFT=100><TEXTBOX "
                     "ACTION=0>" +
                     TTag(1, 4) + "Count = " + items + " items.";
  for (const char* line :
       {"<GRID TYPE=READONLY TOP=5 ACTION=1>", "<COLUMN WIDTH=5>Att", "<COLUMN WIDTH=9>Type",
        "<COLUMN WIDTH=4>Key", "<COLUMN WIDTH=2>MV", "<COLUMN WIDTH=5>Conv",
        "<COLUMN WIDTH=60 ALIGN=LEFT>Dict Description(s)", "<GRIDFILL>"}) {
    text += std::string(line) + kLineEnd;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::string descriptions, mv, conv;
    if (i == 0) {
      descriptions = "ItemID";
    } else {
      bool preferred = false;
      for (const auto& d : definitions) {
        if (Val(d[1]) != static_cast<double>(i)) continue;
        descriptions += (descriptions.empty() ? "" : ", ") + d[0] + ", " + d[2];
        if (!d[3].empty()) mv = d[3];
        if (!preferred && !d[4].empty()) {
          conv = d[4];
          const std::string code = UpperCase(TrimBlanks(d[4]));
          preferred =
              code == "D" || code == "D2" || code == "D2/" || code == "MD2" || code == "MR2";
        }
      }
    }
    text += "<DATA>" + Cell(columns[i].field) + " \\" + Cell(columns[i].type) + " \\" +
            Cell(columns[i].key) + " \\" + Cell(mv) + " \\" + Cell(conv) + " \\" +
            Cell(descriptions) + kLineEnd;
  }
  text += "</GRIDFILL>" + kLineEnd + "<POSITION TOP=3 LEFT=100></TX>";
  SendResponse(text);
}

void Port::PagingInput(SessionState state, std::string_view s) {
  const auto has = [&](std::string_view letters) {
    return s.find(kCtrlX) != std::string_view::npos ||
           s.find_first_of(letters) != std::string_view::npos;
  };
  if (state == SessionState::kTclPage) {
    if (has("qQ")) {
      SendResponse(kLineEnd + "Quit from current output" + kLineEnd + ":");
      terminal_.SetState(SessionState::kTcl);
      queryRecordset_.reset();
      return;
    }
    try {
      PageOutput();
    } catch (...) {
      SendResponse("ERROR: " + CurrentExceptionMessage() + kLineEnd + ":");
      terminal_.SetState(SessionState::kTcl);
    }
    return;
  }
  if (state == SessionState::kTclQueryVbGui) {
    bool more = false;
    try {
      if (queryRecordset_ && !queryRecordset_->AtEOF()) queryRecordset_->MoveNext();
      more = queryRecordset_ && !queryRecordset_->AtEOF();
    } catch (...) {
    }
    if (has("xXqQ")) {
      SendResponse(
          "<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=1>Quit from query output"
          "<POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2></TX>");
      terminal_.SetState(SessionState::kTcl);
    } else if (!more) {
      SendResponse(
          "<TERMINAL><ATF @=-1><ATF @=-37><POSITION LEFT=1 TOP=1>No more records in this "
          "query.<POSITION LEFT=1 TOP=3>:<ATF @=-40><POSITION LEFT=2 TOP=3></TX>");
      terminal_.SetState(SessionState::kTcl);
    } else {
      ShowQueryRecord("");
    }
    return;
  }
  // "TCLQUERYSHOW": any key returns to the prompt.
  SendResponse("<TERMINAL><ATF @=-1><POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2></TX>");
  terminal_.SetState(SessionState::kTcl);
}

Variant Port::JDecode(const std::string& text, std::string& key) {
  if (text.empty()) return Variant(std::string());
  // Doubling an empty key would never end.
  if (key.empty()) throw VbError(vberr::kInvalidProcedureCall);
  while (key.size() < text.size()) {
    CheckTextLength(key.size() * 2);
    key += key;
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 1; i <= text.size(); ++i) {
    const int t = static_cast<unsigned char>(text[i - 1]);
    const int shift = static_cast<unsigned char>(key[i - 1]) - 31;
    int c;
    if (i % 2 == 1) {
      c = t + shift;
      if (c > 127) c -= 96;
    } else {
      c = t - shift;
      if (c < 32) c += 96;
    }
    if (c < 0 || c > 255) throw VbError(vberr::kInvalidProcedureCall);
    out.push_back(static_cast<char>(c));
  }
  return Variant(std::move(out));
}

}  // namespace orvik
