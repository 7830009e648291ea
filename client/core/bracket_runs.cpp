#include "bracket_runs.h"

#include "text.h"

namespace orvik::client {
namespace {

constexpr std::string_view kTxEnd = "</TX>";

// Whether the end marker starts at `at`.
bool EndMarkerAt(std::string_view text, std::size_t at) {
  return at + kTxEnd.size() <= text.size() && EqualsNoCase(text.substr(at, kTxEnd.size()), kTxEnd);
}

}  // namespace

std::string BracketRuns(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size();) {
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
    if (bracket == '>' && i + 1 >= kTxEnd.size() && EndMarkerAt(text, i + 1 - kTxEnd.size()))
      ++from;
    if (to - from >= 2 || (to - from == 1 && end - i >= 2)) {
      for (std::size_t k = from; k < to; ++k) out[k] = '*';
    }
    i = end;
  }
  return out;
}

}  // namespace orvik::client
