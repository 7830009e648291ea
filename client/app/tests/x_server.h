// A private virtual X server for the tests that drive real client windows: Xvfb on a display
// number it picks itself among the free ones, so that test runs in parallel never meet.
//
// Made and used on the test's main thread. The server is the test process's child and is
// killed with it, whatever ends the test (a crash or CTest's time-out too), so no server
// outlives its test; Stop (or the destructor) ends it cleanly, which also removes its lock
// file and socket. Failures come back as false with the reason in `error`.

#ifndef ORVIK_CLIENT_APP_TESTS_X_SERVER_H_
#define ORVIK_CLIENT_APP_TESTS_X_SERVER_H_

#include <sys/types.h>

#include <string>

namespace orvik::client::xtest {

class XServer {
 public:
  XServer() = default;
  ~XServer() { Stop(); }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // Starts Xvfb with one screen of `width` x `height` pixels, 24 bits deep, reached only
  // through its local socket.
  bool Start(int width, int height, std::string* error);
  void Stop();

  // ":N", once started.
  const std::string& Display() const { return display_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace orvik::client::xtest

#endif  // ORVIK_CLIENT_APP_TESTS_X_SERVER_H_
