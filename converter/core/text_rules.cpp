#include "text_rules.h"

namespace orvik::massage {

std::string TrimBlanks(std::string_view s) { return TrimRightBlanks(TrimLeftBlanks(s)); }

std::string TrimLeftBlanks(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b));
}

std::string TrimRightBlanks(std::string_view s) {
  std::size_t e = s.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string() : std::string(s.substr(0, e + 1));
}

char UpperChar(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 224 && u <= 251 && u != 247 && c != kApostropheMarker && c != kQuoteMarker &&
      c != kSemicolonMarker) {
    return static_cast<char>(u - 32);
  }
  return c;
}

std::string UpperText(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = UpperChar(c);
  return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (EqualsNoCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::size_t FindLastNoCase(std::string_view text, std::string_view needle) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = text.size() - needle.size() + 1; i-- > 0;) {
    if (EqualsNoCase(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::size_t FindWordNoCase(std::string_view text, std::string_view word, std::size_t from) {
  for (std::size_t p = FindNoCase(text, word, from); p != std::string_view::npos;
       p = FindNoCase(text, word, p + 1)) {
    bool startOk = p == 0 || text[p - 1] == ' ';
    std::size_t e = p + word.size();
    bool endOk = e == text.size() || text[e] == ' ';
    if (startOk && endOk) return p;
  }
  return std::string_view::npos;
}

std::string ReplaceFirstNoCase(std::string_view text, std::string_view find,
                               std::string_view replacement) {
  std::size_t p = FindNoCase(text, find);
  if (find.empty() || p == std::string_view::npos) return std::string(text);
  return ReplaceAt(text, p, find.size(), replacement);
}

std::string ReplaceAllNoCase(std::string_view text, std::string_view find,
                             std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string r;
  std::size_t from = 0;
  for (std::size_t p = FindNoCase(text, find); p != std::string_view::npos;
       p = FindNoCase(text, find, from)) {
    r.append(text.substr(from, p - from));
    r.append(replacement);
    from = p + find.size();
  }
  r.append(text.substr(from));
  return r;
}

std::string ReplaceAt(std::string_view text, std::size_t pos, std::size_t length,
                      std::string_view replacement) {
  std::string r(text.substr(0, pos));
  r.append(replacement);
  if (pos + length < text.size()) r.append(text.substr(pos + length));
  return r;
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t b = text.find_first_not_of(' ', i);
    if (b == std::string_view::npos) break;
    std::size_t e = text.find(' ', b);
    if (e == std::string_view::npos) e = text.size();
    words.emplace_back(text.substr(b, e - b));
    i = e;
  }
  return words;
}

std::vector<std::string> SplitAt(std::string_view text, char delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  std::size_t from = 0;
  for (;;) {
    std::size_t p = text.find(delimiter, from);
    if (p == std::string_view::npos) {
      pieces.emplace_back(text.substr(from));
      return pieces;
    }
    pieces.emplace_back(text.substr(from, p - from));
    from = p + 1;
  }
}

bool IsLabelCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_';
}

bool ReadsAsNumber(std::string_view word) {
  std::size_t i = 0;
  int digits = 0;
  bool point = false;
  for (; i < word.size(); ++i) {
    char c = word[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i == word.size()) return true;
  if (word[i] != 'E' && word[i] != 'e') return false;
  ++i;
  if (i == word.size()) return false;
  for (; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
  }
  return true;
}

}  // namespace orvik::massage
