// The hand-written side's password check: the stored hash is crypt's own text, so crypt of
// the typed password with it as the setting gives it back when the password is right.

#ifndef ORVIK_BENCH_PLAIN_PASSWORD_H_
#define ORVIK_BENCH_PLAIN_PASSWORD_H_

#include <string>

namespace orvik::bench {

bool PlainPasswordMatches(const std::string& typed, const std::string& storedHash);

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_PLAIN_PASSWORD_H_
