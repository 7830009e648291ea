// Helpers for the console's tests: a private engine home, dialogs that record what they are
// asked, TCP clients on the loopback address, and session programs run on a port's thread.

#ifndef ORVIK_CONSOLE_TESTS_CONSOLE_TEST_SUPPORT_H_
#define ORVIK_CONSOLE_TESTS_CONSOLE_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "console_dialogs.h"
#include "event_wait.h"
#include "port.h"

namespace orvik::console::test {

using namespace std::chrono_literals;

// Pumps the test thread's events until `done` or `ms` have passed.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
  return PumpEventsUntil(SteadyClock::now() + std::chrono::milliseconds(ms), done);
}

inline double SecondsSince(SteadyClock::time_point t) {
  return std::chrono::duration<double>(SteadyClock::now() - t).count();
}

// A free TCP port on the loopback address, for a settings file to name.
inline std::uint16_t FreeTcpPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

class TempHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::temp_directory_path() /
            ("orvik-console-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
  }
  std::string Home() const { return home_.string(); }
  std::string IniPath() const { return (home_ / "OrvikEngine.ini").string(); }

  std::filesystem::path home_;
};

class RecordingDialogs : public ConsoleDialogs {
 public:
  void Message(const std::string& text) override { messages.push_back(text); }
  bool Confirm(const std::string& text) override {
    questions.push_back(text);
    return answerYes;
  }
  bool OpenDocument(const std::string& path) override {
    documents.push_back(path);
    return opens;
  }
  void SetBusy(bool busy) override { busyCalls.push_back(busy); }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> documents;
  std::vector<bool> busyCalls;
  bool answerYes = true;
  bool opens = true;  // whether the desktop has a viewer for documents
};

// A terminal user: a TCP connection to the relay on 127.0.0.1.
class Client {
 public:
  explicit Client(std::uint16_t port) {
    QObject::connect(&socket_, &QTcpSocket::readyRead, &socket_, [this] {
      const QByteArray b = socket_.readAll();
      received_.append(b.constData(), static_cast<std::size_t>(b.size()));
    });
    QObject::connect(&socket_, &QTcpSocket::disconnected, &socket_, [this] { closed_ = true; });
    socket_.connectToHost(QHostAddress::LocalHost, port);
  }

  bool WaitConnected(int ms = 3000) {
    return WaitUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState; }, ms);
  }
  void Send(std::string_view text) {
    socket_.write(text.data(), static_cast<qint64>(text.size()));
    socket_.flush();
  }
  // Waits until `needle` has arrived.
  bool WaitFor(std::string_view needle, int ms = 3000) {
    return WaitUntil([&] { return received_.find(needle) != std::string::npos; }, ms);
  }
  bool WaitBytes(std::size_t n, int ms = 3000) {
    return WaitUntil([&] { return received_.size() >= n; }, ms);
  }
  bool WaitClosed(int ms = 3000) {
    return WaitUntil([this] { return closed_; }, ms);
  }
  // Hangs up.
  void Close() { socket_.abort(); }

  const std::string& Received() const { return received_; }
  std::string Take() { return std::exchange(received_, std::string()); }
  bool Closed() const { return closed_; }
  QTcpSocket& Socket() { return socket_; }

 private:
  QTcpSocket socket_;
  std::string received_;
  bool closed_ = false;
};

// A port whose echo is on: what a client types comes straight back.
// A port that echoes what it is given and files it, in a state of its own that takes no
// line, so that relay tests see exactly the bytes they sent.
inline constexpr const char* kEchoState = "ECHOING";
inline std::shared_ptr<Port> EchoPort(const std::string& home) {
  auto port = Port::Create(home);
  port->Echo(Variant(true));
  port->SetMsState(kEchoState);
  return port;
}

// Runs `program` on the new port's thread as soon as its event loop runs, in the state of a
// running program ("VERB": input waits for its IInput), and returns the session to "TCL"
// when it ends. The program holds the port itself, not the host's reference, as a program
// the session runs would.
inline std::shared_ptr<Port> PortRunning(const std::string& home,
                                         std::function<void(Port&)> program) {
  auto port = Port::Create(home);
  QTimer::singleShot(0, [self = port->shared_from_this(), program = std::move(program)] {
    // Input queued behind this call must reach the program's nested waits (as the relay
    // does for input that starts a program).
    QThread::currentThread()->eventDispatcher()->wakeUp();
    self->SetMsState("VERB");
    program(*self);
    self->SetMsState("TCL");
  });
  return port;
}

inline std::string ReadLine(Port& port) {
  Variant s;
  port.IInput(s);
  return s.ToString();
}

// Lines that programs on several threads write, in the order written.
class Journal {
 public:
  void Add(std::string line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace orvik::console::test

#endif  // ORVIK_CONSOLE_TESTS_CONSOLE_TEST_SUPPORT_H_
