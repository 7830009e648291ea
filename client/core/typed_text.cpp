#include "typed_text.h"

namespace orvik::client {

const char* const kMarksRefusedText =
    "The characters \xFC, \xFD and \xFE (252, 253 and 254) mark the parts of an item and "
    "cannot be part of a value: they were left out.";

TypedCharacter TypedCharacterOf(std::uint32_t code) {
  if (code < 32) return TypedCharacter::kDropped;
  if (code >= 252 && code <= 254) return TypedCharacter::kRefused;
  return TypedCharacter::kKept;
}

void TellMarksRefused(ShellContext& context) {
  context.Box(kMarksRefusedText, BoxIcon::kExclamation);
}

}  // namespace orvik::client
