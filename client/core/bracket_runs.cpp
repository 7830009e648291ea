#include "bracket_runs.h"

#include <algorithm>

#include "engine_protocol.h"
#include "text.h"

namespace orvik::client {
namespace {

using protocol::kEndOfTransmission;

// Whether the end marker starts at `at`.
bool EndMarkerAt(std::string_view text, std::size_t at) {
  return at + kEndOfTransmission.size() <= text.size() &&
         EqualsNoCase(text.substr(at, kEndOfTransmission.size()), kEndOfTransmission);
}

}  // namespace

std::string BracketRuns(std::string_view text) {
  std::string out(text);
  BracketRunsFrom(out, 0);
  return out;
}

// In place: a run is judged on the text as the runs before it left it, which never touch
// the "<" of an end marker that a ">" run looks back to.
void BracketRunsFrom(std::string& out, std::size_t start) {
  const std::string_view text = out;
  std::size_t i = std::min(start, out.size());
  while (i > 0 && (out[i - 1] == '<' || out[i - 1] == '>')) --i;
  while (i < out.size()) {
    const char bracket = out[i];
    if (bracket != '<' && bracket != '>') {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < out.size() && out[end] == bracket) ++end;
    std::size_t from = i;
    std::size_t to = end;
    if (bracket == '<' && EndMarkerAt(text, end - 1)) --to;
    if (bracket == '>' && i + 1 >= kEndOfTransmission.size() &&
        EndMarkerAt(text, i + 1 - kEndOfTransmission.size()))
      ++from;
    if (to - from >= 2 || (to - from == 1 && end - i >= 2)) {
      for (std::size_t k = from; k < to; ++k) out[k] = '*';
    }
    i = end;
  }
}

}  // namespace orvik::client
