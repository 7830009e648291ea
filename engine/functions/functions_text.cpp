// The small text and field members of Functions.

#include <bitset>
#include <chrono>
#include <cmath>

#include "byte_scan.h"
#include "event_wait.h"
#include "functions.h"
#include "numbers.h"
#include "vb_error.h"

namespace orvik {

Variant Functions::PropertyParse(const Variant& s, const Variant& property,
                                 const Variant& delimiter) {
  std::string heldText, heldName, heldDelimiter;
  const std::string_view text = s.TextView(heldText);
  const std::string_view name = property.TextView(heldName);
  const std::string_view delim = delimiter.TextView(heldDelimiter);
  std::string needle;
  needle.reserve(name.size() + 1);
  needle.append(name).push_back('=');
  const std::size_t b = FindNoCase(text, needle);
  if (b == std::string::npos) return {};
  const std::size_t d = b + name.size() + 1;
  // The delimiter is searched from the start of the name, not of the value: one that falls
  // between the two makes a negative length, which the platform rejected as an argument.
  const std::size_t c = FindExact(text, delim, b);
  if (c == std::string::npos) return Variant(text.substr(d));
  if (c < d) throw VbError(vberr::kInvalidProcedureCall);
  return Variant(text.substr(d, c - d));
}

std::string Functions::SegmentReplace(std::string_view text, std::string_view find,
                                      std::string_view repl) const {
  // An empty search text would match everywhere for ever; there is nothing to replace.
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t a = 0;
  for (;;) {
    const std::size_t b = FindExact(text, find, a);
    if (b == std::string_view::npos) break;
    out.append(text, a, b - a);
    out.append(repl);
    CheckTextLength(out.size());
    a = b + find.size();
  }
  out.append(text, a, std::string_view::npos);
  return out;
}

void Functions::Sleep(double seconds) const {
  if (!(seconds > 0)) return;
  const auto span = std::chrono::duration_cast<SteadyClock::duration>(
      std::chrono::duration<double>(std::min(seconds, 1e9)));
  const std::atomic<bool>* stop = stop_;
  PumpEventsUntil(SteadyClock::now() + span, [stop] { return stop != nullptr && stop->load(); });
}

Variant Functions::DCount(std::string_view s, std::string_view delimiter) const {
  if (delimiter.empty()) return Variant(static_cast<std::int32_t>(s.size() + 1));
  std::int32_t count = 0;
  // Overlapping matches of a longer delimiter all count ('aaa' holds 'aa' twice).
  OccurrenceScan scan(s, delimiter, OccurrenceScan::Compare::kExact);
  while (scan.Next() != std::string_view::npos) ++count;
  if (!s.empty()) ++count;
  return Variant(count);
}

std::string Functions::Field(std::string_view s, std::string_view delimiter, std::int32_t n) {
  col1_ = 0;
  col2_ = 0;
  if (delimiter.empty()) {
    // Every piece is empty. An empty s has only a first piece, which ends the text.
    if (!s.empty() || n <= 1) {
      col1_ = s.empty() ? -1 : 0;
      col2_ = 1;
    }
    return {};
  }
  std::size_t start = 0;
  std::size_t p = 0;
  if (delimiter.size() == 1) {
    // A mark: counted a block at a time rather than found one call at a time.
    if (n > 1) {
      const std::size_t before = NthByte(s, delimiter[0], static_cast<std::size_t>(n) - 1);
      if (before == std::string_view::npos) return {};
      start = before + 1;
    }
    p = NextByte(s, delimiter[0], start);
  } else {
    for (std::int32_t k = 1; k < n; ++k) {
      p = FindExact(s, delimiter, start);
      if (p == std::string_view::npos) return {};
      start = p + delimiter.size();
    }
    p = FindExact(s, delimiter, start);
  }
  const bool last = p == std::string_view::npos;
  const std::string_view piece = s.substr(start, last ? std::string_view::npos : p - start);
  // The columns describe the first place the piece's text stands in s, which may lie before
  // the piece itself; that place is never after it, so the search ends there.
  const std::string_view before = s.substr(0, start + piece.size());
  const std::size_t first = piece.empty() ? 0 : FirstOccurrence(before, piece);
  col1_ = s.empty() ? -1 : static_cast<std::int32_t>(first);
  col2_ = last ? static_cast<std::int32_t>(s.size() + 1)
               : col1_ + static_cast<std::int32_t>(piece.size()) + 1;
  return std::string(piece);
}

bool Functions::Num(const Variant& s) const {
  if (s.IsEmpty()) return true;
  if (s.IsString()) return s.StringRef().empty() || IsNumeric(s);
  return IsNumeric(s);
}

std::int32_t Functions::Index(std::string_view s, std::string_view find,
                              std::int32_t occurrence) const {
  if (occurrence < 1) return 0;
  // Overlapping occurrences count, as when each search starts one after the last hit.
  OccurrenceScan scan(s, find, OccurrenceScan::Compare::kNoCase);
  std::size_t p = std::string_view::npos;
  for (std::int32_t i = 1; i <= occurrence; ++i) {
    p = scan.Next();
    if (p == std::string_view::npos) return 0;
  }
  return static_cast<std::int32_t>(p + 1);
}

bool Functions::Alpha(std::string_view s) {
  errorDetail_.clear();
  for (char c : s) {
    if (!IsAsciiLetter(c)) return false;
  }
  return true;
}

std::int32_t Functions::Seq(std::string_view s) const {
  return s.empty() ? 255 : static_cast<unsigned char>(s[0]);
}

std::string Functions::SStr(std::string_view s, std::int32_t n) {
  if (s.empty() || n < 0) return {};
  if (static_cast<std::size_t>(n) > kMaxTextLength) {
    // The one failure worth telling: the caller asked for more text than may be built.
    errorDetail_ =
        NumberedMessage(vberr::kOutOfStringSpace, StandardErrorText(vberr::kOutOfStringSpace));
    return {};
  }
  return std::string(static_cast<std::size_t>(n), s[0]);
}

std::string Functions::CConvert(std::string_view s, std::string_view from,
                                std::string_view to) const {
  if (from.empty()) return std::string(s);
  // The pairs apply one after another to the running result, so a character produced by
  // an earlier pair is translated again by a later one. A 256-entry map composed pair by
  // pair gives the same result in one pass over the text. It is kept as the set of
  // characters that end as each byte, so that a pair moves one set into another in a few
  // words: walking the whole map at every pair made a long `from` cost 256 steps a byte.
  std::bitset<256> endingAs[256];
  std::bitset<256> deleted;
  for (std::size_t c = 0; c < 256; ++c) endingAs[c].set(c);
  for (std::size_t i = 0; i < from.size(); ++i) {
    const auto src = static_cast<unsigned char>(from[i]);
    if (i >= to.size()) {
      deleted |= endingAs[src];
      endingAs[src].reset();
    } else if (const auto dst = static_cast<unsigned char>(to[i]); dst != src) {
      endingAs[dst] |= endingAs[src];
      endingAs[src].reset();
    }
  }
  int map[256];
  for (std::size_t c = 0; c < 256; ++c) {
    map[c] = -1;
    for (std::size_t v = 0; v < 256 && !deleted.test(c); ++v) {
      if (endingAs[v].test(c)) {
        map[c] = static_cast<int>(v);
        break;
      }
    }
  }
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    const int m = map[static_cast<unsigned char>(c)];
    if (m >= 0) out.push_back(static_cast<char>(m));
  }
  return out;
}

}  // namespace orvik
