// The port's terminal: the one output sink, typed input, and the two ways a host drives a
// session (asynchronous RequestA, synchronous Execute).

#include <algorithm>
#include <chrono>

#include "event_wait.h"
#include "numbers.h"
#include "port.h"
#include "terminal_tags.h"
#include "vb_error.h"

namespace orvik {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNoCr = "{NOCR}";
constexpr std::string_view kTimeoutAnswer = "ERROR: TIMEOUT";

std::size_t Find(std::string_view haystack, std::string_view needle, bool text,
                 std::size_t from = 0) {
  return text ? FindNoCase(haystack, needle, from) : FindExact(haystack, needle, from);
}

std::size_t FindLast(std::string_view haystack, std::string_view needle, bool text) {
  std::size_t last = std::string_view::npos;
  for (std::size_t p = Find(haystack, needle, text); p != std::string_view::npos;
       p = Find(haystack, needle, text, p + 1)) {
    last = p;
  }
  return last;
}

}  // namespace

void Port::SendResponse(std::string_view s) {
  std::unique_lock lock(ioMutex_);
  if (!captures_.empty()) {
    captures_.back().append(s);
    return;
  }
  if (asyncMode_ && responseHandler_) {
    lock.unlock();
    // The handler gets its own copy: what it does to its argument is not ours to see.
    std::string piece(s);
    responseHandler_(piece);
    return;
  }
  // Nobody will ever read what a stopped session writes.
  if (Aborted()) return;
  responseBuffer_.append(s);
  if (!hooks_.outputWaiting) return;
  // The host hears of output once until it takes it: what is written meanwhile, while the
  // host's thread gets round to it, goes with it in one piece. So a prompt leaves at once,
  // and a burst of lines leaves in a few large writes, however long the program goes on.
  const bool announce = !outputAnnounced_;
  outputAnnounced_ = true;
  lock.unlock();
  if (announce) hooks_.outputWaiting();
  WaitForHostToCatchUp();
}

void Port::WaitForHostToCatchUp() {
  const auto undelivered = [this] {
    std::lock_guard lock(ioMutex_);
    return responseBuffer_.size() + hostBacklog_.load();
  };
  if (undelivered() <= kMaxUndeliveredOutput) return;
  // Until half has gone, so the host gets to write in large pieces. The wait blocks: the
  // input a client sends meanwhile is for later, not for the middle of this output.
  stop_->Wait(SteadyClock::time_point::max(),
              [&] { return undelivered() <= kMaxUndeliveredOutput / 2; });
}

void Port::CRT(std::string_view s, bool newline) {
  if (!newline) {
    SendResponse(s);
    return;
  }
  std::string line;
  line.reserve(s.size() + 2);
  line.append(s).append(kCrLf);
  SendResponse(line);
}

std::string Port::TTag(std::int32_t x, std::int32_t y) const {
  return TerminalTag(termType_, x, y);
}

void Port::Echo(const Variant& v) {
  if (v.IsString()) {
    echoOn_ = !EqualsNoCase(TrimBlanks(v.StringRef()), "OFF");
    return;
  }
  echoOn_ = v.ToBoolean();
}

bool Port::IInput(Variant& s, std::int32_t nLen, bool newLine, double timeFor) {
  const auto self = shared_from_this();  // the host may let go while we wait
  s = Variant(std::string());
  bool result = true;
  inputPending_ = true;
  noNewLine_ = !newLine;
  lineInput_ = nLen < 0;
  const auto deadline =
      timeFor > 0 ? SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                             std::chrono::duration<double>(timeFor / 10.0))
                  : SteadyClock::time_point::max();
  if (nLen == 0) {
    noNewLine_ = true;
    nLen = 1;
  }
  const auto timedOut = [&](double seconds) {
    result = false;
    errorDetail_ = "[980] IInput \"FOR\" Timeout at " + FormatDouble(seconds) + " sec.";
    s = Variant(std::move(typeAhead_));
    typeAhead_.clear();
  };

  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard lock(ioMutex_);
      seen = inputVersion_;
      if (Aborted()) {
        // The session is over: a program that asks for more input is told so at once.
        s = Variant(std::string(kPortDisconnect));
        typeAhead_.clear();
        break;
      }
      const std::size_t cr = typeAhead_.find('\r');
      if (cr != std::string::npos) {
        s = Variant(typeAhead_.substr(0, cr));
        typeAhead_.erase(0, cr + 1);
        break;
      }
      if (nLen >= 1 && typeAhead_.size() >= static_cast<std::size_t>(nLen)) {
        s = Variant(typeAhead_.substr(0, nLen));
        typeAhead_.erase(0, nLen);
        break;
      }
      if (timeFor > 0 && SteadyClock::now() >= deadline) {
        timedOut(timeFor / 10.0);
        break;
      }
      if (timeFor == 0) {
        if (typeAhead_.empty()) {
          result = false;
          errorDetail_ = "[981] IInput \"timeFOR = 0\" finds no waiting characters.";
        } else {
          // A read that must not wait takes what is there rather than waiting for ever.
          timedOut(0.0);
        }
        break;
      }
    }
    // Sleep in the event loop until the type-ahead changes or the deadline comes.
    PumpEventsUntil(deadline, [this, seen] {
      std::lock_guard lock(ioMutex_);
      return inputVersion_ != seen;
    });
  }
  inputPending_ = false;
  noNewLine_ = false;
  return result;
}

