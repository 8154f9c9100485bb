// The UUCP lock of a serial port, the way every dialer on the machine agrees
// on who holds a port: a file LCK..NAME in the system's lock folder holding
// the owner's pid as ten characters and a newline. It is made atomically
// (written under a private name, then linked into place), a lock whose
// process is gone is removed, and the port's name is that of the device
// after symlinks are resolved, so two names of one port share one lock.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace zentrel {

// The system's lock folder (/run/lock, else /var/lock).
std::string SystemLockFolder();

// The lock file's path for `port` within `folder`; empty when the port's
// name cannot be resolved.
std::string LockPathFor(const std::string& port, const std::string& folder);

struct LockHolder {
  pid_t pid = 0;
  std::string program;  // from /proc; empty when unknown
  // "process 1234 (minicom)" or "process 1234".
  std::string Text() const;
};

class PortLock {
 public:
  enum class Result { kLocked, kHeld, kFailed };
  // Takes the lock on `port`. kHeld fills `holder`; kFailed (no lock folder,
  // no permission) fills `error`, and the caller decides whether to go on.
  static Result Take(const std::string& port, const std::string& folder,
                     std::unique_ptr<PortLock>* lock, LockHolder* holder,
                     std::string* error);
  ~PortLock();  // removes the file if it is still ours
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  const std::string& path() const { return path_; }

 private:
  explicit PortLock(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// Who holds `port` by its lock file, if a live process does.
bool FindLockHolder(const std::string& port, const std::string& folder,
                    LockHolder* holder);

}  // namespace zentrel
