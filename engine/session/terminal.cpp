#include "terminal.h"

#include <QTimer>
#include <chrono>

#include "engine_protocol.h"
#include "event_wait.h"
#include "numbers.h"
#include "screen_markup.h"
#include "text.h"

namespace orvik {
namespace {

constexpr char kCr = '\r';
constexpr char kBs = '\b';

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

SteadyClock::time_point After(double seconds) {
  return SteadyClock::now() +
         std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

Terminal::Terminal(std::shared_ptr<StopSwitch> stop) : stop_(std::move(stop)) {}

Terminal::~Terminal() = default;

SessionState Terminal::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::string Terminal::StateText() const {
  std::lock_guard lock(mutex_);
  return stateText_;
}

void Terminal::SetState(SessionState state) { SetStateText(std::string(StateName(state))); }

void Terminal::SetStateText(std::string name) {
  const bool runs = ProgramRunsIn(name);
  {
    std::lock_guard lock(mutex_);
    if (stateText_ == name) return;
    stateText_ = name;
    state_ = StateNamed(name);
    programRuns_ = runs;
  }
  if (stateChanged_) stateChanged_(name, runs);
}

bool Terminal::ProgramRuns() const {
  std::lock_guard lock(mutex_);
  return programRuns_;
}

void Terminal::Send(std::string_view text) {
  std::unique_lock lock(mutex_);
  if (!captures_.empty()) {
    captures_.back().append(text);
    return;
  }
  if (asyncMode_ && responseHandler_) {
    lock.unlock();
    // The handler gets its own copy: what it does to its argument is not ours to see.
    std::string piece(text);
    responseHandler_(piece);
    return;
  }
  // Nobody will ever read what a stopped session writes, nor what it writes after it hung up.
  if (stop_->Thrown() || hungUp_) return;
  Deliver(text, lock);
  WaitForHostToCatchUp();
}

void Terminal::Deliver(std::string_view text, std::unique_lock<std::mutex>& lock) {
  bool hangUp = false;
  std::string joined;
  if (hangUp_) {
    const bool wasHeld = !heldOutput_.empty();
    if (wasHeld) {
      joined = std::exchange(heldOutput_, {}).append(text);
      text = joined;
    }
    const std::size_t marker = text.find(protocol::kPortDisconnect);
    if (marker != std::string_view::npos) {
      text = text.substr(0, marker);
      hungUp_ = hangUp = true;
    } else {
      // A program may write the marker in pieces: a possible first piece waits for the rest.
      const std::size_t held = protocol::PossibleDisconnectStart(text);
      heldOutput_.assign(text.substr(text.size() - held));
      text.remove_suffix(held);
      if (held > 0) {
        if (!holdTimer_) {
          holdTimer_ = std::make_unique<QTimer>();
          holdTimer_->setSingleShot(true);
          QObject::connect(holdTimer_.get(), &QTimer::timeout, [this] { ReleaseHeldOutput(); });
        }
        // The hold counts from the first piece held.
        if (!wasHeld) holdTimer_->start(kMarkerHold);
      } else if (holdTimer_) {
        holdTimer_->stop();
      }
    }
  }
  responseBuffer_.append(text);
  // The host hears of output once until it takes it: what is written meanwhile, while the
  // host's thread gets round to it, goes with it in one piece. So a prompt leaves at once,
  // and a burst of lines leaves in a few large writes, however long the program goes on.
  const bool announce = outputWaiting_ && !text.empty() && !outputAnnounced_;
  if (announce) outputAnnounced_ = true;
  lock.unlock();
  if (announce) outputWaiting_();
  // After what came before the marker: the host takes that first, then lets go.
  if (hangUp) hangUp_();
}

void Terminal::ReleaseHeldOutput() {
  std::unique_lock lock(mutex_);
  if (heldOutput_.empty()) return;
  const std::string held = std::exchange(heldOutput_, {});
  if (stop_->Thrown() || hungUp_) return;
  responseBuffer_.append(held);
  const bool announce = outputWaiting_ && !outputAnnounced_;
  if (announce) outputAnnounced_ = true;
  lock.unlock();
  if (announce) outputWaiting_();
}

void Terminal::WaitForHostToCatchUp() {
  const auto undelivered = [this] {
    std::lock_guard lock(mutex_);
    return responseBuffer_.size() + hostBacklog_.load();
  };
  if (undelivered() <= kMaxUndeliveredOutput) return;
  // Until half has gone, so the host gets to write in large pieces. The wait blocks: the
  // input a client sends meanwhile is for later, not for the middle of this output.
  stop_->Wait(SteadyClock::time_point::max(),
              [&] { return undelivered() <= kMaxUndeliveredOutput / 2; });
}

void Terminal::CRT(std::string_view text, bool newline) {
  if (!newline) {
    Send(text);
    return;
  }
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append(kCrLf);
  Send(line);
}

std::string Terminal::Response() {
  std::lock_guard lock(mutex_);
  std::string out = std::move(responseBuffer_);
  responseBuffer_.clear();
  outputAnnounced_ = false;
  return out;
}

void Terminal::DriveAsynchronously() {
  std::lock_guard lock(mutex_);
  asyncMode_ = true;
}

void Terminal::SetHostBacklog(std::size_t bytes) {
  hostBacklog_.store(bytes);
  stop_->Notify();
}

std::string Terminal::TypeAhead() const {
  std::lock_guard lock(mutex_);
  return typeAhead_;
}

void Terminal::ClearTypeAhead() {
  std::lock_guard lock(mutex_);
  typeAhead_.clear();
  ++inputVersion_;
}

bool Terminal::FileInput(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (discardingLine_) {
    // The rest of a line already refused goes, up to its end.
    const std::size_t cr = text.find(kCr);
    if (cr == std::string_view::npos) return true;
    discardingLine_ = false;
    text.remove_prefix(cr);
  }
  if (text.find(kBs) != std::string_view::npos) {
    for (char c : text) {
      if (c != kBs) {
        typeAhead_.push_back(c);
      } else if (!typeAhead_.empty()) {
        typeAhead_.pop_back();
      }
    }
  } else {
    typeAhead_.append(text);
  }
  // Lines end in CR alone from here on, whatever the terminal sent.
  for (std::size_t p = typeAhead_.find(kCrLf); p != std::string::npos;
       p = typeAhead_.find(kCrLf, p)) {
    typeAhead_.erase(p + 1, 1);
    ++p;
  }
  ++inputVersion_;
  // A line that never ends would fill the session; a program that reads by length, or
  // is busy, owns its input and is left alone.
  const bool readsLines = state_ != SessionState::kVerb || (inputPending_ && lineInput_);
  const std::size_t lineStart = typeAhead_.rfind(kCr) + 1;  // 0 when there is no CR
  if (readsLines && typeAhead_.size() - lineStart > kMaxInputLine) {
    typeAhead_.resize(lineStart);
    discardingLine_ = true;
    return false;
  }
  return true;
}

std::string Terminal::LineRefusedNotice() {
  return std::string(kCrLf) + "[982] Input line longer than " + std::to_string(kMaxInputLine) +
         " characters; it was discarded" + std::string(kCrLf);
}

std::optional<std::string> Terminal::TakeLine() {
  std::unique_lock lock(mutex_);
  const std::size_t cr = typeAhead_.find(kCr);
  if (cr == std::string::npos) return std::nullopt;
  // A line that arrived whole, or while a program ran, was never measured on its way in.
  const bool refused = cr > kMaxInputLine;
  std::string line = refused ? std::string() : typeAhead_.substr(0, cr);
  typeAhead_.erase(0, cr + 1);
  ++inputVersion_;
  lock.unlock();
  if (refused) Send(LineRefusedNotice());
  return line;
}

Status Terminal::Read(Variant& input, std::int32_t length, bool newLine, double tenths) {
  input = Variant(std::string());
  Status result;
  inputPending_ = true;
  noNewLine_ = !newLine;
  lineInput_ = length < 0;
  const auto deadline = tenths > 0 ? After(tenths / 10.0) : SteadyClock::time_point::max();
  if (length == 0) {
    noNewLine_ = true;
    length = 1;
  }
  // What a read that ends without its line was given: what was typed so far.
  const auto timedOut = [&](double seconds) {
    result = Status::Error(termerr::kReadTimeout,
                           "IInput \"FOR\" Timeout at " + FormatDouble(seconds) + " sec.");
    input = Variant(std::move(typeAhead_));
    typeAhead_.clear();
  };

  // The user is to answer what was written: none of it waits for more.
  ReleaseHeldOutput();
  bool refused = false;  // the line read was too long to be taken
  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard lock(mutex_);
      seen = inputVersion_;
      if (stop_->Thrown()) {
        // The session is over: a program that asks for more input is told so at once.
        input = Variant(std::string(protocol::kPortDisconnect));
        typeAhead_.clear();
        break;
      }
      const std::size_t cr = typeAhead_.find(kCr);
      if (cr != std::string::npos) {
        refused = cr > kMaxInputLine;
        input = Variant(refused ? std::string() : typeAhead_.substr(0, cr));
        typeAhead_.erase(0, cr + 1);
        break;
      }
      if (length >= 1 && typeAhead_.size() >= static_cast<std::size_t>(length)) {
        input = Variant(typeAhead_.substr(0, length));
        typeAhead_.erase(0, length);
        break;
      }
      if (tenths > 0 && SteadyClock::now() >= deadline) {
        timedOut(tenths / 10.0);
        break;
      }
      if (tenths == 0) {
        if (typeAhead_.empty()) {
          result = Status::Error(termerr::kNothingWaiting,
                                 "IInput \"timeFOR = 0\" finds no waiting characters.");
        } else {
          // A read that must not wait takes what is there rather than waiting for ever.
          timedOut(0.0);
        }
        break;
      }
    }
    // Sleep in the event loop until the type-ahead changes or the deadline comes.
    PumpEventsUntil(
        deadline,
        [this, seen] {
          std::lock_guard lock(mutex_);
          return inputVersion_ != seen;
        },
        &waker_);
  }
  inputPending_ = false;
  noNewLine_ = false;
  if (refused) Send(LineRefusedNotice());
  return result;
}

void Terminal::PortCClose() {
  std::lock_guard lock(mutex_);
  if (inputPending_) {
    typeAhead_.assign(protocol::kPortDisconnect);
    typeAhead_.push_back(kCr);
    ++inputVersion_;
  }
  waker_.Wake();
}

void Terminal::WakeWaits() {
  {
    std::lock_guard lock(mutex_);
    ++inputVersion_;
  }
  waker_.Wake();
}

std::string Terminal::Execute(std::string_view command, std::string_view endMarker,
                              bool textCompare, double seconds,
                              const std::function<void(std::string_view)>& input, bool* timedOut) {
  const auto deadline = After(seconds);

  // "{NOCR}" at the very end (blanks after it allowed) sends the command without CR LF;
  // the marker itself is an instruction to us, not input for the session.
  std::string sent(command);
  const std::size_t marker = FindNoCase(sent, protocol::kNoCr);
  const std::size_t end = sent.find_last_not_of(' ');
  if (marker != std::string::npos && end != std::string::npos &&
      marker + protocol::kNoCr.size() == end + 1) {
    sent.erase(marker);
  } else {
    sent.append(kCrLf);
  }

  {
    std::lock_guard lock(mutex_);
    captures_.emplace_back();
  }
  const auto found = [&] {
    std::lock_guard lock(mutex_);
    const std::string& out = captures_.back();
    return endMarker.empty() ? !out.empty()
                             : Find(out, endMarker, textCompare) != std::string::npos;
  };

  input(sent);
  PumpPendingEvents();
  *timedOut = !PumpEventsUntil(deadline, [&] { return found() || stop_->Thrown(); }) || !found();
  std::lock_guard lock(mutex_);
  if (*timedOut) captures_.back() = kTimeoutAnswer;
  std::string answer = std::move(captures_.back());
  captures_.pop_back();
  return answer;
}

std::string Terminal::Unframed(const std::string& answer, bool textCompare) {
  if (answer == kTimeoutAnswer) return answer;
  const std::size_t close = FindLast(answer, protocol::kEndOfTransmission, textCompare);
  if (close == std::string::npos) return answer;
  // Only a "<TX>" before the last "</TX>" opens the frame.
  const std::size_t open =
      Find(std::string_view(answer).substr(0, close), protocol::kStartOfTransmission, textCompare);
  if (open == std::string::npos) return answer.substr(0, close);
  const std::size_t start = open + protocol::kStartOfTransmission.size();
  return answer.substr(start, close - start);
}

}  // namespace orvik
