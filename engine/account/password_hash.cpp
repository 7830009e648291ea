#include "password_hash.h"

#include <crypt.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "text.h"
#include "vb_error.h"

namespace orvik {
namespace {

// yescrypt: memory-hard, and the system's own default for login passwords.
constexpr const char* kMethod = "$y$";
// The cost of a new hash: 4 MiB and about 13 ms here, so a copy of the users table is still
// slow to attack, while a login is answered as soon as a user expects (the library's default
// takes over 50 ms). Hashes made at another cost keep theirs: it is part of the stored text.
constexpr unsigned long kCost = 3;

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

}  // namespace

std::string HashPassword(std::string_view password) {
  if (password.find('\0') != std::string_view::npos)
    throw VbError(vberr::kInvalidProcedureCall, "A password may not hold a NUL character");
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  // No random bytes given: the library takes them from the system.
  if (crypt_gensalt_rn(kMethod, kCost, nullptr, 0, setting, sizeof setting) == nullptr) {
    throw VbError(vberr::kPermissionDenied,
                  std::string("Cannot make a password salt: ") + std::strerror(errno));
  }
  std::string hash = Crypt(password, setting);
  if (hash.empty()) throw VbError(vberr::kOutOfMemory, "Cannot hash the password");
  return hash;
}

PasswordCheck CheckPassword(std::string_view typed, std::string_view stored) {
  if (typed.find('\0') != std::string_view::npos) return PasswordCheck::kWrong;
  if (!stored.empty() && stored.front() == '$') {
    const std::string setting(stored);
    const std::string hash = Crypt(typed, setting.c_str());
    // A hash crypt knows: only the hash of the typed password matches it.
    if (!hash.empty())
      return SameText(hash, stored) ? PasswordCheck::kMatches : PasswordCheck::kWrong;
  }
  // Kept in clear from before: compared as it always was, without regard to case.
  return SameText(LowerCase(stored), typed) ? PasswordCheck::kMatchesStoredClear
                                            : PasswordCheck::kWrong;
}

}  // namespace orvik
