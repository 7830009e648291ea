// Substring (X[s,n]) and dynamic-array (X<a,v,s>) references in a statement's text, turned
// into calls. The text is the translator's working text: operators spaced, strings hidden.

#ifndef ORVIK_CONVERTER_CORE_REFERENCE_REWRITE_H_
#define ORVIK_CONVERTER_CORE_REFERENCE_REWRITE_H_

#include <string>

namespace orvik::massage {

// X [ 1 , 3 ] becomes Mid ( X , 1 , 3 ), also behind a reference, a call or a bracketed
// value (X < 1 > [ 1 , 3 ]). A bracket without a comma is left as it is.
std::string RewriteSubstrings(std::string text);

// X < 1 , 2 > becomes Extract ( X , 1 , 2 ), and X < 1 > = Y + Z becomes
// X = RReplace ( X , 1 , Y + Z ) unless the statement is an IF or ELSEIF. A "<" and ">" with
// a logical or relational word between them are comparisons and stay as they are.
std::string RewriteDynamicArrays(std::string text);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_REFERENCE_REWRITE_H_
