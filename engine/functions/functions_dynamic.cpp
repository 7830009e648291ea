// The dynamic-array members of Functions.
//
// The engine calls these once per attribute in every program loop, so none of them splits an
// item into strings: each walks the item a block of bytes at a time (byte_scan.h), keeps the piece
// it needs as a pair of offsets, and builds its result in one pass into a buffer reserved at the
// final size.

#include <algorithm>
#include <cstring>
#include <optional>

#include "byte_scan.h"
#include "functions.h"
#include "numbers.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr char kLevelMarks[] = {kAttributeMark, kValueMark, kSubValueMark};
constexpr std::string_view kDyleteRange = "[FN1] Dylete: argument out of range";
constexpr std::string_view kNoNumerics = "Received MR with no numerics";

std::size_t FindMark(std::string_view s, char mark, std::size_t from) {
  return from >= s.size() ? kNone : NextByte(s, mark, from);
}

// Piece n of s as Field reads it (n <= 1 the first; past the end an empty piece), without
// the columns, which only the last level of an Extract may leave behind.
std::string_view FieldPiece(std::string_view s, char mark, std::int32_t n) {
  std::size_t start = 0;
  if (n > 1) {
    const std::size_t p = NthByte(s, mark, static_cast<std::size_t>(n) - 1);
    if (p == kNone) return {};
    start = p + 1;
  }
  const std::size_t p = FindMark(s, mark, start);
  return s.substr(start, p == kNone ? kNone : p - start);
}

// A stretch [begin, end) of the item.
struct Span {
  std::size_t begin;
  std::size_t end;
};

// Where a position lands among the pieces of one level: an existing piece, or the end of the
// level after `padding` new marks, where a new last piece begins.
struct Address {
  bool exists;
  Span piece;
  std::size_t padding;
};

// Position p among the pieces of s[region] split at `mark`; -1 is one past the last.
// An empty region has no pieces at all, so its first piece is already a new one.
Address Resolve(std::string_view s, Span region, char mark, std::int32_t p) {
  if (p == 0 || p < -1) throw VbError(vberr::kSubscriptOutOfRange);
  const Span end{region.end, region.end};
  if (region.begin == region.end) {
    return {false, end, p == -1 ? 0 : static_cast<std::size_t>(p) - 1};
  }
  if (p == -1) return {false, end, 1};
  const std::string_view level = s.substr(0, region.end);
  std::size_t start = region.begin;
  if (p > 1) {
    std::size_t missing = 0;
    const std::size_t before =
        NthByte(level, mark, static_cast<std::size_t>(p) - 1, start, &missing);
    // Fewer pieces than p: the level grows by the marks missing.
    if (before == kNone) return {false, end, missing};
    start = before + 1;
  }
  const std::size_t q = FindMark(level, mark, start);
  return {true, {start, q == kNone ? region.end : q}, 0};
}

struct Safety {
  bool on;
  int number;
  std::string_view description;
};

// RReplace and Insert: the new value goes to attribute i254, value a or subvalue b, by which
// of b and c are present. Insert puts it before an existing piece; past the end both store
// it in the new last piece.
std::string Store(std::string_view s, std::int32_t i254, const Variant& a, const Variant& b,
                  const Variant& c, bool insert, const Safety& safety) {
  const int depth = b.IsMissing() ? 1 : c.IsMissing() ? 2 : 3;
  std::string held;
  const std::string_view value = (depth == 1 ? a : depth == 2 ? b : c).TextView(held);
  if (safety.on && value.find(kAttributeMark) != kNone) {
    throw VbError(safety.number, std::string(safety.description));
  }

  Span target{0, s.size()};
  bool exists = true;
  std::size_t padding[3] = {0, 0, 0};
  for (int level = 0; level < depth; ++level) {
    const std::int32_t p = level == 0 ? i254 : (level == 1 ? a : b).ToLong();
    const Address at = Resolve(s, target, kLevelMarks[level], p);
    exists = at.exists;
    target = at.piece;
    padding[level] = at.padding;
  }

  const char mark = kLevelMarks[depth - 1];
  const bool shift = insert && exists;
  const std::size_t kept = shift ? s.size() + 1 : s.size() - (target.end - target.begin);
  const std::size_t length = kept + padding[0] + padding[1] + padding[2] + value.size();
  CheckTextLength(length);

  std::string out;
  out.reserve(length);
  out.append(s.substr(0, target.begin));
  for (int level = 0; level < depth; ++level) out.append(padding[level], kLevelMarks[level]);
  out.append(value);
  if (shift) {
    out.push_back(mark);
    out.append(s.substr(target.begin));
  } else {
    out.append(s.substr(target.end));
  }
  return out;
}

