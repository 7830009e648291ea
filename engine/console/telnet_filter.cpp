#include "telnet_filter.h"

#include <utility>

namespace orvik::console {
namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kDont = 254;
constexpr unsigned char kDo = 253;
constexpr unsigned char kWont = 252;
constexpr unsigned char kWill = 251;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;
constexpr unsigned char kEcho = 1;
constexpr unsigned char kSuppressGoAhead = 3;

bool IsOptionVerb(unsigned char c) { return c >= kWill && c <= kDont; }

}  // namespace

std::string TelnetFilter::Receive(std::string_view chunk, std::string* answer) {
  if (chunk.empty()) return {};
  // A first chunk that ends after a lone IAC cannot tell yet: it waits for the next byte.
  std::string joined;
  if (mode_ == Mode::kUndecided && !undecided_.empty()) {
    joined = std::exchange(undecided_, {}) + std::string(chunk);
    chunk = joined;
  }
  if (mode_ == Mode::kUndecided && chunk.size() == 1 &&
      static_cast<unsigned char>(chunk[0]) == kIac) {
    undecided_.assign(chunk);
    return {};
  }
  if (mode_ == Mode::kUndecided) {
    const bool negotiates = chunk.size() >= 2 && static_cast<unsigned char>(chunk[0]) == kIac &&
                            (IsOptionVerb(static_cast<unsigned char>(chunk[1])) ||
                             static_cast<unsigned char>(chunk[1]) == kSb);
    mode_ = negotiates ? Mode::kTelnet : Mode::kRaw;
    if (negotiates && answer) {
      answer->append({static_cast<char>(kIac), static_cast<char>(kWill), static_cast<char>(kEcho),
                      static_cast<char>(kIac), static_cast<char>(kWill),
                      static_cast<char>(kSuppressGoAhead)});
      echo_ = Option::kOffered;
      suppressGoAhead_ = Option::kOffered;
    }
  }
  if (mode_ == Mode::kRaw) return std::string(chunk);

  std::string data;
  data.reserve(chunk.size());
  for (const char ch : chunk) {
    const auto c = static_cast<unsigned char>(ch);
    switch (state_) {
      case State::kCr:
        state_ = State::kData;
        if (c == 0) break;  // CR NUL is a bare CR
        [[fallthrough]];
      case State::kData:
        if (c == kIac) {
          state_ = State::kIac;
        } else {
          data.push_back(ch);
          if (ch == '\r') state_ = State::kCr;
        }
        break;
      case State::kIac:
        if (c == kIac) {
          data.push_back(ch);
          state_ = State::kData;
        } else if (IsOptionVerb(c)) {
          verb_ = c;
          state_ = State::kOption;
        } else if (c == kSb) {
          state_ = State::kSub;
        } else if (c >= kSe) {
          state_ = State::kData;  // a command without an option: nothing for the session
        } else {
          data.push_back(ch);  // not a command: the IAC alone is dropped
          state_ = State::kData;
        }
        break;
      case State::kOption:
        OnOption(verb_, c, answer);
        state_ = State::kData;
        break;
      case State::kSub:
        if (c == kIac) state_ = State::kSubIac;
        break;
      case State::kSubIac:
        state_ = c == kSe ? State::kData : State::kSub;
        break;
    }
  }
  return data;
}

void TelnetFilter::OnOption(unsigned char verb, unsigned char option, std::string* answer) {
  const auto reply = [answer, option](unsigned char v) {
    if (answer)
      answer->append({static_cast<char>(kIac), static_cast<char>(v), static_cast<char>(option)});
  };
  // The two options the server offers itself: the client's answer settles them, and an
  // answer is never answered again, so the two sides cannot loop.
  Option* mine = option == kEcho              ? &echo_
                 : option == kSuppressGoAhead ? &suppressGoAhead_
                                              : nullptr;
  if (mine != nullptr && (verb == kDo || verb == kDont)) {
    const Option wanted = verb == kDo ? Option::kOn : Option::kOff;
    if (*mine == Option::kOffered) {
      *mine = wanted;
    } else if (*mine != wanted) {
      *mine = wanted;
      reply(verb == kDo ? kWill : kWont);
    }
    return;
  }
  // The client offering not to wait for go-ahead is welcome; anything else is refused.
  // Refusals themselves need no answer.
  if (verb == kWill) reply(option == kSuppressGoAhead ? kDo : kDont);
  if (verb == kDo) reply(kWont);
}

std::string TelnetFilter::Send(std::string_view text) const {
  if (mode_ != Mode::kTelnet || text.find(static_cast<char>(kIac)) == std::string_view::npos)
    return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (const char ch : text) {
    out.push_back(ch);
    if (static_cast<unsigned char>(ch) == kIac) out.push_back(ch);
  }
  return out;
}

}  // namespace orvik::console
