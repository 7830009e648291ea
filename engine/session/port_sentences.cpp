// Programmatic sentences: what programs and the TCL interpreter hand ExecutePS.

#include "account_schema.h"
#include "port.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::size_t kSelectRation = 1000000;

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) out.emplace_back(text.substr(start, i - start));
  }
  return out;
}

bool OneOf(const std::string& word, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (word == n) return true;
  }
  return false;
}

const std::string& Word(const std::vector<std::string>& words, std::size_t i) {
  if (i >= words.size()) throw VbError(vberr::kSubscriptOutOfRange);
  return words[i];
}

}  // namespace

std::string Port::ExecutePS(std::string& sentence) {
  errorDetail_.clear();
  std::string_view trimmed = TrimBlanks(sentence);
  if (!trimmed.empty() && trimmed.back() == ';')
    trimmed = TrimBlanks(trimmed.substr(0, trimmed.size() - 1));
  sentence = std::string(trimmed);

  // Every run of blanks counts as one, so that words never shift.
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

std::string Port::RunSentence(std::string& sentence, const std::vector<std::string>& words) {
  const std::string verb = words.empty() ? std::string() : UpperCase(words[0]);
  const auto connection = [this]() -> Driver& { return account_.Required(); };

  if (verb == "LOGIN" || verb == "LOGON") {
    terminal_.SetState(SessionState::kErrorExit);
    account_.SetLoginUser(LowerCase(Word(words, 1)));
    account_.SetLoginPassword(LowerCase(Word(words, 2)));
    if (!ConnectAccount("dm") || !ValidateLogin()) return "ERROR";
    terminal_.SetState(SessionState::kTcl);
    return "OK";
  }
  if (verb == "USE" || verb == "CONNECT" || verb == "LOGTO") {
    ConnectAccount(Word(words, 1));
    return errorDetail_.empty() ? "OK" : "ERROR";
  }
  if (verb == "TO") {
    const std::int64_t n = connection().Execute(sentence);
    ForgetTableShapes();
    return std::to_string(n);
  }
  if (verb == "SELECT" || verb == "DESCRIBE") return QuerySentence(sentence);
  if (verb == "CREATE") {
    const std::string second = UpperCase(Word(words, 1));
    if (second == "TABLE" || second == "DATABASE") {
      const std::int64_t n = connection().Execute(sentence);
      ForgetTableShapes();
      return std::to_string(n);
    }
    if (second == "ACCOUNT") return CreateAccount(account_, words, sentence);
    if (second == "FILE") {
      CreateFile(account_, Word(words, 2), words.size() > 3 ? words[3] : std::string(),
                 words.size() > 4, sentence);
      return "OK";
    }
    errorDetail_ = "[962] syntax error in CREATE FILE|ACCOUNT|TABLE|DATABASE";
    return "ERROR";
  }
  if (verb == "PRINTER") return PrinterSentence(words);
  if (OneOf(verb, {"SP-ASSIGN", "SP_ASSIGN", "SP.ASSIGN"})) return SpAssign(words);
  if (OneOf(verb, {"DEV-MAKE", "DEV_MAKE", "DEV.MAKE"})) return DevMake(words);
  if (verb == "ECHO") {
    const std::string w = UpperCase(Word(words, 1));
    if (OneOf(w, {"ON", "TRUE", "1", "-1"})) {
      terminal_.SetEcho(true);
    } else if (OneOf(w, {"OFF", "FALSE", "0"})) {
      terminal_.SetEcho(false);
    } else {
      errorDetail_ = "[961] syntax error in ECHO ON|OFF";
      return "ERROR";
    }
    return "OK";
  }
  if (verb == "TERM") {
    const std::string type = UpperCase(TrimBlanks(Word(words, 1)));
    if (OneOf(type, {"VBGUI", "MM-MON", "MMMON", "VT100", "VT-100", "VT100+C", "VT-100+C"})) {
      termType_ = type;
      return "OK";
    }
    errorDetail_ = "[970] Unknown TermType, so continuing with " + termType_;
    return "ERROR";
  }
  if (verb == "WHO") return login_.UserInst() + " " + account_.Account();
  if (verb == "USER") {
    const std::int32_t n = Variant(Word(words, 1)).ToLong();
    if (n < 0 || static_cast<std::size_t>(n) >= login_.UserRow().size())
      throw VbError(vberr::kSubscriptOutOfRange);
    return login_.UserRow()[n];
  }
  if (verb == "USERINST") return login_.UserInst();
  if (verb == "ACCOUNT") return account_.Account();
  if (verb == "LISTU") return ListProcesses();
  if (OneOf(verb, {"LISTF", "LISTFILE", "LISTFILES", "LIST_FILES", "LIST.FILES", "LIST-FILES"})) {
    account_.LoadTableList();
    const std::string& list = account_.TableList();
    if (list.empty()) {
      errorDetail_ = "[910] no files found in this account";
      return "ERROR";
    }
    return list.size() < 2 ? std::string() : list.substr(1, list.size() - 2);
  }
  if (verb == "LISTA") {
    std::string list;
    Note(ListAccounts(account_, &list));
    return list;
  }

  // Anything else is SQL for the datastore.
  connection().Execute(sentence);
  ForgetTableShapes();
  return "OK";
}

std::string Port::QuerySentence(const std::string& sentence) {
  auto rs = std::make_shared<Recordset>();
  account_.Required();  // raises when there is no connection
  rs->Open(account_.Connection(), sentence);
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
      errorDetail_ =
          "WARNING: [921] excessive quantity of data in recordset, output rationed to 1 Meg";
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
