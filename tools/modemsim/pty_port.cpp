// posix_openpt/grantpt/unlockpt, raw termios on the master, and the symlink.
// Closing the master hangs the slave up: the client's poll() reports POLLHUP
// and its reads end. Unread input is lost then, hence PendingForClient.
#include "pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zentrel::modemsim {

void ThrowErrno(const std::string& what) {
  throw ModemSimError(what + ": " + std::strerror(errno));
}

void PointLink(const std::string& link, const std::string& target) {
  struct stat st;
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    throw ModemSimError(link + " exists and is not a symlink; not replacing it");
  }
  const std::string temp = link + ".tmp" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0) ThrowErrno("symlink " + temp);
  if (::rename(temp.c_str(), link.c_str()) != 0) {
    ::unlink(temp.c_str());
    ThrowErrno("rename " + temp + " to " + link);
  }
}

PtyPort::PtyPort(const std::string& link) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) ThrowErrno("posix_openpt");
  try {
    if (::grantpt(master_) != 0) ThrowErrno("grantpt");
    if (::unlockpt(master_) != 0) ThrowErrno("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) ThrowErrno("ptsname_r");
    slave_path_ = name;
    termios tio{};
    if (::tcgetattr(master_, &tio) != 0) ThrowErrno("tcgetattr");
    ::cfmakeraw(&tio);
    if (::tcsetattr(master_, TCSANOW, &tio) != 0) ThrowErrno("tcsetattr");
    PointLink(link, slave_path_);
  } catch (...) {
    ::close(master_);
    throw;
  }
}

PtyPort::~PtyPort() { ::close(master_); }

void RemoveLink(const std::string& link, const std::string& target) {
  char buf[256];
  const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target) {
    ::unlink(link.c_str());
  }
}

int PtyPort::PendingForClient() const {
  // Opening the slave for a moment doesn't disturb the client's open file.
  const int fd = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  // poll() first moves bytes still in flight inside the kernel to the
  // client's input; FIONREAD alone can miss them and report 0 too early.
  pollfd pfd{fd, POLLIN, 0};
  const bool readable = ::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLIN);
  int pending = 0;
  if (::ioctl(fd, FIONREAD, &pending) != 0) pending = 0;
  ::close(fd);
  return pending > 0 ? pending : (readable ? 1 : 0);
}

}  // namespace zentrel::modemsim
