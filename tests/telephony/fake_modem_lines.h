// Modem-control lines for tests of the modem driver on a pty, which has
// none: the test raises and drops DCD when it likes, says what the modem
// does when DTR falls (drop the carrier, answer on the pty, or nothing), and
// reads back every DTR and CLOCAL setting. A wait ends on a scripted change,
// the pty's hang-up or the wake-up event. Safe to use from two threads.
#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "seriallink/eventfd_signal.h"
#include "seriallink/modem_lines.h"

namespace zentrel {

class FakeModemLines : public IModemLines {
 public:
  // `port_fd`: the driver's side of the pty, whose hang-up a wait reports.
  explicit FakeModemLines(int port_fd)
      : port_fd_(port_fd), changed_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~FakeModemLines() override { ::close(changed_); }

  void SetCarrier(bool up) {
    std::lock_guard lock(mutex_);
    signals_.dcd = up;
    RaiseEventFd(changed_);
  }
  // What the modem does when DTR goes low (called with the lock not held).
  void OnDtrLow(std::function<void(FakeModemLines&)> action) {
    std::lock_guard lock(mutex_);
    on_dtr_low_ = std::move(action);
  }
  std::vector<bool> Dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
  }
  std::vector<bool> Clocal() const {
    std::lock_guard lock(mutex_);
    return clocal_;
  }
  // Waits (up to `limit`) until the driver has made the port heed the carrier.
  bool AwaitCarrierHeeded(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return set_.wait_for(lock, limit, [this] {
      return std::find(clocal_.begin(), clocal_.end(), false) != clocal_.end();
    });
  }

  bool Present() const override { return true; }
  bool Read(ModemSignals* now) override {
    std::lock_guard lock(mutex_);
    *now = signals_;
    return true;
  }
  bool SetDtr(bool up) override {
    std::function<void(FakeModemLines&)> action;
    {
      std::lock_guard lock(mutex_);
      dtr_.push_back(up);
      if (!up) action = on_dtr_low_;
    }
    if (action) action(*this);
    return true;
  }
  bool SetRts(bool) override { return true; }
  bool IgnoreCarrier(bool ignore) override {
    std::lock_guard lock(mutex_);
    clocal_.push_back(ignore);
    set_.notify_all();
    return true;
  }
  Wait AwaitChange(const ModemSignals& seen, std::chrono::milliseconds limit,
                   int wake_fd) override {
    pollfd p[3] = {{port_fd_, 0, 0}, {changed_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
    ::poll(p, wake_fd >= 0 ? 3 : 2, static_cast<int>(limit.count()));
    if (wake_fd >= 0 && (p[2].revents & POLLIN)) return Wait::kWoken;
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return Wait::kHangUp;
    LowerEventFd(changed_);
    ModemSignals now;
    Read(&now);
    return now == seen ? Wait::kTimeout : Wait::kChanged;
  }

 private:
  const int port_fd_;
  const int changed_;
  mutable std::mutex mutex_;
  std::condition_variable set_;
  ModemSignals signals_;
  std::function<void(FakeModemLines&)> on_dtr_low_;
  std::vector<bool> dtr_;
  std::vector<bool> clocal_;
};

}  // namespace zentrel
