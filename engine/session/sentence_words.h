// The words of a sentence, for the sentence interpreters of the session.

#ifndef ORVIK_ENGINE_SESSION_SENTENCE_WORDS_H_
#define ORVIK_ENGINE_SESSION_SENTENCE_WORDS_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// The words of `text`: every run of blanks counts as one, so that words never shift.
std::vector<std::string> Words(std::string_view text);
// Word `i`; VbError 9 when the sentence has no such word.
const std::string& WordAt(const std::vector<std::string>& words, std::size_t i);
// Whether `word` is one of `names`.
bool OneOf(std::string_view word, std::initializer_list<std::string_view> names);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_SENTENCE_WORDS_H_
