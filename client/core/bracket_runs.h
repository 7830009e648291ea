// Runs of angle brackets in received text: every run of two or more "<" becomes as many
// "*", and so does every run of ">", so that text such as "<<<<" or "-->>" can never be
// read as a tag. Single brackets stay, and so does the end of a transmission: the "<" that
// opens "</TX>" and the ">" that closes it are never part of a run, so "<</TX>" still ends
// the transmission it closes. Every other character (ø included) is left as it is.
//
// Pure; any thread. The result has the length of the text.

#ifndef ORVIK_CLIENT_CORE_BRACKET_RUNS_H_
#define ORVIK_CLIENT_CORE_BRACKET_RUNS_H_

#include <string>
#include <string_view>

namespace orvik::client {

std::string BracketRuns(std::string_view text);

// The same in place, for the runs from the one that reaches `from` on: the text before it
// has been through this already (the poll loop's pending text, which grows piece by piece).
void BracketRunsFrom(std::string& text, std::size_t from);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_BRACKET_RUNS_H_
