// Passwords of the embedded store's users table, kept as salted slow hashes.
//
// The users table's password column holds what HashPassword made: the system's crypt with
// bcrypt (a "$2b$..." setting, random salt, a cost chosen in the .cpp), so that a copy of
// the account file gives nobody the passwords. Hashes of another method or cost (yescrypt,
// made before) still log in, and the caller stores a new hash in their place. Passwords
// compare without regard to case, as they always have: callers hand in the password
// lower-cased, both when hashing and when checking. A value that crypt does not take for a
// hash is a password still kept in clear from before hashing; it still logs in, and the
// caller stores a hash in its place.
//
// Any thread may call these; text is the system's bytes. Failures of the crypt library
// itself (no randomness, no memory) are thrown as VbError.

#ifndef ORVIK_ENGINE_DATASTORE_PASSWORD_HASH_H_
#define ORVIK_ENGINE_DATASTORE_PASSWORD_HASH_H_

#include <string>
#include <string_view>

namespace orvik {

// A new salted hash of `password` (already lower-cased).
std::string HashPassword(std::string_view password);

enum class PasswordCheck {
  kWrong,
  kMatches,             // the stored hash matches
  kMatchesOutdated,     // the stored hash matches, made another way: store a new hash instead
  kMatchesStoredClear,  // the stored value is the password in clear: store a hash instead
};

// Compares a typed password (lower-cased) with the value the users table holds.
PasswordCheck CheckPassword(std::string_view typed, std::string_view stored);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_PASSWORD_HASH_H_
