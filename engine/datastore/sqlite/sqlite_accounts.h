// The account space of the embedded store (account_space.h): each account is a file of the
// home, JetMDB/<account>.db (SqliteDriver::AccountFile), with a connection of its own. The
// item locks' file lies among them and is none of them.

#ifndef ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_ACCOUNTS_H_
#define ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_ACCOUNTS_H_

#include "account_space.h"

namespace orvik {

const AccountSpace& SqliteAccounts();

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SQLITE_SQLITE_ACCOUNTS_H_
