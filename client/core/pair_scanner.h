// The KEY=value syntax shared by settings texts (OrvikLink.ini, the command line, INI tags)
// and STYLE tags.
//
// The first word is the tag word and never a pair. Each pair is a blank, a key up to the next
// "=" (upper-cased, not trimmed: a second blank makes it unknown), and a value up to the next
// blank, or between double quotes when it starts with one (an unclosed quote takes the rest
// of the text). Values pass through ValueDecode; a pair whose value does not decode is
// dropped. A trailing word without "=" ends the scan. With ',' as tag separator every ','
// reads as a blank, so a comma in a value is written {COMMA}.
//
// Pure; callable from any thread. Never throws what ValueDecode throws.

#ifndef ORVIK_CLIENT_CORE_PAIR_SCANNER_H_
#define ORVIK_CLIENT_CORE_PAIR_SCANNER_H_

#include <functional>
#include <string>
#include <string_view>

namespace orvik::client {

using PairHandler = std::function<void(const std::string& key, const std::string& value)>;

// Calls `handle` for every pair of `text`, in order, with the upper-cased key and the decoded
// value.
void ScanPairs(std::string_view text, char tagSeparator, const PairHandler& handle);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_PAIR_SCANNER_H_