enum class Order { kNone, kTextUp, kTextDown, kNumberUp, kNumberDown };

bool IsWord(const Variant& v, std::string_view word) {
  return v.IsString() && EqualsNoCase(v.StringRef(), word);
}

Order OrderOf(const Variant& code) {
  if (IsWord(code, "al")) return Order::kTextUp;
  if (IsWord(code, "dl")) return Order::kTextDown;
  if (IsWord(code, "ar")) return Order::kNumberUp;
  if (IsWord(code, "dr")) return Order::kNumberDown;
  return Order::kNone;
}

// A piece as a right-justified mask conversion reads it: its number when it is wholly
// numeric, else 0 (an empty text too).
double MaskedNumber(std::string_view s) {
  if (s.empty()) return 0;
  return ParseNumber(s).value_or(0);
}

}  // namespace

Variant Functions::Extract(std::string_view s, std::int32_t attribute, std::int32_t value,
                           std::int32_t subValue) {
  const std::string_view am(&kAttributeMark, 1);
  const std::string_view vm(&kValueMark, 1);
  const std::string_view svm(&kSubValueMark, 1);
  if (value < 1) return Variant(Field(s, am, attribute));
  const std::string_view attr = FieldPiece(s, kAttributeMark, attribute);
  if (subValue < 1) return Variant(Field(attr, vm, value));
  return Variant(Field(FieldPiece(attr, kValueMark, value), svm, subValue));
}

std::string Functions::RReplace(std::string_view s, std::int32_t i254, const Variant& a,
                                const Variant& b, const Variant& c) {
  static constexpr std::string_view kViolation =
      "RReplace safety violation, attr contains Chr(254)";
  return Store(s, i254, a, b, c, false, {rreplaceSafety_, 941, kViolation});
}

std::string Functions::Insert(std::string_view s, std::int32_t i254, const Variant& a,
                              const Variant& b, const Variant& c) {
  static constexpr std::string_view kViolation = "Insert safety violation, attr contains Chr(254)";
  errorDetail_.clear();
  try {
    return Store(s, i254, a, b, c, true, {insertSafety_, 942, kViolation});
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return std::string(s);
  }
}

std::string Functions::Dylete(std::string_view s, std::int32_t i254, const Variant& a,
                              const Variant& b) {
  errorDetail_.clear();
  try {
    if (s.empty()) {
      if (i254 >= 1) errorDetail_ = kDyleteRange;
      return {};
    }
    // A position below 1 names no attribute. Taking it as the first would delete a lone
    // attribute for a wrong argument while refusing the same call on a longer item.
    if (i254 < 1) throw VbError(vberr::kSubscriptOutOfRange);

    const int depth = a.IsMissing() ? 1 : b.IsMissing() ? 2 : 3;
    Span level{0, s.size()};
    Span piece{0, 0};
    for (int k = 0; k < depth; ++k) {
      const std::int32_t p = k == 0 ? i254 : (k == 1 ? a : b).ToLong();
      if (p < 1) {
        errorDetail_ = kDyleteRange;
        return std::string(s);
      }
      const Address at = Resolve(s, level, kLevelMarks[k], p);
      if (!at.exists) {
        errorDetail_ = kDyleteRange;
        return std::string(s);
      }
      piece = at.piece;
      if (k + 1 < depth) level = piece;
    }

    // The piece goes with one of its marks: the one after it, or for the last piece the one
    // before. A lone piece leaves its level empty.
    Span cut = piece;
    if (piece.end < level.end) {
      ++cut.end;
    } else if (piece.begin > level.begin) {
      --cut.begin;
    }
    std::string out;
    out.reserve(s.size() - (cut.end - cut.begin));
    out.append(s.substr(0, cut.begin));
    out.append(s.substr(cut.end));
    return out;
  } catch (...) {
    errorDetail_ = CurrentExceptionMessage();
    return std::string(s);
  }
}

