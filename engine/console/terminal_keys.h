// What terminals send for keys, as a session understands them.
//
// The session ends a line at CR and rubs out with BS (8). Many clients do otherwise: nc and
// scripts end lines with a bare LF, most terminals send DEL (127) for Backspace, telnet
// clients on a raw connection send CR NUL for Enter, and every terminal sends escape
// sequences for its cursor, function and edit keys. A connection's input passes through here
// before it reaches its port:
// - a bare LF becomes CR; the LF of a CR LF pair goes (the CR ends the line), also when the
//   pair is split across two chunks; DEL becomes BS;
// - escape sequences go whole, in all their forms and lengths (CSI and SS3 with their
//   parameters, ESC with one character or with intermediates, the strings of OSC, DCS, SOS,
//   PM and APC up to BEL or ST), also when one is split across chunks;
// - Ctrl-C and Ctrl-X are the user's stop: they end a piece, so that the host can act on
//   them in order with the text around them, and never become text;
// - every other control character (C0) goes, but for CR, BS and Tab.
// Bytes 128 to 255 are data (Latin-1, and the marks) and pass unchanged.

#ifndef ORVIK_CONSOLE_TERMINAL_KEYS_H_
#define ORVIK_CONSOLE_TERMINAL_KEYS_H_

#include <string>
#include <string_view>
#include <vector>

namespace orvik::console {

class TerminalKeys {
 public:
  // Text to type, followed by a stop when `stop` is set.
  struct Piece {
    std::string text;
    bool stop = false;
  };

  // The pieces one chunk makes, in order; none when nothing of it is for the session.
  std::vector<Piece> Translate(std::string_view chunk);

 private:
  enum class State { kText, kEscape, kIntermediate, kControlSequence, kString, kStringEscape };

  // Takes one byte in the text state.
  void Text(unsigned char c, std::vector<Piece>& pieces);

  State state_ = State::kText;
  bool afterCr_ = false;  // the last byte taken was a CR as received
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_TERMINAL_KEYS_H_
