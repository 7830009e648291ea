#include "password_hash.h"

#include <crypt.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

// bcrypt at a work factor of 8: about 13 ms a hash here, so that a login reaches its prompt
// within the 30 ms a user expects, while a copy of the users table is still slow to attack.
// Its 4 KiB of state stays in each processor's own cache, so logins that come together hash
// side by side on every core; yescrypt, memory-hard, is bound by the memory bus instead, and
// on a virtual machine eight of its hashes at once ran no faster than three one after the
// other. bcrypt reads at most 72 bytes of a password, far more than a login's password is.
constexpr const char* kMethod = "$2b$";
constexpr unsigned long kCost = 8;

// crypt_rn's working space is some 32 KB: too much for a thread's stack.
struct CryptSpace {
  crypt_data data{};
};

// crypt of `password` with `setting` (a hash or a new salt); empty when crypt refuses the
// setting. A password holding NUL would be cut short by crypt, so it never hashes.
std::string Crypt(std::string_view password, const char* setting) {
  if (password.find('\0') != std::string_view::npos) return {};
  const std::string text(password);
  auto space = std::make_unique<CryptSpace>();
  const char* out = crypt_rn(text.c_str(), setting, &space->data, sizeof space->data);
  // Failures give NULL, or a text starting with '*' that can never match a stored hash.
  if (out == nullptr || out[0] != '$') return {};
  return out;
}

// Compares two texts in a time that does not depend on where they differ.
bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// A new hash's setting: the method, its cost and a fresh salt.
std::string NewSetting() {
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  // No random bytes given: the library takes them from the system.
  if (crypt_gensalt_rn(kMethod, kCost, nullptr, 0, setting, sizeof setting) == nullptr) {
    throw VbError(vberr::kPermissionDenied,
                  std::string("Cannot make a password salt: ") + std::strerror(errno));
  }
  return setting;
}

// What every hash made now starts with, the method and its cost before the salt: a stored
// hash without it is made again at a login.
const std::string& CurrentPrefix() {
  static const std::string prefix = [] {
    const std::string setting = NewSetting();
    return setting.substr(0, setting.find('$', setting.find('$', 1) + 1) + 1);
  }();
  return prefix;
}

}  // namespace

std::string HashPassword(std::string_view password) {
  if (password.find('\0') != std::string_view::npos)
    throw VbError(vberr::kInvalidProcedureCall, "A password may not hold a NUL character");
  std::string hash = Crypt(password, NewSetting().c_str());
  if (hash.empty()) throw VbError(vberr::kOutOfMemory, "Cannot hash the password");
  return hash;
}

PasswordCheck CheckPassword(std::string_view typed, std::string_view stored) {
  if (typed.find('\0') != std::string_view::npos) return PasswordCheck::kWrong;
  if (!stored.empty() && stored.front() == '$') {
    const std::string setting(stored);
    const std::string hash = Crypt(typed, setting.c_str());
    // A hash crypt knows: only the hash of the typed password matches it.
    if (!hash.empty()) {
      if (!SameText(hash, stored)) return PasswordCheck::kWrong;
      return stored.starts_with(CurrentPrefix()) ? PasswordCheck::kMatches
                                          : PasswordCheck::kMatchesOutdated;
    }
  }
  // Kept in clear from before: compared as it always was, without regard to case.
  return SameText(LowerCase(stored), typed) ? PasswordCheck::kMatchesStoredClear
                                            : PasswordCheck::kWrong;
}

}  // namespace orvik
