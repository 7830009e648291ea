// OvEngLink, the client program. It hosts no engine port and draws no screen yet: those come
// with the later parts of the client. Until then it says so and fails, so that nothing
// mistakes it for a working client.

#include <cstdio>

#include "about.h"

int main() {
  std::fprintf(stderr, "OvEngLink %s: the client cannot run yet.\n",
               orvik::client::VersionText().c_str());
  return 1;
}
