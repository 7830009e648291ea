#include "string_works.h"

#include <charconv>

#include "text_rules.h"

namespace orvik::massage {

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string r;
  std::size_t from = 0;
  for (std::size_t p = text.find(find); p != std::string_view::npos; p = text.find(find, from)) {
    r.append(text.substr(from, p - from));
    r.append(replacement);
    from = p + find.size();
  }
  r.append(text.substr(from));
  return r;
}

std::string FieldOf(std::string_view text, std::string_view delimiter, std::string_view n) {
  std::string digits = TrimBlanks(n);
  long field = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), field);
  if (ec != std::errc() || end != digits.data() + digits.size() || field < 1) return "";
  if (delimiter.empty()) return field == 1 ? std::string(text) : "";
  std::size_t from = 0;
  for (long i = 1; i < field; ++i) {
    std::size_t p = text.find(delimiter, from);
    if (p == std::string_view::npos) return "";
    from = p + delimiter.size();
  }
  std::size_t p = text.find(delimiter, from);
  return std::string(text.substr(from, p == std::string_view::npos ? p : p - from));
}

long CountFields(std::string_view text, std::string_view delimiter) {
  if (text.empty()) return 0;
  if (delimiter.empty()) return static_cast<long>(text.size()) + 1;
  long count = 1;
  for (std::size_t p = text.find(delimiter); p != std::string_view::npos;
       p = text.find(delimiter, p + 1)) {
    ++count;
  }
  return count;
}

bool IsIdentifier(std::string_view word) {
  if (word.empty()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = UpperChar(word[i]);
    bool letter = c >= 'A' && c <= 'Z';
    bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

}  // namespace orvik::massage
