// Rewrites a range of the statement's tokens into Visual Basic: jump targets, MAT, MATCHES,
// LOCATE, INSERT, CONVERT, format masks and CALL @; then joins the range into its first token.

#ifndef ORVIK_CONVERTER_CORE_TOKEN_REDUCER_H_
#define ORVIK_CONVERTER_CORE_TOKEN_REDUCER_H_

#include "token.h"

namespace orvik::massage {

// `start` and `end` are slot numbers (1-based, start <= end). A parenthesised group
// (V(start) "(" and V(end) ")") comes out as one token that no longer reads "("; a call for
// the whole statement leaves it as one token. Blank slots are removed afterwards.
void ReduceTokens(TokenList& tokens, int start, int end);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_TOKEN_REDUCER_H_
