// What terminals send for Enter and Backspace, as a session understands them.
//
// The session ends a line at CR and rubs out with BS (8). Many clients do otherwise: nc and
// scripts end lines with a bare LF, and most terminals send DEL (127) for Backspace. A
// connection's input passes through here before it reaches its port: a bare LF becomes CR,
// the LF of a CR LF pair is left to the session (which takes the pair as one line end), an LF
// that follows a CR at the end of the previous chunk is that pair's and is dropped, and DEL
// becomes BS. Every other byte passes unchanged.

#ifndef ORVIK_CONSOLE_TERMINAL_KEYS_H_
#define ORVIK_CONSOLE_TERMINAL_KEYS_H_

#include <string>

namespace orvik::console {

class TerminalKeys {
 public:
  // Translates one chunk in place.
  void Translate(std::string& chunk);

 private:
  bool afterCr_ = false;  // the previous chunk ended in CR
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_TERMINAL_KEYS_H_
