// What the sentences that shape an account ask of its datastore: making files and accounts,
// listing the accounts, and describing a table for SHOW.
//
// Called on the port's thread with the port's AccountConnection; failures are thrown as
// VbError, as the sentences raise them, except where a Status is returned.

#ifndef ORVIK_ENGINE_DATASTORE_ACCOUNT_SCHEMA_H_
#define ORVIK_ENGINE_DATASTORE_ACCOUNT_SCHEMA_H_

#include <string>
#include <vector>

#include "account_connection.h"
#include "status.h"

namespace orvik {

namespace dberr {
inline constexpr int kNoTableInfo = 980;
}  // namespace dberr

// CREATE FILE: the file `name` ("F", "A.F" or "A,F"; "MD" is the current account's master
// dictionary) with `size` attribute columns (a number), as one ITEM column ("N"), or with
// its dictionary alone (anything else); `dictionaryToo` adds the dictionary to a file of
// columns. `lastStatement` is each statement as it is sent.
void CreateFile(AccountConnection& account, std::string name, const std::string& size,
                bool dictionaryToo, std::string& lastStatement);

// CREATE ACCOUNT: the sentence's `words` ("CREATE", "ACCOUNT", name), rewritten into the
// statement that makes the account (`statement`); answers what the datastore counted.
std::string CreateAccount(AccountConnection& account, const std::vector<std::string>& words,
                          std::string& statement);

// The accounts, joined by character 254. A port without a datastore answers "ERROR"
// without a reason.
Status ListAccounts(AccountConnection& account, std::string* list);

// A table as SHOW shows it.
struct TableDescription {
  struct Column {
    std::string field, type, key;
  };
  std::string items;  // how many rows, as the datastore counted them
  std::vector<Column> columns;
  // The query of the dictionary's attribute definitions (A0, A2, A3, A5, A7).
  std::string dictionaryQuery;
};
TableDescription DescribeTable(AccountConnection& account, const std::string& table);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_ACCOUNT_SCHEMA_H_
