// Programmatic sentences: what programs and the TCL interpreter hand ExecutePS.

#include <filesystem>

#include "driver_factory.h"
#include "layout.h"
#include "port.h"
#include "sqlite_driver.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::size_t kSelectRation = 1000000;
// Within what every datastore allows in one table.
constexpr std::int32_t kMaxAttributeColumns = 1000;

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
  const auto connection = [this]() -> Driver& {
    if (!connection_)
      throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
    return *connection_;
  };

  if (verb == "LOGIN" || verb == "LOGON") {
    SetMsState("ERROR_EXIT");
    loginUser_ = LowerCase(Word(words, 1));
    loginPassword_ = LowerCase(Word(words, 2));
    if (!ConnectAccount("dm") || !ValidateLogin()) return "ERROR";
    SetMsState("TCL");
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
    if (second == "ACCOUNT") {
      std::vector<std::string> rewritten = words;
      rewritten[1] = "DATABASE";
      // Named as connections will name it (StatementName).
      if (rewritten.size() > 2) rewritten[2] = StatementName(settings_.dataStore, rewritten[2]);
      sentence.clear();
      for (const std::string& w : rewritten) sentence += (sentence.empty() ? "" : " ") + w;
      if (settings_.dataStore == "JET") {
        // The embedded store keeps an account as a file of its own.
        SqliteDriver::CreateAccount(home_, Word(words, 2));
        return "0";
      }
      return std::to_string(connection().Execute(sentence));
    }
    if (second == "FILE") return CreateFile(sentence, words);
    errorDetail_ = "[962] syntax error in CREATE FILE|ACCOUNT|TABLE|DATABASE";
    return "ERROR";
  }
  if (verb == "PRINTER") return PrinterSentence(words);
  if (OneOf(verb, {"SP-ASSIGN", "SP_ASSIGN", "SP.ASSIGN"})) return SpAssign(words);
  if (OneOf(verb, {"DEV-MAKE", "DEV_MAKE", "DEV.MAKE"})) return DevMake(words);
  if (verb == "ECHO") {
    const std::string w = UpperCase(Word(words, 1));
    if (OneOf(w, {"ON", "TRUE", "1", "-1"})) {
      echoOn_ = true;
    } else if (OneOf(w, {"OFF", "FALSE", "0"})) {
      echoOn_ = false;
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
  if (verb == "WHO") return userInst_ + " " + account_;
  if (verb == "USER") {
    const std::int32_t n = Variant(Word(words, 1)).ToLong();
    if (n < 0 || static_cast<std::size_t>(n) >= userRow_.size())
      throw VbError(vberr::kSubscriptOutOfRange);
    return userRow_[n];
  }
  if (verb == "USERINST") return userInst_;
  if (verb == "ACCOUNT") return account_;
  if (verb == "LISTU") return ListProcesses();
  if (OneOf(verb, {"LISTF", "LISTFILE", "LISTFILES", "LIST_FILES", "LIST.FILES", "LIST-FILES"})) {
    LoadTableList();
    if (tableList_.empty()) {
      errorDetail_ = "[910] no files found in this account";
      return "ERROR";
    }
    return tableList_.size() < 2 ? std::string() : tableList_.substr(1, tableList_.size() - 2);
  }
  if (verb == "LISTA") return ListAccounts();

  // Anything else is SQL for the datastore.
  connection().Execute(sentence);
  ForgetTableShapes();
  return "OK";
}

std::string Port::QuerySentence(const std::string& sentence) {
  auto rs = std::make_shared<Recordset>();
  if (!connection_)
    throw VbError(rserr::kObjectClosed, "Operation is not allowed when the object is closed.");
  rs->Open(connection_, sentence);
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

std::string Port::ListAccounts() {
  const std::string& kind = settings_.dataStore;
  if (kind == "JET") {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(home_ + "/JetMDB", ec)) {
      const std::string file = entry.path().filename().string();
      if (entry.path().extension() != ".db") continue;
      names.push_back(file.substr(0, file.find('.')));
      if (names.size() > 100) break;
    }
    if (names.empty()) {
      errorDetail_ = "[909] No Accounts/Databases found";
      return {};
    }
    std::string out;
    for (const std::string& n : names)
      out += (out.empty() ? "" : std::string(1, kAttributeMark)) + n;
    return out;
  }
  if (kind != "MYSQL" && kind != "MSSQL") return "ERROR";
  auto rs = std::make_shared<Recordset>();
  rs->Open(connection_,
           kind == "MYSQL" ? "show databases" : "SELECT name FROM master..sysdatabases");
  std::string out =
      rs->AtEOF() ? std::string() : rs->GetString("\t", std::string(1, kAttributeMark));
  if (!out.empty()) out.pop_back();
  return out;
}

std::string Port::CreateFile(std::string& sentence, const std::vector<std::string>& words) {
  std::string name = Word(words, 2);
  if (!name.empty() && name.back() == ';') name.pop_back();
  for (char& c : name) {
    if (c == ',') c = '.';
  }
  // A name qualified with an account creates the file there.
  std::string account = account_, file = name;
  if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
    account = name.substr(0, dot);
    file = name.substr(dot + 1);
  }
  const std::string& kind = settings_.dataStore;
  // "MD", however qualified, is the current account's master dictionary.
  const bool masterDictionary = UpperCase(file) == "MD";
  const std::shared_ptr<Driver> driver = ConnectionFor(masterDictionary ? account_ : account);
  const auto run = [&](const std::string& statement) {
    sentence = statement;
    driver->Execute(statement);
  };
  if (masterDictionary) {
    run(FileTableSql(kind, TableTemplate::kMasterDictionary, "md"));
  } else {
    // A file's table names go into statements as they stand.
    if (!IsPlainIdentifier(file)) {
      throw VbError(dberr::kBadName, "Invalid file name \"" + name + "\"");
    }
    if (kind != "JET") CheckAccountName(account);
    const std::string table = kind == "MYSQL" ? StatementName(kind, account + "." + file)
                              : kind == "MSSQL" && account != account_ ? account + ".." + file
                                                                       : file;
    const std::string size = words.size() > 3 ? words[3] : std::string();
    if (!size.empty() && IsNumeric(Variant(size))) {
      const std::int32_t columns = Variant(size).ToLong();
      if (columns < 1 || columns > kMaxAttributeColumns) {
        throw VbError(vberr::kInvalidProcedureCall,
                      "A file holds 1 to " + std::to_string(kMaxAttributeColumns) + " attributes");
      }
      run(FileTableSql(kind, TableTemplate::kDataColumns, table, columns));
      if (words.size() > 4) run(FileTableSql(kind, TableTemplate::kDictionary, table));
    } else if (UpperCase(size) == "N") {
      run(FileTableSql(kind, TableTemplate::kDataItem, table));
      run(FileTableSql(kind, TableTemplate::kDictionary, table));
      run(FileTableSql(kind, TableTemplate::kControlItem, table));
    } else {
      run(FileTableSql(kind, TableTemplate::kDictionary, table));
    }
  }
  ForgetTableShapes();
  if (account == account_) LoadTableList();
  return "OK";
}

}  // namespace orvik
