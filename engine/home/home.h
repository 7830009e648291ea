// The engine home, opened once by a program that serves sessions: the console, the client,
// the set-up tool and the benchmarks hold one Home and make every port through it, so that
// what belongs to the home rather than to one session has one owner: its settings, its user
// registry (one for every port made, whichever thread serves it), whether it can serve, and
// the item locks its sessions left behind when they went without ending.
//
// The settings file is read when the home opens and handed to each port made. The console
// edits the file while ports are made: a port gets the settings as the file holds them when
// it is made, read again only when the file has changed (or the editor says it wrote it).
//
// Opened on any thread; MakePort runs on the thread that is to serve the port, and may run
// on several such threads at once.

#ifndef ORVIK_ENGINE_HOME_HOME_H_
#define ORVIK_ENGINE_HOME_HOME_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "driver_factory.h"
#include "engine_settings.h"
#include "print_factory.h"

namespace orvik {

class Port;
class UserRegistry;
struct DatastoreKind;

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

  // The settings as the next port made gets them.
  EngineSettings Settings() const;
  // The datastore they name; nullptr for one the engine does not know.
  const DatastoreKind* Kind() const;
  // The settings file was written by this process: the next port reads it again, however
  // little time has passed.
  void SettingsWritten();

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

  // What tells one state of the settings file from another.
  struct FileStamp {
    bool exists = false;
    std::int64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t changedNs = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
  };
  FileStamp StampNow() const;

  HomeOptions options_;
  // Shared by every port made, on their threads; opens its file only once a port needs it.
  const std::shared_ptr<UserRegistry> registry_;
  mutable std::mutex mutex_;
  mutable FileStamp stamp_;
  mutable EngineSettings settings_;
  mutable bool stale_ = true;
};

}  // namespace orvik

#endif  // ORVIK_ENGINE_HOME_HOME_H_
