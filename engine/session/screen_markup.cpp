#include "screen_markup.h"

#include "text.h"

namespace orvik {

std::string ShownText(std::string_view value) {
  static constexpr std::string_view kMarkers[] = {protocol::kPortDisconnect,
                                                  protocol::kEndOfTransmission};
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    out.push_back(value[i]);
    if (value[i] != '<') continue;  // both markers open with it
    for (std::string_view m : kMarkers) {
      if (EqualsNoCase(value.substr(i, m.size()), m)) {
        out.push_back(' ');
        break;
      }
    }
  }
  return out;
}

std::string TerminalFrame(std::string_view body) {
  return std::string(protocol::kTerminal) + std::string(body) +
         std::string(protocol::kEndOfTransmission);
}

std::string ListFrame(std::string_view title, std::string_view names, bool gui) {
  std::string text = std::string(title) + std::string(kCrLf) + std::string(kCrLf);
  for (char c : ShownText(names)) {
    if (c == kAttributeMark) {
      text += kCrLf;
    } else {
      text.push_back(c);
    }
  }
  if (!gui) return text;
  return std::string(protocol::kTerminal) + "<ATF @=-1><POSITION TOP=1 LEFT=0>" + text +
         std::string(kCrLf) + std::string(kCrLf) + ":" + std::string(protocol::kEndOfTransmission);
}

std::string ProcessListFrame(std::string_view report) {
  return TerminalFrame("<ATF @=-1><POSITION TOP=0 LEFT=0>LISTU" + std::string(kCrLf) +
                       std::string(report));
}

std::string QueryQuitFrame() {
  return TerminalFrame(
      "<ATF @=-1><POSITION LEFT=1 TOP=1>Quit from query output"
      "<POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2>");
}

// The colour of a message ends with it: the prompt after it, and what the user types there,
// are drawn on the screen's own white.
std::string QueryEndFrame() {
  return TerminalFrame(
      "<ATF @=-1><ATF @=-37><POSITION LEFT=1 TOP=1>No more records in this query.<ATF @=-40>"
      "<POSITION LEFT=1 TOP=3>:<POSITION LEFT=2 TOP=3>");
}

std::string QueryErrorFrame(std::string_view message) {
  return TerminalFrame("<ATF @=-1><ATF @=-37><POSITION LEFT=1 TOP=1>ERROR: " + ShownText(message) +
                       "<ATF @=-40><POSITION LEFT=1 TOP=3>:<POSITION LEFT=2 TOP=3>");
}

std::string ShowEndFrame() {
  return TerminalFrame("<ATF @=-1><POSITION LEFT=1 TOP=2>:<POSITION LEFT=2 TOP=2>");
}

std::string GridCell(std::string_view value) {
  std::string out = ShownText(value);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::string QueryForm(std::string_view query, std::string_view cursorTag) {
  const std::string crlf(kCrLf);
  const std::string shown = ShownText(query);
  return "<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,Page1,TCL"
         "<PROGRAM NAME=TCLQUERYVBGUI><POSITION TOP=3 LEFT=1><LABEL>" +
         shown +
         "<POSITION TOP=3 LEFT=100><TEXTBOX ACTION=0><POSITION TOP=4 LEFT=1>Enter for next "
         "record, q or x to exit this query." +
         std::string(cursorTag) + shown + "<GRID TYPE=READONLY TOP=5 ACTION=1>" + crlf +
         "<COLUMN WIDTH=6 ETYPE=0>Attr" + crlf + "<COLUMN WIDTH=65 ETYPE=0 ALIGN=LEFT>Data" + crlf;
}

std::string QueryFormRefresh(int page) {
  return "<REFRESH><FORMHEADER>Query,Page" + std::to_string(page) + ",TCL";
}

std::string ShowForm(std::string_view table, std::string_view items, std::string_view countTag) {
  std::string text =
      "<FORM SCREEN=FULL TYPE=FUNCTION><FORMHEADER>Query,SHOW " + std::string(table) +
      ",TCL<PROGRAM NAME=TCLQUERYVBGUI><POSITION TOP=3 LEFT=1>SHOW " + std::string(table) +
      "  ... press enter to return to TCL.<POSITION TOP=3 LEFT=100><TEXTBOX "
      "ACTION=0>" +
      std::string(countTag) + "Count = " + std::string(items) + " items.";
  for (const char* line :
       {"<GRID TYPE=READONLY TOP=5 ACTION=1>", "<COLUMN WIDTH=5>Att", "<COLUMN WIDTH=9>Type",
        "<COLUMN WIDTH=4>Key", "<COLUMN WIDTH=2>MV", "<COLUMN WIDTH=5>Conv",
        "<COLUMN WIDTH=60 ALIGN=LEFT>Dict Description(s)"}) {
    text += std::string(line) + std::string(kCrLf);
  }
  return text;
}

std::string GridRows(const std::vector<std::vector<std::string>>& rows,
                     std::string_view separator) {
  const std::string crlf(kCrLf);
  std::string text = "<GRIDFILL>" + crlf;
  for (const std::vector<std::string>& row : rows) {
    text += "<DATA>";
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i) text += std::string(separator) + "\\";
      text += GridCell(row[i]);
    }
    text += crlf;
  }
  return text + "</GRIDFILL>" + crlf + "<POSITION TOP=3 LEFT=100>" +
         std::string(protocol::kEndOfTransmission);
}

}  // namespace orvik
