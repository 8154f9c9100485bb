// The modem tty: open, raw 7E1 at 300 bit/s, restore on close; writes that
// wait for room with poll() within a limit; DTR and DCD through the
// modem-control ioctls, which fail on ports without those lines.
#include "telephony/hayes_port.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zentrel {
namespace {

void MakeRaw7E1(termios& t) {
  cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | CSTOPB | PARODD | CRTSCTS);
  t.c_cflag |= CS7 | PARENB | CLOCAL | CREAD;
  cfsetispeed(&t, B300);
  cfsetospeed(&t, B300);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

}  // namespace

std::unique_ptr<HayesPort> HayesPort::Open(const std::string& path,
                                           std::string* error, bool* busy) {
  *busy = false;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *busy = errno == EBUSY;
    *error = std::strerror(errno);
    return nullptr;
  }
  termios saved{};
  bool have_saved = ::tcgetattr(fd, &saved) == 0;
  if (!have_saved) {
    *error = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  termios raw = saved;
  MakeRaw7E1(raw);
  ::tcsetattr(fd, TCSANOW, &raw);
  ::tcflush(fd, TCIOFLUSH);
  return std::unique_ptr<HayesPort>(new HayesPort(fd, path, saved, true));
}

HayesPort::HayesPort(int fd, std::string path, const termios& saved,
                     bool restore)
    : fd_(fd), path_(std::move(path)), saved_(saved), restore_(restore) {}

HayesPort::~HayesPort() {
  if (restore_) ::tcsetattr(fd_, TCSANOW, &saved_);
  ::close(fd_);
}

bool HayesPort::WriteAll(std::string_view text,
                         std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!text.empty()) {
    ssize_t n = ::write(fd_, text.data(), text.size());
    if (n > 0) {
      text.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
      return false;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
  }
  return true;
}

bool HayesPort::PulseDtr(std::chrono::milliseconds hold) {
  int dtr = TIOCM_DTR;
  if (::ioctl(fd_, TIOCMBIC, &dtr) != 0) return false;
  std::this_thread::sleep_for(hold);  // the modem needs DTR low this long
  ::ioctl(fd_, TIOCMBIS, &dtr);
  return true;
}

bool HayesPort::ReadCarrier(bool* carrier) const {
  int bits = 0;
  if (::ioctl(fd_, TIOCMGET, &bits) != 0) return false;
  *carrier = (bits & TIOCM_CD) != 0;
  return true;
}

}  // namespace zentrel