bool Functions::Locate(std::string_view find, std::string_view, std::string_view in,
                       std::span<Variant> d) {
  if (d.empty()) throw VbError(vberr::kSubscriptOutOfRange);
  Variant& setting = d.back();
  setting = Variant(std::int32_t{0});

  // The options come before the setting variable: [start] [BY code]. With the setting
  // variable alone there are none, and it must not be read as a start of 0.
  std::int32_t start = 1;
  Order order = Order::kNone;
  if (d.size() >= 2) {
    if (IsNumeric(d[0])) {
      start = d[0].ToLong();
      if (d.size() >= 3 && IsWord(d[1], "by")) order = OrderOf(d[2]);
    } else if (IsWord(d[0], "by")) {
      order = OrderOf(d[1]);
    }
  }
  auto answer = [&setting](bool found, std::int64_t position) {
    setting = Variant(static_cast<std::int32_t>(position));
    return found;
  };

  // The highest level present is the one searched.
  char mark = 0;
  for (char m : kLevelMarks) {
    if (FindMark(in, m, 0) != kNone) {
      mark = m;
      break;
    }
  }
  if (mark == 0) {
    if (in == find) return answer(true, 1);
    if (start >= 2) return answer(false, start);
    if (in.empty()) return answer(false, 1);
    if (find.empty()) return answer(false, 2);
  }
  if (start < 1) throw VbError(vberr::kSubscriptOutOfRange);

  std::size_t pos = 0;
  for (std::int32_t k = 1; k < start; ++k) {
    const std::size_t q = FindMark(in, mark, pos);
    if (q == kNone) return answer(false, start);
    pos = q + 1;
  }
  if (order == Order::kNone && mark != 0 && !find.empty() && FindMark(find, mark, 0) == kNone) {
    // Unordered: look for the text itself, and count the marks before it only where it
    // stands as a whole value, instead of comparing every value on the way.
    std::int64_t index = start;  // the value at `counted`
    std::size_t counted = pos;
    for (std::size_t from = pos;;) {
      const std::size_t hit = FirstOccurrence(in.substr(from), find);
      if (hit == kNone) {
        return answer(false,
                      index + static_cast<std::int64_t>(CountByte(in.substr(counted), mark)) + 1);
      }
      const std::size_t at = from + hit, end = at + find.size();
      if ((at == pos || in[at - 1] == mark) && (end == in.size() || in[end] == mark)) {
        index += static_cast<std::int64_t>(CountByte(in.substr(counted, at - counted), mark));
        return answer(true, index);
      }
      from = at + 1;
    }
  }
  std::optional<double> target;  // N(find), read once the first numeric comparison needs it
  for (std::int64_t i = start;; ++i) {
    const std::size_t q = mark == 0 ? kNone : FindMark(in, mark, pos);
    const std::string_view piece = in.substr(pos, q == kNone ? kNone : q - pos);
    if (piece == find) return answer(true, i);
    bool passed = false;
    switch (order) {
      case Order::kNone:
        break;
      case Order::kTextUp:
        passed = piece > find;
        break;
      case Order::kTextDown:
        passed = piece < find;
        break;
      case Order::kNumberUp:
      case Order::kNumberDown: {
        // Each comparison stands for two mask conversions, and each of those leaves its
        // message behind, numbers or not.
        errorDetail_ = kNoNumerics;
        if (!target) target = MaskedNumber(find);
        const double n = MaskedNumber(piece);
        passed = order == Order::kNumberUp ? n >= *target : n <= *target;
        break;
      }
    }
    if (passed) return answer(false, i);
    if (q == kNone) return answer(false, i + 1);
    pos = q + 1;
  }
}

std::string Functions::MVR(const Variant& s) const {
  if (s.IsNull()) return {};
  std::string held;
  const std::string_view text = s.TextView(held);
  const std::size_t marks =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), kValueMark));
  std::string out;
  out.reserve(text.size() + marks);
  std::size_t from = 0;
  for (std::size_t p = FindMark(text, kValueMark, 0); p != kNone;
       p = FindMark(text, kValueMark, from)) {
    out.append(text.substr(from, p - from));
    out.append("\r\n");
    from = p + 1;
  }
  out.append(text.substr(from));
  return out;
}

std::string Functions::MVW(std::string_view s) const {
  std::string out;
  out.reserve(s.size());
  std::size_t from = 0;
  for (std::size_t p = FindExact(s, "\r\n", 0); p != kNone; p = FindExact(s, "\r\n", from)) {
    out.append(s.substr(from, p - from));
    out.push_back(kValueMark);
    from = p + 2;
  }
  out.append(s.substr(from));
  return out;
}

}  // namespace orvik
