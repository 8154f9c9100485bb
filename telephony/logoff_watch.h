// How a call on a line with no modem learns that the page is over. A cable
// never hangs up and some servers never close, so the call watches the
// link's traffic: the terminal's goodbye (ESC EOT and its CR) ends the call
// as soon as it is complete; the log-off (EOT CR) going out starts a grace
// period after which the call ends anyway. Runs on the link's threads; its eventfd wakes the call's
// thread, which asks Due() what to do.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "seriallink/handover.h"

namespace zentrel {

class LogoffWatch : public ITrafficWatcher {
 public:
  using Clock = std::chrono::steady_clock;
  // Null when no eventfd can be had.
  static std::shared_ptr<LogoffWatch> Create(std::chrono::milliseconds grace);
  ~LogoffWatch() override;

  void Sent(std::string_view bytes) override;
  void Received(std::string_view bytes) override;

  enum class Verdict { kGoOn, kGoodbye, kNoAnswer };
  // What the call should do now; *wait_ms how long it may wait before asking
  // again (-1: until woken).
  Verdict Due(Clock::time_point now, int* wait_ms);
  int fd() const { return fd_; }  // readable when something changed

 private:
  LogoffWatch(int fd, std::chrono::milliseconds grace) : fd_(fd), grace_(grace) {}
  void Wake();

  const int fd_;
  const std::chrono::milliseconds grace_;
  std::mutex mutex_;
  std::string sent_tail_;      // the last bytes sent, for a log-off cut in two
  std::string received_tail_;  // the last bytes received, for a goodbye cut in two
  bool goodbye_ = false;
  std::optional<Clock::time_point> logoff_at_;
};

}  // namespace zentrel
