// The engine home, opened once by a program that serves sessions: the console, the client,
// the set-up tool and the benchmarks hold one Home and make every port through it, so that
// what belongs to the home rather than to one session has one owner: whether it can serve,
// and the item locks its sessions left behind when they went without ending.
//
// Opened on any thread; MakePort runs on the thread that is to serve the port, and may run
// on several such threads at once.

#ifndef ORVIK_ENGINE_HOME_HOME_H_
#define ORVIK_ENGINE_HOME_HOME_H_

#include <cstdint>
#include <memory>
#include <string>

#include "driver_factory.h"
#include "print_factory.h"

namespace orvik {

class Port;

// What a home is opened with. Everything has a default, so `{}` is the process's home.
struct HomeOptions {
  // The folder of OrvikEngine.ini and the datastore files; empty: EngineHome().
  std::string path;
  // Makes the ports' datastore drivers; empty: the built-in driver of each datastore.
  DriverFactory drivers;
  // Makes a port's print backend when it first prints; empty: CUPS.
  PrintBackendFactory printing;
};

class Home {
 public:
  static std::shared_ptr<Home> Open(HomeOptions options = {});
  static std::shared_ptr<Home> Open(const std::string& path);

  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  // The folder, as an absolute path without a trailing '/'.
  const std::string& Path() const { return options_.path; }

  // A new port of this home, in state "STARTUP", served by the calling thread.
  std::shared_ptr<Port> MakePort() const;

  // The empty text when the home can serve users; otherwise why not and how to make the
  // system account (lines ended by LF). Only a datastore whose accounts the home itself shows
  // is looked at: on a server the system account is reached with each user's own login,
  // which the home does not have.
  std::string MissingSystemAccount() const;
  // Removes the item locks of sessions that are gone (those of a program that was killed),
  // and answers how many. On a server, which is reached only through a user's login, the
  // logins and ports remove them instead, and this answers 0. Throws VbError when the system
  // account cannot be opened.
  std::int64_t RemoveStaleLocks() const;

 private:
  explicit Home(HomeOptions options);

  HomeOptions options_;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_HOME_HOME_H_
