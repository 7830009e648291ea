// The TCL verb interpreter: one line typed at the ":" prompt (or a start-up sentence).

#include "markup.h"
#include "numbers.h"
#include "port.h"
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

}  // namespace

// A list of names (character 254 between them) under its title; framed for
// the graphical client.
std::string Port::Listing(const std::string& title, const std::string& list) {
  const std::string crlf(kCrLf);
  std::string text = title + crlf + crlf;
  for (char c : ShownText(list)) text += c == kAttributeMark ? crlf : std::string(1, c);
  if (termType_ == "VBGUI")
    text = "<TERMINAL><ATF @=-1><POSITION TOP=1 LEFT=0>" + text + crlf + crlf + ":</TX>";
  return text;
}

void Port::WriteStatus(SessionState state, const std::string& action) {
  std::string line = login_.UserInst() + kValueMark + std::to_string(login_.ConnectionId()) +
                     kValueMark + account_.Account() + kValueMark + login_.Privilege() +
                     kValueMark + std::string(StateName(state)) + kValueMark + action;
  try {
    UpdateUserRegistry(line);
  } catch (...) {
  }
}

void Port::ClosingStep(const std::string& verb) {
  terminal_.SetState(SessionState::kTcl);
  SendResponse(std::string(kCrLf) + ":");
  WriteStatus(SessionState::kTcl, "OK: " + verb);
}

