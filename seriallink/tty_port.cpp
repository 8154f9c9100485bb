// The tty port; see tty_port.h. Open looks at the path before it touches
// it (tty_device.cpp: missing, not a serial port), takes the lock, then
// opens non-blocking; each failure becomes one TtyOpenError naming its cause.
#include "seriallink/tty_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "seriallink/trace.h"

namespace zentrel {
namespace {

tcflag_t SizeFlag(int data_bits) {
  switch (data_bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

}  // namespace

bool MakeRawTermios(termios& t, const LineFormat& f, std::string* error) {
  speed_t speed = B0;
  if (!SpeedConstant(f.speed, &speed)) {
    *error = "unsupported speed " + std::to_string(f.speed);
    return false;
  }
  const tcflag_t kept = t.c_cflag & (CLOCAL | HUPCL);
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS | CLOCAL | HUPCL);
  t.c_cflag |= SizeFlag(f.data_bits) | CREAD | kept;
  if (f.parity != 'N') t.c_cflag |= PARENB;
  if (f.parity == 'O') t.c_cflag |= PARODD;
  if (f.stop_bits == 2) t.c_cflag |= CSTOPB;
  if (f.flow == LineFormat::Flow::kRtsCts) t.c_cflag |= CRTSCTS;
  if (f.flow == LineFormat::Flow::kXonXoff) t.c_iflag |= IXON | IXOFF;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return true;
}

namespace {

std::string GroupOf(const struct stat& st) {
  const group* g = ::getgrgid(st.st_gid);
  return g != nullptr ? g->gr_name : std::to_string(st.st_gid);
}

TtyOpenError Fail(TtyOpenError::Kind kind, std::string text) {
  return TtyOpenError{kind, std::move(text), {}, {}};
}

TtyOpenError OpenFailure(const std::string& path, const struct stat& st, int error) {
  if (error == EACCES || error == EPERM)
    return Fail(TtyOpenError::Kind::kPermission,
                "no permission to open " + path + " (it belongs to group " + GroupOf(st) + ")");
  if (error == EBUSY)
    return Fail(TtyOpenError::Kind::kHeld, path + " is held exclusively by another program");
  if (error == ENOENT || error == ENXIO || error == ENODEV)
    return Fail(TtyOpenError::Kind::kMissing, path + " is not there: " + std::strerror(error));
  return Fail(TtyOpenError::Kind::kFailed, "cannot open " + path + ": " + std::strerror(error));
}

}  // namespace

std::unique_ptr<TtyPort> TtyPort::Open(const std::string& path, const LineFormat& format,
                                       const TtyPortOptions& options, TtyOpenError* error) {
  struct stat st {};
  if (!LookAtPort(path, &st, error)) return nullptr;
  std::unique_ptr<PortLock> lock;
  LockHolder holder;
  std::string lock_warning, note;
  switch (PortLock::Take(path, options.lock_folder, &lock, &holder, &lock_warning, &note)) {
    case PortLock::Result::kHeld:
      *error = {TtyOpenError::Kind::kHeld, path + " is in use by " + holder.Text(), holder, {}};
      return nullptr;
    case PortLock::Result::kRefused:
      *error = Fail(TtyOpenError::Kind::kFailed, "cannot lock " + path + ": " + lock_warning +
                                                     " (remove it if no program uses the port)");
      return nullptr;
    case PortLock::Result::kFailed:
    case PortLock::Result::kLocked: break;
  }
  if (!note.empty()) OutputDebugStringA(path + ": " + note + "\n");
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = OpenFailure(path, st, errno);
    return nullptr;
  }
  termios saved{};
  if (::isatty(fd) != 1 || ::tcgetattr(fd, &saved) != 0) {
    *error = Fail(TtyOpenError::Kind::kNotTty, path + " is not a serial port");
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<TtyPort> port(new TtyPort(fd, path, saved));
  port->lock_ = std::move(lock);
  port->lock_warning_ = lock_warning;
  // A pseudo-terminal's other side must still be able to look at it.
  if (!IsPseudoTerminal(st)) ::ioctl(fd, TIOCEXCL);
  std::string why;
  if (!port->Apply(format, &why) || !port->IgnoreCarrier(true) ||
      !port->SetHangUpOnClose(options.hang_up_on_close)) {
    *error = Fail(TtyOpenError::Kind::kFailed,
                  "cannot set up " + path + ": " + (why.empty() ? std::strerror(errno) : why));
    return nullptr;
  }
  port->FlushInput();
  return port;
}

TtyPort::TtyPort(int fd, std::string path, const termios& saved)
    : fd_(fd), path_(std::move(path)), saved_(saved), lines_(MakePortModemLines(fd)) {}

TtyPort::~TtyPort() {
  ::tcsetattr(fd_, TCSANOW, &saved_);
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

bool TtyPort::Apply(const LineFormat& format, std::string* error) {
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  if (!MakeRawTermios(t, format, error)) return false;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
    *error = "the driver refuses " + format.Text() + ": " + std::strerror(errno);
    return false;
  }
  format_ = format;
  return true;
}

namespace {
bool SetCflag(int fd, tcflag_t flag, bool on) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  if (on)
    t.c_cflag |= flag;
  else
    t.c_cflag &= ~flag;
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}
}  // namespace

bool TtyPort::SetHangUpOnClose(bool on) { return SetCflag(fd_, HUPCL, on); }

bool TtyPort::AwaitHangUp(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, 0, 0};
    const int n = ::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0)));
    if (n > 0) return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (n == 0 || errno != EINTR) return false;
  }
}

bool TtyPort::FlushInput() { return ::tcflush(fd_, TCIFLUSH) == 0; }

bool TtyPort::Drain() {
  while (::tcdrain(fd_) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool TtyPort::WriteAll(std::string_view text, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!text.empty()) {
    const ssize_t n = ::write(fd_, text.data(), text.size());
    if (n > 0) {
      text.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
  }
  return true;
}

TtyPort::ReadResult TtyPort::Read(char* buffer, std::size_t size, std::size_t* got,
                                  std::chrono::milliseconds limit, int wake_fd) {
  *got = 0;
  pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  const int n = ::poll(p, wake_fd >= 0 ? 2 : 1, static_cast<int>(limit.count()));
  if (n < 0) return errno == EINTR ? ReadResult::kTimeout : ReadResult::kHangUp;
  if (n == 0) return ReadResult::kTimeout;
  if (wake_fd >= 0 && (p[1].revents & POLLIN)) return ReadResult::kWoken;
  if (p[0].revents & POLLIN) {
    const ssize_t r = ::read(fd_, buffer, size);
    if (r > 0) {
      *got = static_cast<std::size_t>(r);
      return ReadResult::kData;
    }
    if (r < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::kTimeout;
    return ReadResult::kHangUp;
  }
  return ReadResult::kHangUp;  // POLLHUP, POLLERR or POLLNVAL alone
}

}  // namespace zentrel
