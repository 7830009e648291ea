#include "text.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vb_error.h"

namespace orvik {

void CheckTextLength(std::size_t length) {
  if (length > kMaxTextLength) throw VbError(vberr::kOutOfStringSpace);
}

std::vector<std::string> SplitAt(std::string_view text, char mark) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(mark, start);
    out.emplace_back(
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

char UpperChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  // Latin-1 small letters 224..254 map to 192..222, except 247 (division) and 255 (y with
  // diaeresis, whose capital is outside Latin-1). 252..254 are the marks and must survive.
  if (u >= 224 && u <= 251 && u != 247) return static_cast<char>(u - 32);
  return c;
}

char LowerChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
  // The capitals whose small forms are 252..254 stay as they are, so that folding can
  // never create a mark.
  if (u >= 192 && u <= 219 && u != 215) return static_cast<char>(u + 32);
  return c;
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerChar(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size()) return std::string_view::npos;
  if (needle.size() > haystack.size() - from) return std::string_view::npos;
  return OccurrenceScan(haystack, needle, OccurrenceScan::Compare::kNoCase, from).Next();
}

std::size_t FindExact(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  const std::size_t len = haystack.size() - from;
  // Also keeps an empty text's null data pointer away from the C library, which may assume
  // it is never null.
  if (needle.size() > len) return std::string_view::npos;
  const char* base = haystack.data() + from;
  const void* hit = needle.size() == 1 ? std::memchr(base, needle[0], len)
                                       : memmem(base, len, needle.data(), needle.size());
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - haystack.data())
             : std::string_view::npos;
}

namespace {

// A long needle's border table is a large block. Taken and given back on every call, the C
// library hands such a block back to the system at each release, and in a loop of searches
// the page faults then cost more than the searches. So each thread keeps one table, up to a
// bound, for its next scan; a scan that finds it in use builds one of its own.
constexpr std::size_t kKeptBorderEntries = std::size_t{1} << 20;
struct KeptBorder {
  std::vector<std::uint32_t> table;
  bool inUse = false;
};
thread_local KeptBorder keptBorder;

}  // namespace

OccurrenceScan::OccurrenceScan(std::string_view text, std::string_view needle, Compare compare,
                               std::size_t from)
    : text_(text), needle_(needle), compare_(compare), at_(from) {
  border_ = &ownBorder_;
  // A needle longer than the text left to read cannot occur in it. Its table would still
  // cost four bytes a character, and folding it a copy of it: a long search text handed to
  // a short one took gigabytes to find nothing.
  if (needle.size() > text.size() - std::min(from, text.size())) {
    text_ = {};
    at_ = 0;
    return;
  }
  if (compare_ == Compare::kNoCase) {
    folded_ = LowerCase(needle);
    needle_ = folded_;
  }
  const std::size_t m = needle_.size();
  if (!keptBorder.inUse && m <= kKeptBorderEntries) {
    keptBorder.inUse = true;
    border_ = &keptBorder.table;
  }
  std::vector<std::uint32_t>& border = *border_;
  if (border.size() < m) border.resize(m);
  if (m > 0) border[0] = 0;
  std::uint32_t k = 0;
  for (std::size_t i = 1; i < m; ++i) {
    while (k > 0 && needle_[i] != needle_[k]) k = border[k - 1];
    if (needle_[i] == needle_[k]) ++k;
    border[i] = k;
  }
}

OccurrenceScan::~OccurrenceScan() {
  if (border_ == &keptBorder.table) keptBorder.inUse = false;
}

std::size_t OccurrenceScan::Next() {
  const std::size_t m = needle_.size();
  const std::size_t n = text_.size();
  if (m == 0) return at_ <= n ? at_++ : std::string_view::npos;
  while (at_ < n) {
    if (matched_ == 0 && compare_ == Compare::kExact) {
      // Nothing matched yet: only the needle's first character can start an occurrence.
      const void* hit = std::memchr(text_.data() + at_, needle_[0], n - at_);
      if (!hit) break;
      at_ = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    }
    const char c = Fold(text_[at_++]);
    const std::vector<std::uint32_t>& border = *border_;
    while (matched_ > 0 && c != needle_[matched_]) matched_ = border[matched_ - 1];
    if (c == needle_[matched_]) ++matched_;
    if (matched_ == m) {
      matched_ = border[m - 1];
      return at_ - m;
    }
  }
  at_ = n;
  return std::string_view::npos;
}

namespace {

// The length of the run of plain ASCII bytes at the front of [p, p + n), copied to `out` as
// it is found, sixteen bytes at a time; `out` has room for n bytes. Items are mostly ASCII
// between their marks, and a byte at a time with a capacity check per byte made the
// conversion most of what reading a wide item from the embedded store cost.
std::size_t CopyAsciiRun(const char* p, std::size_t n, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    std::memcpy(out + i, p + i, 16);
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
    if (high != 0) return i + static_cast<std::size_t>(__builtin_ctz(high));
  }
#endif
  for (; i < n && static_cast<unsigned char>(p[i]) < 0x80; ++i) out[i] = p[i];
  return i;
}

}  // namespace

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() + latin1.size() / 4);
  for (char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  // Never longer than its input: every byte read gives at most one.
  std::string out(utf8.size(), '\0');
  char* o = out.data();
  const char* p = utf8.data();
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n;) {
    const std::size_t run = CopyAsciiRun(p + i, n - i, o);
    i += run;
    o += run;
    if (i == n) break;
    const auto c = static_cast<unsigned char>(p[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= n) {
      *o++ = '?';
      ++i;
      continue;
    }
    unsigned code = c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(p[i + k]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      code = (code << 6) | (cc & 0x3F);
    }
    if (!ok) {
      *o++ = '?';
      ++i;
      continue;
    }
    *o++ = code <= 0xFF ? static_cast<char>(code) : '?';
    i += extra + 1;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace orvik
