// The TCL verb interpreter: one line typed at the ":" prompt (or a start-up sentence).

#include <array>

#include "account_schema.h"
#include "numbers.h"
#include "screen_markup.h"
#include "session.h"
#include "vb_error.h"

namespace orvik {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Text cut or padded with blanks to `width`.
std::string Column(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

// Text right-aligned in `width`, keeping its last characters.
std::string RightColumn(std::string_view text, std::size_t width) {
  if (text.size() >= width) return std::string(text.substr(text.size() - width));
  return std::string(width - text.size(), ' ') + std::string(text);
}

// SQL typed at the prompt, for as long as this lives: the port's connections refuse what
// reaches into the system account's guarded tables, unless the user is the administrator.
class TypedSql {
 public:
  TypedSql(bool administrator, std::initializer_list<Driver*> drivers) {
    if (administrator) return;
    for (Driver* d : drivers) {
      if (d != nullptr) raised_.push_back({d, d->SetSystemTablesGuard(true)});
    }
  }
  ~TypedSql() {
    for (auto it = raised_.rbegin(); it != raised_.rend(); ++it)
      it->first->SetSystemTablesGuard(it->second);
  }
  TypedSql(const TypedSql&) = delete;
  TypedSql& operator=(const TypedSql&) = delete;

 private:
  std::vector<std::pair<Driver*, bool>> raised_;
};

// Whether a conversion code is one SHOW prefers to show for its attribute.
bool PreferredConversion(std::string_view code) {
  const std::string c = UpperCase(TrimBlanks(code));
  return c == "D" || c == "D2" || c == "D2/" || c == "MD2" || c == "MR2";
}

}  // namespace

std::string Session::StatusLine(SessionState state, const std::string& action) const {
  const Login& login = parts_.login;
  return login.UserInst() + kValueMark + std::to_string(login.ConnectionId()) + kValueMark +
         parts_.account.Account() + kValueMark + login.Privilege() + kValueMark +
         std::string(StateName(state)) + kValueMark + action;
}

void Session::WriteStatus(SessionState state, const std::string& action) {
  std::string line = StatusLine(state, action);
  try {
    parts_.login.UpdateRegistry(line);
  } catch (...) {
    // The status line only tells others what this session does; the session goes on.
  }
}

void Session::ClosingStep(const std::string& verb) {
  parts_.terminal.SetState(SessionState::kTcl);
  parts_.terminal.Send(std::string(kCrLf) + ":");
  WriteStatus(SessionState::kTcl, "OK: " + verb);
}

std::string Session::ProcessReport() {
  const std::string crlf(kCrLf);
  std::string report = crlf + "Me UserInstance  CnID Account       " +
                       parts_.login.ListTimeTitle() + "State   Actions " + crlf +
                       "== ============= ==== ============= ====== ======= "
                       "===============================" +
                       crlf;
  std::string list;
  Note(parts_.login.ListProcesses(&list));
  for (const std::string& row : SplitAt(list, kAttributeMark)) {
    if (row.empty()) continue;
    // Status lines hold what users typed: shown, never obeyed.
    std::vector<std::string> f = SplitAt(ShownText(row), kValueMark);
    f.resize(6);
    report += (f[0] == parts_.login.UserInst() ? "** " : "   ") + Column(f[0], 13) + " " +
              RightColumn(f[1], 4) + " " + Column(f[2], 13) + " " + RightColumn(f[3], 6) + " " +
              Column(f[4], 7) + " " + f[5] + crlf;
  }
  report += crlf + ":";
  return termType_ == "VBGUI" ? ProcessListFrame(report) : report;
}

void Session::RunTclVerb(const std::string& line) {
  TerminalIo& terminal = parts_.terminal;
  AccountConnection& account = parts_.account;
  const bool gui = termType_ == "VBGUI";
  const std::string crlf(kCrLf);
  const std::string v = UpperCase(TrimBlanks(line));
  try {
    if (v.empty()) {
      // An empty line is no command: just the prompt again.
      terminal.SetState(SessionState::kTcl);
      terminal.Send(crlf + ":");
      return;
    }
    if (v == "WHO") {
      terminal.Send(crlf + ShownText(parts_.login.UserInst() + " " + account.Account()));
    } else if (StartsWith(v, "SWRITE ")) {
      // SWRITE key value: the value keeps its blanks.
      std::string_view rest = TrimBlanks(line);
      rest.remove_prefix(rest.find(' ') + 1);
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      const std::size_t blank = rest.find(' ');
      if (blank == std::string_view::npos) throw VbError(vberr::kInvalidProcedureCall);
      xCommon_->SetItem(Variant(std::string(rest.substr(0, blank))),
                        Variant(std::string(rest.substr(blank + 1))));
      terminal.Send(crlf + "OK" + crlf);
    } else if (StartsWith(v, "ECHO ")) {
      std::string sentence = line;
      terminal.Send(crlf + ExecutePS(sentence) + crlf);
    } else if (StartsWith(v, "LISTA")) {
      std::string sentence = "LISTA";
      const std::string list = ExecutePS(sentence);
      if (list.empty()) {
        terminal.Send(crlf + errorDetail_ + crlf + ":");
      } else {
        terminal.Send(ListFrame("LISTA = List of Accounts/Databases", list, gui));
      }
    } else if (StartsWith(v, "LISTF")) {
      account.LoadTableList();
      if (account.TableList().empty()) {
        terminal.Send(crlf + NoFiles().Message() + crlf);
      } else {
        terminal.Send(ListFrame("LISTF = List of Files/Tables", account.TableList(), gui));
      }
    } else if (StartsWith(v, "LISTU")) {
      WriteStatus(SessionState::kTcl, "LISTU");
      if (!parts_.login.IsAdministrator()) {
        terminal.Send("NOT AVAILABLE: you do not have the necessary security" + crlf +
                      "privileges to run a LISTU.  See your admin/systems people." + crlf + crlf);
      } else {
        terminal.Send(ProcessReport());
      }
    } else if (StartsWith(v, "SELECT ")) {
      pager_.Reset();
      std::shared_ptr<Recordset> rows;
      bool opened;
      {
        const TypedSql typed(parts_.login.IsAdministrator(),
                             {account.Connection().get(), account.SystemConnection().get()});
        opened = Report(account.OpenRecordset(line, rows));
      }
      if (!opened) {
        terminal.Send(crlf + errorDetail_ + crlf + ":");
      } else if (rows->AtEOF()) {
        terminal.Send(crlf + "Query ResultSet is Empty eg empty table." + crlf + ":");
      } else {
        if (gui) {
          pager_.StartForms(RowsOf(rows), line, TTag(0, 3));
        } else {
          pager_.StartPages(RowsOf(rows));
          terminal.Send(crlf + ":");
        }
        return;  // the paging states take the next key
      }
    } else if (StartsWith(v, "REPLACE ") || StartsWith(v, "INSERT ") || StartsWith(v, "DELETE ") ||
               StartsWith(v, "ALTER ") || StartsWith(v, "DROP ")) {
      Driver& connection = account.Required();
      std::int64_t n;
      {
        const TypedSql typed(parts_.login.IsAdministrator(),
                             {&connection, account.SystemConnection().get()});
        n = connection.Execute(line);
      }
      account.ForgetTableShapes();
      terminal.Send(crlf + "OK: " + std::to_string(n) + " records affected" + crlf + ":");
    } else if (StartsWith(v, "CREATE") || StartsWith(v, "TERM ")) {
      std::string sentence = line;
      std::string answer;
      {
        const TypedSql typed(parts_.login.IsAdministrator(),
                             {account.Connection().get(), account.SystemConnection().get()});
        answer = ExecutePS(sentence);
      }
      terminal.Send(crlf + answer + errorDetail_ + crlf + ":");
    } else if (StartsWith(v, "SHOW ")) {
      // The table as typed: a store whose names keep their case finds it.
      ShowTable(std::string(TrimBlanks(std::string_view(TrimBlanks(line)).substr(5))));
      return;
    } else if (StartsWith(v, "DATABASE") || StartsWith(v, "ACCOUNT") || StartsWith(v, "LOGTO")) {
      if (v.find(' ') == std::string::npos) {
        terminal.Send(crlf + "Syntax error in LOGTO statement, there should be " + crlf +
                      "one SPACE between LOGTO and accountname." + crlf);
      } else {
        const std::string_view trimmed = TrimBlanks(line);
        const std::string name(trimmed.substr(trimmed.find(' ') + 1));
        if (Note(account.Connect(name))) {
          terminal.Send(crlf + "OK - you are now working in account \"" + name + "\"" + crlf);
        } else {
          terminal.Send(crlf + "LOGTO request failed:" + crlf + errorDetail_ + crlf);
        }
      }
    } else if (v == "EXIT" || v == "OFF" || v == "LO") {
      terminal.Send(protocol::kPortDisconnect);
    } else {
      // A program: scheduled now, run by the deferred runner, which also ends the verb.
      errorDetail_.clear();
      parts_.programs.XRun(line);
      WriteStatus(SessionState::kVerb, v);
      parts_.programs.SetRunning(true);
      return;
    }
    ClosingStep(v);
  } catch (...) {
    const std::string message = CurrentExceptionMessage();
    terminal.Send("ERROR: " + message + crlf + ":");
    terminal.SetState(SessionState::kTcl);
    WriteStatus(SessionState::kTcl, "ERROR with " + v);
  }
}

void Session::ShowTable(const std::string& table) {
  // The name goes into statements as it stands.
  CheckFileName(table);
  parts_.terminal.SetState(SessionState::kTclQueryShow);
  pager_.Reset();
  const TableDescription shown = DescribeTable(parts_.account, table);

  // The dictionary's attribute definitions: A0, A2, A3, A5 and A7 of each.
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

  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 0; i < shown.columns.size(); ++i) {
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
          preferred = PreferredConversion(d[4]);
        }
      }
    }
    const TableDescription::Column& c = shown.columns[i];
    rows.push_back({c.field, c.type, c.key, mv, conv, descriptions});
  }
  parts_.terminal.Send(ShowForm(table, shown.items, TTag(1, 4)) + GridRows(rows, " "));
}

}  // namespace orvik
