// Telnet negotiation on a relay connection.
//
// A telnet client mixes commands into its byte stream: IAC (255) followed by a command, an
// option, or a subnegotiation. Bytes 252 to 254 are also the multivalue marks, so such
// commands must never reach a port as typed data. A connection whose first bytes are a
// negotiation (even when its first chunk ends after the IAC) is taken for telnet: from then on its
// commands are removed, a doubled IAC stands for the data byte 255, CR NUL for CR, every option the
// client offers or asks for is refused, and 255 in the output is doubled. Any other connection is
// raw and every byte passes unchanged both ways.

#ifndef ORVIK_CONSOLE_TELNET_FILTER_H_
#define ORVIK_CONSOLE_TELNET_FILTER_H_

#include <string>
#include <string_view>

namespace orvik::console {

class TelnetFilter {
 public:
  // The data in one received chunk. Replies owed to the client are appended to `answer`.
  std::string Receive(std::string_view chunk, std::string* answer);
  // Output as it must go on the wire.
  std::string Send(std::string_view text) const;
  bool IsTelnet() const { return mode_ == Mode::kTelnet; }
  // Whether the client has agreed that the server echoes what it types.
  bool ServerEchoes() const { return echo_ == Option::kOn; }

 private:
  enum class Option { kOff, kOffered, kOn };
  void OnOption(unsigned char verb, unsigned char option, std::string* answer);

  enum class Mode { kUndecided, kRaw, kTelnet };
  enum class State { kData, kCr, kIac, kOption, kSub, kSubIac };

  Mode mode_ = Mode::kUndecided;
  State state_ = State::kData;
  unsigned char verb_ = 0;
  std::string undecided_;  // a first byte that may begin a negotiation
  Option echo_ = Option::kOff;
  Option suppressGoAhead_ = Option::kOff;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_TELNET_FILTER_H_
