// The session input: every piece of input a host gives the port enters here.

#include "port.h"

namespace orvik {
namespace {

constexpr char kBs = '\b';
constexpr std::string_view kCrLf = "\r\n";

bool IsEnter(std::string_view s) { return s == "\r" || s == kCrLf; }

}  // namespace

bool Port::SessionInput(std::string_view s) {
  const std::string state = msState();

  if (echoOn_) {
    const bool typedAhead = !TypeAhead().empty();
    if (state == "PASSWORDPROMPT") {
      SendResponse(IsEnter(s) ? std::string(kCrLf) : std::string(s.size(), '*'));
    } else if (s.size() == 1 && s[0] == kBs) {
      if (typedAhead) SendResponse("\b \b");
    } else if (s.size() == 1 && s[0] == kItemLockMark && state == "TCL") {
      SendResponse(lastSentence_ + std::string(kCrLf));
    } else if (noNewLine_) {
      if (!IsEnter(s)) SendResponse(s);
    } else {
      SendResponse(s == "\r" ? kCrLf : s);
    }
  }

  FileInput(s);
  // While a program runs, the input waits in the type-ahead for its IInput.
  return true;
}

void Port::FileInput(std::string_view s) {
  std::lock_guard lock(ioMutex_);
  if (s.find(kBs) != std::string_view::npos) {
    for (char c : s) {
      if (c != kBs) {
        typeAhead_.push_back(c);
      } else if (!typeAhead_.empty()) {
        typeAhead_.pop_back();
      }
    }
  } else {
    typeAhead_.append(s);
  }
  // Lines end in CR alone from here on, whatever the terminal sent.
  for (std::size_t p = typeAhead_.find(kCrLf); p != std::string::npos;
       p = typeAhead_.find(kCrLf, p)) {
    typeAhead_.erase(p + 1, 1);
    ++p;
  }
  ++inputVersion_;
}

}  // namespace orvik
