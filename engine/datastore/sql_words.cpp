#include "sql_words.h"

#include "text.h"

namespace orvik {
namespace {

bool IsWordChar(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; }

}  // namespace

std::vector<std::string_view> SqlWords(std::string_view sql) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < sql.size()) {
    while (i < sql.size() && !IsWordChar(sql[i])) ++i;
    const std::size_t start = i;
    while (i < sql.size() && IsWordChar(sql[i])) ++i;
    if (i > start) words.push_back(sql.substr(start, i - start));
  }
  return words;
}

bool WordNames(std::string_view word, std::string_view name) {
  if (EqualsNoCase(word, name)) return true;
  return word.size() > name.size() && IsAsciiDigit(word.front()) &&
         EqualsNoCase(word.substr(word.size() - name.size()), name);
}

}  // namespace orvik
