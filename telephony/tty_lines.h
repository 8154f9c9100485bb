// The kinds of line on a tty (a Hayes modem, a direct serial cable): their
// fields, and what they share: the look at a port that must not disturb it
// (no open: a modem stand-in on a pseudo-terminal takes a close for a
// hang-up), and a port that could not be opened as a line's open failure.
// zentrel-lines and the device's caps read these fields too.
#pragma once

#include <string>

#include "seriallink/line_format.h"
#include "seriallink/tty_port.h"
#include "telephony/line_kind.h"

namespace zentrel {

struct TtyLineFields : LineKindFields {
  std::string port;   // the tty
  LineFormat format;  // speed, frame, flow control
};

struct ModemLineFields : TtyLineFields {
  std::string init;   // the init string (ATZ unless given)
  int answer_ms = 0;  // how long it gets to answer a command; 0: the driver's
};

// The port is there, a tty, ours to open and not locked by a live process.
LineCheck CheckTtyLine(const std::string& port, const TtyPortOptions& options);
// A port that could not be opened, as a line's open failure.
LineOpenFailure TtyOpenFailure(const TtyOpenError& error);

}  // namespace zentrel
