// What the server drives, whatever stands between the caller and the
// terminal: a Hayes modem (Session) or nothing at all (LineSession, for a
// direct cable or a TCP/TLS connection). Bytes and times in, Actions out.
#pragma once

#include <string_view>

#include "actions.h"

namespace zentrel::modemsim {

class ISession {
 public:
  virtual ~ISession() = default;
  virtual Actions Receive(std::string_view bytes) = 0;
  // The dial delay has passed (modem only).
  virtual Actions DialDone() = 0;
  // Nothing came from the caller for the terminal's inactivity time.
  virtual Actions IdleTimeout() = 0;
  // Nothing came from the caller for the escape guard time (modem only).
  virtual Actions GuardSilence() = 0;
  // A call is up and the escape guard is timed.
  virtual bool GuardTimed() const = 0;
  virtual bool IdleTimerRunning() const = 0;
};

}  // namespace zentrel::modemsim
