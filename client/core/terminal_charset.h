// The character set of the terminal: which character each received byte stands for.
//
// The engine's screens draw boxes with the bytes 176 to 223 of the terminal character set
// the applications were written for (shades, single and double lines, blocks); every other
// byte is the Latin-1 character of its code. Pure; any thread.

#ifndef ORVIK_CLIENT_CORE_TERMINAL_CHARSET_H_
#define ORVIK_CLIENT_CORE_TERMINAL_CHARSET_H_

namespace orvik::client {

// The Unicode code point that `byte` is drawn as.
char16_t TerminalGlyph(unsigned char byte);

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TERMINAL_CHARSET_H_
