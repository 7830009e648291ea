#include "terminal_keys.h"

namespace orvik::console {

void TerminalKeys::Translate(std::string& chunk) {
  if (chunk.empty()) return;
  const bool endsInCr = chunk.back() == '\r';
  std::string::size_type out = 0;
  bool previousCr = afterCr_;  // the byte before this one, as received, was CR
  for (std::string::size_type i = 0; i < chunk.size(); ++i) {
    char c = chunk[i];
    const bool isCr = c == '\r';
    if (c == '\n') {
      if (previousCr && i == 0) {
        previousCr = false;
        continue;  // the pair's CR went with the chunk before
      }
      if (!previousCr) c = '\r';
    } else if (c == '\x7f') {
      c = '\b';
    }
    previousCr = isCr;
    chunk[out++] = c;
  }
  chunk.resize(out);
  afterCr_ = endsInCr;
}

}  // namespace orvik::console
