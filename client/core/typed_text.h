// What the user may put into a value by typing or pasting it into a text box of a screen (an
// entry, the menu's selection box).
//
// GUI thread for the box, any thread for the rest. A control character has no place in a
// value: it would ride along to the engine or, as a carriage return, end the value early and
// start another line; it is dropped without a word, as a text box that cannot show it would.
// The marks 252, 253 and 254 split an item into subvalues, values and attributes: a value
// holding one would be stored as other parts of the item than the one the box stands for, or
// refused by the write while the screen shows it taken. They are refused, and the user is
// told why.

#ifndef ORVIK_CLIENT_CORE_TYPED_TEXT_H_
#define ORVIK_CLIENT_CORE_TYPED_TEXT_H_

#include <cstdint>

#include "shell_context.h"

namespace orvik::client {

enum class TypedCharacter { kKept, kDropped, kRefused };

// The fate of a typed or pasted character, by its code (Latin-1; any code above 255 is kept
// for the box to show as it can).
TypedCharacter TypedCharacterOf(std::uint32_t code);

// The box that says why a mark typed or pasted into a box was left out (Latin-1).
extern const char* const kMarksRefusedText;

// Tells the user, in that box, that a mark was left out: the one way every text box of a
// screen says so.
void TellMarksRefused(ShellContext& context);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TYPED_TEXT_H_
