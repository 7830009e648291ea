// Recorded conversations with the engine, kept as text: each step a name, the input typed,
// and the pieces of output that came back, one line each with the bytes escaped.
//
//   ## login: the greeting
//   >> \r\n
//   << \r\n\r\n======== OrvikEngine 1.2 Please Login =========\r\n\r\nusername:\x20
//
// Bytes below 32, above 126, a backslash and a blank at the end of a line are written as
// \r, \n or \xHH, and \\ for the backslash; everything else stands as it is.

#ifndef ORVIK_CLIENT_CORE_TESTS_CORPUS_FILE_H_
#define ORVIK_CLIENT_CORE_TESTS_CORPUS_FILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace orvik::client {

struct CorpusStep {
  std::string name;
  std::string input;
  std::vector<std::string> chunks;  // the output during the input, then until the next wait
};

std::string EscapeBytes(std::string_view bytes);
std::string UnescapeBytes(std::string_view text);

// `header` lines go first, each as a "# " comment.
std::string CorpusText(const std::vector<CorpusStep>& steps, std::string_view header);
std::vector<CorpusStep> ParseCorpus(std::string_view text);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTS_CORPUS_FILE_H_
