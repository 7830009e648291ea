// The text scrambler of JDecode: a text turned into another of the same length with a key.
//
// Character codes 32..127 shift within that ring, forward at odd positions and back at even
// ones, by the key's character code less 31. Any thread; bytes in, bytes out.

#ifndef ORVIK_ENGINE_DATASTORE_SCRAMBLER_H_
#define ORVIK_ENGINE_DATASTORE_SCRAMBLER_H_

#include <string>

#include "variant.h"

namespace orvik {

// `text` scrambled with `key`, which is doubled in place until it is as long as the text.
// An empty key with a text is refused (VbError 5), as is a result outside 0..255.
Variant JDecode(const std::string& text, std::string& key);

}  // namespace orvik

#endif  // ORVIK_ENGINE_DATASTORE_SCRAMBLER_H_
