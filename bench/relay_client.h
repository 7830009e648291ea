// The two ends of the console benchmarks: a server on a thread of its own with its own event
// loop, and a terminal user as a plain blocking socket, timed on the steady clock.

#ifndef ORVIK_BENCH_RELAY_CLIENT_H_
#define ORVIK_BENCH_RELAY_CLIENT_H_

#include <QThread>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "stats.h"

namespace orvik::bench {

// A server of either kind (the relay, a plain one) on a thread of its own, with its own
// event loop, until destroyed. `make` runs on that thread, says where it listens and gives
// the server, which is dropped there at the end.
class ServerThread : public QThread {
 public:
  using Make = std::function<std::shared_ptr<void>(std::uint16_t* port)>;
  explicit ServerThread(Make make);
  ~ServerThread() override;
  std::uint16_t Port() const { return port_; }

 protected:
  void run() override;

 private:
  Make make_;
  std::promise<std::uint16_t> listening_;
  std::uint16_t port_ = 0;
};

// The console's relay on the engine home `home` (for ServerThread): every slot, logins paced
// as the console paces them, each session echoing its keys as for a telnet client.
std::shared_ptr<void> MakeRelay(const std::string& home, std::uint16_t* port);

class Terminal {
 public:
  explicit Terminal(std::uint16_t port);
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool ok() const { return ok_; }
  void Send(const std::string& s);
  // Reads until `text` has arrived (after what was read before); false on end or error.
  // `bytes` counts what was received meanwhile; `seen`, when given, gets it up to `text`.
  bool ReadUntil(const std::string& text, std::size_t* bytes = nullptr,
                 std::string* seen = nullptr);
  // The login dialogue, up to the prompt after it.
  bool LogIn(const std::string& user, const std::string& password);

 private:
  int fd_ = -1;
  bool ok_ = false;
  std::string got_;
};

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_RELAY_CLIENT_H_
