// The real port's modem-control lines; see modem_lines.h. Every ioctl's
// result is checked: a port without the lines (a pty answers ENOTTY) says
// so through Present() and false, never by pretending a line is low.
#include "seriallink/modem_lines.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class PortModemLines : public IModemLines {
 public:
  PortModemLines(int fd, milliseconds sample) : fd_(fd), sample_(sample) {
    int bits = 0;
    present_ = ::ioctl(fd_, TIOCMGET, &bits) == 0;
  }

  bool Present() const override { return present_; }

  bool Read(ModemSignals* now) override {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) return false;
    *now = {(bits & TIOCM_CD) != 0, (bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0,
            (bits & TIOCM_RI) != 0};
    return true;
  }

  bool SetDtr(bool up) override { return Set(TIOCM_DTR, up); }
  bool SetRts(bool up) override { return Set(TIOCM_RTS, up); }

  bool IgnoreCarrier(bool ignore) override {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    if (ignore)
      t.c_cflag |= CLOCAL;
    else
      t.c_cflag &= ~CLOCAL;
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
  }

  Wait AwaitChange(const ModemSignals& seen, milliseconds limit, int wake_fd) override {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
      const int step = static_cast<int>(std::clamp(left, milliseconds(0), sample_).count());
      pollfd p[2] = {{fd_, 0, 0}, {wake_fd, POLLIN, 0}};
      if (::poll(p, wake_fd >= 0 ? 2 : 1, step) < 0 && errno != EINTR) return Wait::kHangUp;
      if (wake_fd >= 0 && (p[1].revents & POLLIN)) return Wait::kWoken;
      if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::kHangUp;
      ModemSignals now;
      if (present_ && Read(&now) && !(now == seen)) return Wait::kChanged;
      if (left.count() <= 0) return Wait::kTimeout;
    }
  }

 private:
  bool Set(int line, bool up) { return ::ioctl(fd_, up ? TIOCMBIS : TIOCMBIC, &line) == 0; }

  const int fd_;
  const milliseconds sample_;
  bool present_ = false;
};

}  // namespace

std::unique_ptr<IModemLines> MakePortModemLines(int fd, milliseconds sample) {
  return std::make_unique<PortModemLines>(fd, sample);
}

}  // namespace zentrel
