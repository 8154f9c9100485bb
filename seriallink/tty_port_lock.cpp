// The UUCP port lock; see tty_port_lock.h. Nothing here follows a symbolic
// link: our own file is made under a fresh private name (O_EXCL), the lock
// is read with O_NOFOLLOW and must be a regular file. A lock that names no
// live process (empty, garbage, pid 0 or below, a process that is gone) is
// stale and removed once it is checked to be the file that was read; a lock
// that is a link or cannot be read is left alone and refuses the port.
#include "seriallink/tty_port_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace zentrel {
namespace {

// The device name under /dev with '/' as '_' ("ttyUSB0", "pts_3").
std::string DeviceName(const std::string& port) {
  char resolved[PATH_MAX];
  if (::realpath(port.c_str(), resolved) == nullptr) return {};
  std::string name = resolved;
  if (name.rfind("/dev/", 0) == 0)
    name.erase(0, 5);
  else
    name.erase(0, name.find_last_of('/') + 1);
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

bool Alive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

std::string ProgramOf(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Writes our pid, as ten characters and a newline, under a fresh private
// name beside the lock; the path, or "" with `error` set.
std::string WriteOwnFile(const std::string& lock_path, std::string* error) {
  std::string temp = lock_path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot write a lock in " + lock_path.substr(0, lock_path.find_last_of('/')) + ": " +
             std::strerror(errno);
    return {};
  }
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
  const bool written = ::fchmod(fd, 0644) == 0 && ::write(fd, text, 11) == 11;
  ::close(fd);
  if (!written) {
    *error = "cannot write the lock " + temp;
    ::unlink(temp.c_str());
    return {};
  }
  return temp;
}

// The pid in a lock's text: the usual ten characters (spaces, digits, a
// newline, which some dialers leave out) or the older binary int.
bool ParsePid(const char* text, std::size_t size, long* pid) {
  std::size_t i = 0;
  while (i < size && text[i] == ' ') ++i;
  std::size_t j = i;
  if (j < size && text[j] == '-') ++j;
  const std::size_t digits = j;
  while (j < size && text[j] >= '0' && text[j] <= '9') ++j;
  if (j > digits && j - digits <= 10 && (j == size || (j + 1 == size && text[j] == '\n'))) {
    *pid = std::strtol(std::string(text + i, j - i).c_str(), nullptr, 10);
    return true;
  }
  if (size != sizeof(int)) return false;
  int binary = 0;
  std::memcpy(&binary, text, sizeof binary);
  *pid = binary;
  return true;
}

}  // namespace

LockFile ReadLockFile(const std::string& path) {
  LockFile lock;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return lock;
  if (fd < 0 && errno == ELOOP) {
    lock.state = LockFile::State::kForeign;
    lock.why = "the lock " + path + " is a symbolic link, not a lock file";
    return lock;
  }
  if (fd < 0) {
    lock.state = LockFile::State::kForeign;
    lock.why = "cannot read the lock " + path + ": " + std::strerror(errno);
    return lock;
  }
  struct stat st {};
  char text[32] = {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const ssize_t n = regular ? ::read(fd, text, sizeof text) : -1;
  ::close(fd);
  lock.device = st.st_dev;
  lock.inode = st.st_ino;
  long pid = 0;
  if (!regular) {
    lock.state = LockFile::State::kForeign;
    lock.why = "the lock " + path + " is not a regular file";
  } else if (n <= 0) {
    lock.state = LockFile::State::kStale, lock.why = "it is empty";
  } else if (!ParsePid(text, static_cast<std::size_t>(n), &pid)) {
    lock.state = LockFile::State::kStale, lock.why = "it holds no process number";
  } else if (pid <= 0 || pid > INT_MAX) {
    lock.state = LockFile::State::kStale, lock.why = "it names no process";
  } else if (!Alive(static_cast<pid_t>(pid))) {
    lock.state = LockFile::State::kStale, lock.why = "process " + std::to_string(pid) + " is gone";
  } else {
    lock.state = LockFile::State::kHeld;
    lock.holder.pid = static_cast<pid_t>(pid);
    lock.holder.program = ProgramOf(lock.holder.pid);
  }
  return lock;
}

std::string SystemLockFolder() {
  if (const char* dir = std::getenv("ZENTREL_PORT_LOCK_DIR"); dir && *dir) return dir;
  struct stat st {};
  if (::stat("/run/lock", &st) == 0 && S_ISDIR(st.st_mode)) return "/run/lock";
  return "/var/lock";
}

std::string LockPathFor(const std::string& port, const std::string& folder) {
  const std::string name = DeviceName(port);
  return name.empty() ? std::string() : folder + "/LCK.." + name;
}

std::string LockHolder::Text() const {
  if (pid == ::getpid()) return "this program (process " + std::to_string(pid) + ")";
  std::string text = "process " + std::to_string(pid);
  return program.empty() ? text : text + " (" + program + ")";
}

bool FindLockHolder(const std::string& port, const std::string& folder, LockHolder* holder) {
  const std::string path = LockPathFor(port, folder);
  if (path.empty()) return false;
  const LockFile lock = ReadLockFile(path);
  if (lock.state != LockFile::State::kHeld || lock.holder.pid == ::getpid()) return false;
  *holder = lock.holder;
  return true;
}

namespace {

// Removes a stale lock if `path` is still the file that was read (another
// dialer may have replaced it meanwhile); the note says what was removed.
void RemoveStale(const std::string& path, const LockFile& lock, std::string* note) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || st.st_dev != lock.device || st.st_ino != lock.inode)
    return;
  if (::unlink(path.c_str()) == 0) *note = "removed the stale lock " + path + ": " + lock.why;
}

}  // namespace

PortLock::Result PortLock::Take(const std::string& port, const std::string& folder,
                                std::unique_ptr<PortLock>* lock, LockHolder* holder,
                                std::string* error, std::string* note) {
  const std::string path = LockPathFor(port, folder);
  if (path.empty()) {
    *error = "cannot resolve " + port + ": " + std::strerror(errno);
    return Result::kFailed;
  }
  const std::string temp = WriteOwnFile(path, error);
  if (temp.empty()) return Result::kFailed;
  Result result = Result::kFailed;
  *error = "cannot make the lock " + path;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (::link(temp.c_str(), path.c_str()) == 0) {
      lock->reset(new PortLock(path));
      error->clear();
      result = Result::kLocked;
      break;
    }
    if (errno != EEXIST) {
      *error += std::string(": ") + std::strerror(errno);
      break;
    }
    const LockFile found = ReadLockFile(path);
    if (found.state == LockFile::State::kHeld) {
      *holder = found.holder;
      error->clear();
      result = Result::kHeld;
      break;
    }
    if (found.state == LockFile::State::kForeign) {
      *error = found.why;
      result = Result::kRefused;
      break;
    }
    if (found.state == LockFile::State::kStale) RemoveStale(path, found, note);
  }
  ::unlink(temp.c_str());
  return result;
}

PortLock::~PortLock() {
  const LockFile lock = ReadLockFile(path_);
  if (lock.state == LockFile::State::kHeld && lock.holder.pid == ::getpid())
    ::unlink(path_.c_str());
}

}  // namespace zentrel
