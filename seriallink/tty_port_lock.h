// The UUCP lock of a serial port, the way every dialer on the machine agrees
// on who holds a port: a file LCK..NAME in the system's lock folder holding
// the owner's pid as ten characters and a newline. It is made atomically
// (written under a private name, then linked into place), a lock that names
// no live process is removed, a lock file is never followed as a symbolic
// link, and the port's name is that of the device after symlinks are
// resolved, so two names of one port share one lock.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace zentrel {

// The system's lock folder (/run/lock, else /var/lock). ZENTREL_PORT_LOCK_DIR
// names another, for tests: a port's lock is where every dialer looks only
// in the system's folder, so nothing installed sets it.
std::string SystemLockFolder();

// The lock file's path for `port` within `folder`; empty when the port's
// name cannot be resolved.
std::string LockPathFor(const std::string& port, const std::string& folder);

struct LockHolder {
  pid_t pid = 0;
  std::string program;  // from /proc; empty when unknown
  // "process 1234 (minicom)", "process 1234", or "this program (process
  // 1234)" when the lock is this process's own.
  std::string Text() const;
};

// What a lock file found in the folder says.
struct LockFile {
  enum class State {
    kNone,     // no such file
    kHeld,     // names a live process: `holder`
    kStale,    // names none (empty, garbage, pid 0 or below, gone): `why`
    kForeign,  // a symbolic link, not a regular file, or unreadable: `why`
  };
  State state = State::kNone;
  LockHolder holder;
  std::string why;
  dev_t device = 0;  // the file that was read, so that only it is removed
  ino_t inode = 0;
};

// Reads the lock at `path` without following a symbolic link.
LockFile ReadLockFile(const std::string& path);

class PortLock {
 public:
  enum class Result { kLocked, kHeld, kRefused, kFailed };
  // Takes the lock on `port`. kHeld fills `holder`; kRefused (a lock file
  // that is not one: a link, a device, unreadable) fills `error` and the port
  // must not be used; kFailed (no lock folder, no permission) fills `error`,
  // and the caller decides whether to go on. A stale lock removed on the way
  // is told in `note`.
  static Result Take(const std::string& port, const std::string& folder,
                     std::unique_ptr<PortLock>* lock, LockHolder* holder, std::string* error,
                     std::string* note);
  ~PortLock();  // removes the file if it is still ours
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  const std::string& path() const { return path_; }

 private:
  explicit PortLock(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// Who holds `port` by its lock file, if a live process does.
bool FindLockHolder(const std::string& port, const std::string& folder, LockHolder* holder);

}  // namespace zentrel
