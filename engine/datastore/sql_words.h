// Statement texts read as words, for the guards that judge what a user typed on a server.
//
// A word is a longest run of ASCII letters, digits and '_', taken everywhere in the text:
// inside quotes, brackets and comments too. A server runs some comments (MariaDB's
// "/*! ... */" and "/*M! ... */"), and what counts as a quote depends on its settings, so
// nothing is skipped: a guard that reads words sees every name a server might read.

#ifndef ORVIK_ENGINE_DATASTORE_SQL_WORDS_H_
#define ORVIK_ENGINE_DATASTORE_SQL_WORDS_H_

#include <string_view>
#include <vector>

namespace orvik {

std::vector<std::string_view> SqlWords(std::string_view sql);

// The word names `name`: equal to it without regard to case, or a number glued to it
// ("1users", and "50000DROP" from "/*!50000DROP*/").
bool WordNames(std::string_view word, std::string_view name);

template <std::size_t N>
bool WordNamesAny(std::string_view word, const std::string_view (&names)[N]) {
  for (std::string_view name : names) {
    if (WordNames(word, name)) return true;
  }
  return false;
}

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SQL_WORDS_H_
