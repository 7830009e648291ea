#include "single_instance.h"

namespace orvik::console {

InstanceLock::Result InstanceLock::Acquire(const std::string& home, std::string* error) {
  lock_ = std::make_unique<QLockFile>(QString::fromStdString(home + "/OvEngConsole.lock"));
  // A console runs for days: only a lock whose process has ended is stale, never an old one.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return Result::kAcquired;
  switch (lock_->error()) {
    case QLockFile::LockFailedError:
      return Result::kHeldByAnother;
    case QLockFile::PermissionError:
      if (error) *error = "no permission to create the lock file in " + home;
      return Result::kFailed;
    default:
      if (error) *error = "cannot create the lock file in " + home;
      return Result::kFailed;
  }
}

}  // namespace orvik::console
