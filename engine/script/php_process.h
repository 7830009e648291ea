// One php process and the socket the PHP host speaks to it over.
//
// The host's thread owns the object: it sends, receives and ends it. Kill alone may be
// called from any thread at any time (it is how a session that ends stops a program that
// never returns). Messages are framed as a 4-byte little-endian length and that many bytes;
// what they hold is the host's business (php_wire.h). Failures: the constructor raises 429
// when no interpreter can be started; afterwards a process that has gone shows as a Send
// that returns false and a Receive that returns nothing, never as an exception or a signal.

#ifndef ORVIK_ENGINE_SCRIPT_PHP_PROCESS_H_
#define ORVIK_ENGINE_SCRIPT_PHP_PROCESS_H_

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvik::php {

class Process {
 public:
  // Starts `php` on `program` (PHP source, given on its standard input) with the socket as
  // its file descriptor 3, in a process group of its own, so that Kill reaches whatever
  // the program started as well.
  explicit Process(const std::string& program);
  // Kills the process group and reaps the process.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // The interpreter that Process starts; empty when none is installed.
  static std::string Interpreter();

  // Ends the process group at once. Thread-safe; harmless once the process is gone.
  void Kill();
  // Sends one message; false when the process has gone.
  bool Send(std::string_view payload);
  // The next message, or nothing once the process has closed its end. With `pumpEvents`
  // the thread's Qt events are processed while it waits (a thread without an event loop
  // just sleeps until the message comes).
  std::optional<std::string> Receive(bool pumpEvents);

 private:
  std::optional<std::string> TakeMessage();
  // Reads what has arrived without waiting; false once the other end has closed.
  bool ReadAvailable();
  void WaitReadable(bool pumpEvents);

  int fd_ = -1;
  bool closed_ = false;
  std::string buffer_;
  std::mutex pidMutex_;
  pid_t pid_ = 0;  // 0 once the process has been reaped
};

}  // namespace orvik::php

#endif  // ORVIK_ENGINE_SCRIPT_PHP_PROCESS_H_
