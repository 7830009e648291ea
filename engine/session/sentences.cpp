// Programmatic sentences: what programs and the TCL interpreter hand ExecutePS.

#include "account_schema.h"
#include "layout.h"
#include "sentence_words.h"
#include "session.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::size_t kSelectRation = 1000000;

}  // namespace

std::string Session::ExecutePS(std::string& sentence) {
  errorDetail_.clear();
  std::string_view trimmed = TrimBlanks(sentence);
  if (!trimmed.empty() && trimmed.back() == ';')
    trimmed = TrimBlanks(trimmed.substr(0, trimmed.size() - 1));
  sentence = std::string(trimmed);

  std::vector<std::string> words = Words(sentence);
  if (!words.empty()) {
    const std::string first = UpperCase(words[0]);
    if (first == "CREATE.FILE" || first == "CREATE_FILE" || first == "CREATE-FILE") {
      words[0] = "CREATE";
      words.insert(words.begin() + 1, "FILE");
    }
  }
  try {
    return RunSentence(sentence, words);
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return "ERROR";
  }
}

std::string Session::RunSentence(std::string& sentence, const std::vector<std::string>& words) {
  AccountConnection& account = parts_.account;
  const Login& login = parts_.login;
  const std::string verb = words.empty() ? std::string() : UpperCase(words[0]);

  if (verb == "LOGIN" || verb == "LOGON") {
    parts_.terminal.SetState(SessionState::kErrorExit);
    account.SetLoginUser(LowerCase(WordAt(words, 1)));
    account.SetLoginPassword(LowerCase(WordAt(words, 2)));
    if (!Note(account.Connect(std::string(kSystemAccount)))) return "ERROR";
    if (!Report(parts_.login.Validate(parts_.terminal.StateText()))) return "ERROR";
    parts_.terminal.SetState(SessionState::kTcl);
    return "OK";
  }
  if (verb == "USE" || verb == "CONNECT" || verb == "LOGTO") {
    return Note(account.Connect(WordAt(words, 1))) ? "OK" : "ERROR";
  }
  if (verb == "TO") {
    const std::int64_t n = account.Required().Execute(sentence);
    account.ForgetTableShapes();
    return std::to_string(n);
  }
  if (verb == "SELECT" || verb == "DESCRIBE") return QuerySentence(sentence);
  if (verb == "CREATE") {
    const std::string second = UpperCase(WordAt(words, 1));
    if (second == "TABLE" || second == "DATABASE") {
      const std::int64_t n = account.Required().Execute(sentence);
      account.ForgetTableShapes();
      return std::to_string(n);
    }
    if (second == "ACCOUNT") return CreateAccount(account, words, sentence);
    if (second == "FILE") {
      CreateFile(account, WordAt(words, 2), words.size() > 3 ? words[3] : std::string(),
                 words.size() > 4, sentence);
      return "OK";
    }
    Report(Status::Error(962, "syntax error in CREATE FILE|ACCOUNT|TABLE|DATABASE"));
    return "ERROR";
  }
  if (verb == "PRINTER") return PrinterSentence(words);
  if (OneOf(verb, {"SP-ASSIGN", "SP_ASSIGN", "SP.ASSIGN"})) return SpAssign(words);
  if (OneOf(verb, {"DEV-MAKE", "DEV_MAKE", "DEV.MAKE"})) return DevMake(words);
  if (verb == "ECHO") {
    const std::string w = UpperCase(WordAt(words, 1));
    if (OneOf(w, {"ON", "TRUE", "1", "-1"})) {
      parts_.terminal.SetEcho(true);
    } else if (OneOf(w, {"OFF", "FALSE", "0"})) {
      parts_.terminal.SetEcho(false);
    } else {
      Report(Status::Error(961, "syntax error in ECHO ON|OFF"));
      return "ERROR";
    }
    return "OK";
  }
  if (verb == "TERM") {
    const std::string type = UpperCase(TrimBlanks(WordAt(words, 1)));
    static constexpr std::string_view kKnown[] = {"VBGUI",  "MM-MON",  "MMMON",   "VT100",
                                                  "VT-100", "VT100+C", "VT-100+C"};
    for (const std::string_view k : kKnown) {
      if (type == k) {
        termType_ = type;
        return "OK";
      }
    }
    // The user who mistyped is told what he has and what he may ask for.
    std::string known;
    for (const std::string_view k : kKnown) known += (known.empty() ? "" : ", ") + std::string(k);
    Report(Status::Error(970, "Unknown TermType, so continuing with " +
                                  (termType_.empty() ? std::string("none") : termType_) +
                                  " (known: " + known + ")"));
    return "ERROR";
  }
  if (verb == "WHO") return login.UserInst() + " " + account.Account();
  if (verb == "USER") {
    const std::int32_t n = Variant(WordAt(words, 1)).ToLong();
    if (n < 0 || static_cast<std::size_t>(n) >= login.UserRow().size())
      throw VbError(vberr::kSubscriptOutOfRange);
    return login.UserRow()[n];
  }
  if (verb == "USERINST") return login.UserInst();
  if (verb == "ACCOUNT") return account.Account();
  if (verb == "LISTU") {
    std::string list;
    Note(parts_.login.ListProcesses(&list));
    return list;
  }
  if (OneOf(verb, {"LISTF", "LISTFILE", "LISTFILES", "LIST_FILES", "LIST.FILES", "LIST-FILES"})) {
    account.LoadTableList();
    const std::string& list = account.TableList();
    if (list.empty()) {
      Report(NoFiles());
      return "ERROR";
    }
    return list.size() < 2 ? std::string() : list.substr(1, list.size() - 2);
  }
  if (verb == "LISTA") {
    std::string list;
    Note(ListAccounts(account, &list));
    return list;
  }

  // Anything else is SQL for the datastore.
  account.Required().Execute(sentence);
  account.ForgetTableShapes();
  return "OK";
}

std::string Session::QuerySentence(const std::string& sentence) {
  auto rs = std::make_shared<Recordset>();
  parts_.account.Required();  // raises when there is no connection
  rs->Open(parts_.account.Connection(), sentence);
  const int n = rs->FieldCount();
  // SelectArray(field, row): row 0 stays empty; rows 1.. hold the records as text.
  VariantArray fields(n, Variant(VariantArray{Variant(std::string())}));
  std::size_t total = 0;
  int rows = 0;
  for (;;) {
    if (rs->AtEOF()) {
      if (rows == 0) rs->Value(0);  // an empty result fails as reading past the end does
      break;
    }
    if (rows > 0 && total > kSelectRation) {
      errorDetail_ = Status::Warning(921,
                                     "excessive quantity of data in recordset, output "
                                     "rationed to 1 Meg")
                         .Message();
      break;
    }
    ++rows;
    for (int c = 0; c < n; ++c) {
      const DbValue& v = rs->Value(c);
      std::string text = v ? *v : std::string();
      total += text.size();
      fields[c].ArrayRef().push_back(Variant(std::move(text)));
    }
    rs->MoveNext();
  }
  selectArray_ = Variant(std::move(fields));
  return std::to_string(n - 1) + kAttributeMark + std::to_string(rows);
}

}  // namespace orvik