void Port::RunTclVerb(const std::string& line) {
  const std::string crlf(kCrLf);
  const std::string v = UpperCase(TrimBlanks(line));
  try {
    if (v.empty()) {
      // An empty line is no command: just the prompt again.
      terminal_.SetState(SessionState::kTcl);
      SendResponse(crlf + ":");
      return;
    }
    if (v == "WHO") {
      SendResponse(crlf + ShownText(login_.UserInst() + " " + account_.Account()));
    } else if (StartsWith(v, "SWRITE ")) {
      // SWRITE key value: the value keeps its blanks.
      std::string_view rest = TrimBlanks(line);
      rest.remove_prefix(rest.find(' ') + 1);
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      const std::size_t blank = rest.find(' ');
      if (blank == std::string_view::npos) throw VbError(vberr::kInvalidProcedureCall);
      xCommon_->SetItem(Variant(std::string(rest.substr(0, blank))),
                        Variant(std::string(rest.substr(blank + 1))));
      SendResponse(crlf + "OK" + crlf);
    } else if (StartsWith(v, "ECHO ")) {
      std::string sentence = line;
      SendResponse(crlf + ExecutePS(sentence) + crlf);
    } else if (StartsWith(v, "LISTA")) {
      std::string sentence = "LISTA";
      const std::string list = ExecutePS(sentence);
      if (list.empty()) {
        SendResponse(crlf + errorDetail_ + crlf + ":");
      } else {
        SendResponse(Listing("LISTA = List of Accounts/Databases", list));
      }
    } else if (StartsWith(v, "LISTF")) {
      account_.LoadTableList();
      if (account_.TableList().empty()) {
        SendResponse(crlf + "[910] no files found in this account" + crlf);
      } else {
        SendResponse(Listing("LISTF = List of Files/Tables", account_.TableList()));
      }
    } else if (StartsWith(v, "LISTU")) {
      WriteStatus(SessionState::kTcl, "LISTU");
      if (!login_.IsAdministrator()) {
        SendResponse("NOT AVAILABLE: you do not have the necessary security" + crlf +
                     "privileges to run a LISTU.  See your admin/systems people." + crlf + crlf);
      } else {
        std::string report = crlf + "Me UserInstance  CnID Account       " +
                             login_.ListTimeTitle() + "State   Actions " + crlf +
                             "== ============= ==== ============= ====== ======= "
                             "===============================" +
                             crlf;
        for (const std::string& row : SplitAt(ListProcesses(), kAttributeMark)) {
          if (row.empty()) continue;
          // Status lines hold what users typed: shown, never obeyed.
          std::vector<std::string> f = SplitAt(ShownText(row), kValueMark);
          f.resize(6);
          report += (f[0] == login_.UserInst() ? "** " : "   ") + Column(f[0], 13) + " " +
                    RightColumn(f[1], 4) + " " + Column(f[2], 13) + " " + RightColumn(f[3], 6) +
                    " " + Column(f[4], 7) + " " + f[5] + crlf;
        }
        report += crlf + ":";
        if (termType_ == "VBGUI")
          report = "<TERMINAL><ATF @=-1><POSITION TOP=0 LEFT=0>LISTU" + crlf + report + "</TX>";
        SendResponse(report);
      }
    } else if (StartsWith(v, "SELECT ")) {
      queryRecordset_.reset();
      bool opened;
      {
        const TypedSql typed(login_.IsAdministrator(),
                             {account_.Connection().get(), account_.SystemConnection().get()});
        opened = RsOOpen(line, queryRecordset_);
      }
      if (!opened) {
        SendResponse(crlf + errorDetail_ + crlf + ":");
      } else if (queryRecordset_->AtEOF()) {
        SendResponse(crlf + "Query ResultSet is Empty eg empty table." + crlf + ":");
      } else {
        if (termType_ == "VBGUI") {
          ShowQueryRecord(line);
        } else {
          PageOutput();
          SendResponse(crlf + ":");
        }
        return;  // the paging states take the next key
      }
    } else if (StartsWith(v, "REPLACE ") || StartsWith(v, "INSERT ") || StartsWith(v, "DELETE ") ||
               StartsWith(v, "ALTER ") || StartsWith(v, "DROP ")) {
      Driver& connection = account_.Required();
      std::int64_t n;
      {
        const TypedSql typed(login_.IsAdministrator(),
                             {&connection, account_.SystemConnection().get()});
        n = connection.Execute(line);
      }
      ForgetTableShapes();
      SendResponse(crlf + "OK: " + std::to_string(n) + " records affected" + crlf + ":");
    } else if (StartsWith(v, "CREATE") || StartsWith(v, "TERM ")) {
      std::string sentence = line;
      std::string answer;
      {
        const TypedSql typed(login_.IsAdministrator(),
                             {account_.Connection().get(), account_.SystemConnection().get()});
        answer = ExecutePS(sentence);
      }
      SendResponse(crlf + answer + errorDetail_ + crlf + ":");
    } else if (StartsWith(v, "SHOW ")) {
      // The table as typed: a store whose names keep their case finds it.
      ShowTable(std::string(TrimBlanks(std::string_view(TrimBlanks(line)).substr(5))));
      return;
    } else if (StartsWith(v, "DATABASE") || StartsWith(v, "ACCOUNT") || StartsWith(v, "LOGTO")) {
      if (v.find(' ') == std::string::npos) {
        SendResponse(crlf + "Syntax error in LOGTO statement, there should be " + crlf +
                     "one SPACE between LOGTO and accountname." + crlf);
      } else {
        const std::string_view trimmed = TrimBlanks(line);
        const std::string name(trimmed.substr(trimmed.find(' ') + 1));
        if (ConnectAccount(name)) {
          SendResponse(crlf + "OK - you are now working in account \"" + name + "\"" + crlf);
        } else {
          SendResponse(crlf + "LOGTO request failed:" + crlf + errorDetail_ + crlf);
        }
      }
    } else if (v == "EXIT" || v == "OFF" || v == "LO") {
      SendResponse(kPortDisconnect);
    } else {
      // A program: scheduled now, run by the deferred runner, which also ends the verb.
      errorDetail_.clear();
      XRun(line);
      WriteStatus(SessionState::kVerb, v);
      programs_.SetRunning(true);
      return;
    }
    ClosingStep(v);
  } catch (...) {
    const std::string message = CurrentExceptionMessage();
    SendResponse("ERROR: " + message + crlf + ":");
    terminal_.SetState(SessionState::kTcl);
    WriteStatus(SessionState::kTcl, "ERROR with " + v);
  }
}

}  // namespace orvik
