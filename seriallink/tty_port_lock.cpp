// The UUCP port lock; see tty_port_lock.h. A lock file whose pid cannot be
// read, or whose process no longer exists, is stale and removed once; a
// second loss of the race means another dialer took the port meanwhile.
#include "seriallink/tty_port_lock.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrel {
namespace {

// The device name under /dev with '/' as '_' ("ttyUSB0", "pts_3").
std::string DeviceName(const std::string& port) {
  char resolved[PATH_MAX];
  if (::realpath(port.c_str(), resolved) == nullptr) return {};
  std::string name = resolved;
  if (name.rfind("/dev/", 0) == 0) name.erase(0, 5);
  else name.erase(0, name.find_last_of('/') + 1);
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

pid_t ReadPid(const std::string& path) {
  char text[32] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return 0;
  return static_cast<pid_t>(std::strtol(text, nullptr, 10));
}

bool Alive(pid_t pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::string ProgramOf(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Writes our pid under a private name; the path, or "" with `error` set.
std::string WriteOwnFile(const std::string& lock_path, std::string* error) {
  const std::string temp = lock_path + "." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot write a lock in " +
             lock_path.substr(0, lock_path.find_last_of('/')) + ": " +
             std::strerror(errno);
    return {};
  }
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
  const bool written = ::write(fd, text, 11) == 11;
  ::close(fd);
  if (!written) {
    *error = "cannot write the lock " + temp;
    ::unlink(temp.c_str());
    return {};
  }
  return temp;
}

}  // namespace

std::string SystemLockFolder() {
  struct stat st{};
  if (::stat("/run/lock", &st) == 0 && S_ISDIR(st.st_mode)) return "/run/lock";
  return "/var/lock";
}

std::string LockPathFor(const std::string& port, const std::string& folder) {
  const std::string name = DeviceName(port);
  return name.empty() ? std::string() : folder + "/LCK.." + name;
}

std::string LockHolder::Text() const {
  std::string text = "process " + std::to_string(pid);
  return program.empty() ? text : text + " (" + program + ")";
}

bool FindLockHolder(const std::string& port, const std::string& folder,
                    LockHolder* holder) {
  const std::string path = LockPathFor(port, folder);
  if (path.empty()) return false;
  const pid_t pid = ReadPid(path);
  if (!Alive(pid) || pid == ::getpid()) return false;
  holder->pid = pid;
  holder->program = ProgramOf(pid);
  return true;
}

PortLock::Result PortLock::Take(const std::string& port,
                                const std::string& folder,
                                std::unique_ptr<PortLock>* lock,
                                LockHolder* holder, std::string* error) {
  const std::string path = LockPathFor(port, folder);
  if (path.empty()) {
    *error = "cannot resolve " + port + ": " + std::strerror(errno);
    return Result::kFailed;
  }
  const std::string temp = WriteOwnFile(path, error);
  if (temp.empty()) return Result::kFailed;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (::link(temp.c_str(), path.c_str()) == 0) {
      ::unlink(temp.c_str());
      lock->reset(new PortLock(path));
      return Result::kLocked;
    }
    if (errno != EEXIST) break;
    const pid_t pid = ReadPid(path);
    if (Alive(pid)) {
      ::unlink(temp.c_str());
      holder->pid = pid;
      holder->program = ProgramOf(pid);
      return Result::kHeld;
    }
    ::unlink(path.c_str());  // stale: its process is gone
  }
  *error = "cannot make the lock " + path + ": " + std::strerror(errno);
  ::unlink(temp.c_str());
  return Result::kFailed;
}

PortLock::~PortLock() {
  if (ReadPid(path_) == ::getpid()) ::unlink(path_.c_str());
}

}  // namespace zentrel
