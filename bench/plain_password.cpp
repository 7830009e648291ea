#include "plain_password.h"

#include <crypt.h>

#include <memory>

namespace orvik::bench {

bool PlainPasswordMatches(const std::string& typed, const std::string& storedHash) {
  // Some 32 KB of working space: too much for a thread's stack.
  auto space = std::make_unique<crypt_data>();
  const char* out = crypt_rn(typed.c_str(), storedHash.c_str(), space.get(), sizeof *space);
  return out != nullptr && out[0] == '$' && storedHash == out;
}

}  // namespace orvik::bench
