// One console per engine home: two consoles would fight over the same slots and settings.

#ifndef ORVIK_CONSOLE_SINGLE_INSTANCE_H_
#define ORVIK_CONSOLE_SINGLE_INSTANCE_H_

#include <QLockFile>
#include <memory>
#include <string>

namespace orvik::console {

class InstanceLock {
 public:
  enum class Result { kAcquired, kHeldByAnother, kFailed };

  // Takes the lock file of `home`; a lock left behind by a process that has ended is taken
  // over. On kFailed, `error` says why.
  Result Acquire(const std::string& home, std::string* error);

 private:
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace orvik::console

#endif  // ORVIK_CONSOLE_SINGLE_INSTANCE_H_