std::string Port::Execute(std::string_view command, std::string_view endOfTx) {
  const auto self = shared_from_this();
  errorDetail_.clear();
  const auto deadline = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                                 std::chrono::duration<double>(executeTimeout_));

  // "{NOCR}" at the very end (blanks after it allowed) sends the command without CR LF;
  // the marker itself is an instruction to us, not input for the session.
  std::string input(command);
  const std::size_t marker = FindNoCase(input, kNoCr);
  const std::size_t end = input.find_last_not_of(' ');
  if (marker != std::string::npos && end != std::string::npos && marker + kNoCr.size() == end + 1) {
    input.erase(marker);
  } else {
    input.append(kCrLf);
  }

  {
    std::lock_guard lock(ioMutex_);
    captures_.emplace_back();
  }
  const bool text = executeCompareMethod_ == 1;
  const auto found = [&] {
    std::lock_guard lock(ioMutex_);
    const std::string& out = captures_.back();
    return endOfTx.empty() ? !out.empty() : Find(out, endOfTx, text) != std::string::npos;
  };

  SessionInput(input);
  PumpPendingEvents();
  if (!PumpEventsUntil(deadline, [&] { return found() || Aborted(); }) || !found()) {
    std::lock_guard lock(ioMutex_);
    captures_.back() = kTimeoutAnswer;
    if (errorDetail_.empty()) errorDetail_ = "[960] Timeout on Execute";
  }
  std::lock_guard lock(ioMutex_);
  std::string answer = std::move(captures_.back());
  captures_.pop_back();
  return answer;
}

std::string Port::ExecuteTX(std::string_view command) {
  std::string r = Execute(command, "</TX>");
  if (r == kTimeoutAnswer) return r;
  const bool text = executeCompareMethod_ == 1;
  const std::size_t close = FindLast(r, "</TX>", text);
  if (close == std::string::npos) return r;
  // Only a "<TX>" before the last "</TX>" opens the frame.
  const std::size_t open = Find(std::string_view(r).substr(0, close), "<TX>", text);
  if (open == std::string::npos) return r.substr(0, close);
  return r.substr(open + 4, close - open - 4);
}

bool Port::RequestA(std::string_view s) {
  {
    std::lock_guard lock(ioMutex_);
    asyncMode_ = true;
  }
  return SessionInput(s);
}

std::string Port::Response() {
  std::lock_guard lock(ioMutex_);
  std::string out = std::move(responseBuffer_);
  responseBuffer_.clear();
  outputAnnounced_ = false;
  return out;
}

void Port::PortCClose() {
  std::lock_guard lock(ioMutex_);
  if (inputPending_) {
    typeAhead_.assign(kPortDisconnect);
    typeAhead_.push_back('\r');
    ++inputVersion_;
  }
}

void Port::PortInput(std::string text) {
  if (OnPortThread()) {
    SessionInput(text);
    return;
  }
  RunOnPortThread(
      [self = shared_from_this(), text = std::move(text)] { self->SessionInput(text); });
}

std::string Port::TypeAhead() const {
  std::lock_guard lock(ioMutex_);
  return typeAhead_;
}

}  // namespace orvik
