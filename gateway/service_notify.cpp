// The notifications through libsystemd's sd_notify.
#include "gateway/service_notify.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <limits>

namespace zentrel::gateway {

ServiceNotify::ServiceNotify() {
  std::uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) interval_s_ = usec / 2e6;
}

void ServiceNotify::Ready(const std::string& status) {
  sd_notify(0, ("READY=1\nSTATUS=" + status).c_str());
}

void ServiceNotify::Reloading() { sd_notify(0, "RELOADING=1"); }

void ServiceNotify::Stopping() { sd_notify(0, "STOPPING=1\nSTATUS=Stopping"); }

double ServiceNotify::Watchdog(double now) {
  if (interval_s_ <= 0) return std::numeric_limits<double>::infinity();
  if (now >= next_) {
    sd_notify(0, "WATCHDOG=1");
    next_ = now + interval_s_;
  }
  return next_;
}

}  // namespace zentrel::gateway
