#include "sentence_words.h"

#include "vb_error.h"

namespace orvik {

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) out.emplace_back(text.substr(start, i - start));
  }
  return out;
}

const std::string& WordAt(const std::vector<std::string>& words, std::size_t i) {
  if (i >= words.size()) throw VbError(vberr::kSubscriptOutOfRange);
  return words[i];
}

bool OneOf(std::string_view word, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names) {
    if (word == n) return true;
  }
  return false;
}

}  // namespace orvik
