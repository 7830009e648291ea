#include "relay_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>

#include "home.h"
#include "port.h"
#include "relay_server.h"

namespace orvik::bench {

ServerThread::ServerThread(Make make) : make_(std::move(make)) {
  start();
  port_ = listening_.get_future().get();
}

ServerThread::~ServerThread() {
  quit();
  wait();
}

void ServerThread::run() {
  std::uint16_t port = 0;
  std::shared_ptr<void> server = make_(&port);
  listening_.set_value(port);
  exec();
  server.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::shared_ptr<void> MakeRelay(const std::string& home, std::uint16_t* port) {
  const std::shared_ptr<Home> engineHome = Home::Open(home);
  auto relay = std::make_shared<console::RelayServer>(engineHome);
  relay->SetListenAddress(QHostAddress::LocalHost);
  relay->SetPortFactory([engineHome](std::int32_t) {
    auto p = engineHome->MakePort();
    p->Echo(Variant(true));
    return p;
  });
  relay->EngineStart(console::RelayServer::kMaxSlots, 0);
  *port = relay->ListeningPort();
  return relay;
}

Terminal::Terminal(std::uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

Terminal::~Terminal() { ::close(fd_); }

void Terminal::Send(const std::string& s) {
  ok_ = ok_ && ::send(fd_, s.data(), s.size(), 0) == ssize_t(s.size());
}

bool Terminal::ReadUntil(const std::string& text, std::size_t* bytes, std::string* seen) {
  char buf[65536];
  if (seen) seen->clear();
  for (;;) {
    const std::size_t at = got_.find(text);
    if (at != std::string::npos) {
      if (seen) seen->append(got_, 0, at);
      got_.erase(0, at + text.size());
      return true;
    }
    // Keep only what could still be the start of `text`.
    if (got_.size() > text.size()) {
      const std::size_t drop = got_.size() - text.size();
      if (seen) seen->append(got_, 0, drop);
      got_.erase(0, drop);
    }
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return ok_ = false;
    if (bytes) *bytes += static_cast<std::size_t>(n);
    got_.append(buf, static_cast<std::size_t>(n));
  }
}

bool Terminal::LogIn(const std::string& user, const std::string& password) {
  Send("\r");
  if (!ReadUntil("username: ")) return false;
  Send(user + "\r");
  if (!ReadUntil("password: ")) return false;
  Send(password + "\r");
  return ReadUntil("\r\n:");
}

}  // namespace orvik::bench
