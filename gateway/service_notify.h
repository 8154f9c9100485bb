// Tells systemd how the daemon is doing (Type=notify): ready once the socket
// listens, reloading on SIGHUP, stopping on SIGTERM, and a watchdog ping at
// half the unit's WatchdogSec while the loop turns. Outside systemd (no
// NOTIFY_SOCKET) every call does nothing.
#pragma once

#include <string>

namespace zentrel::gateway {

class ServiceNotify {
 public:
  ServiceNotify();
  void Ready(const std::string& status);
  void Reloading();
  void Stopping();
  // Pings the watchdog when it is due; returns when the next ping is due
  // (infinity without a watchdog).
  double Watchdog(double now);

 private:
  double interval_s_ = 0;  // half the watchdog's time-out; 0 without one
  double next_ = 0;
};

}  // namespace zentrel::gateway
