// Whether each configured line can be used now, the way a page would use it:
// a modem is opened, locked and sent its INIT (which must answer OK), a
// serial line is opened and locked, a tcp or tls line's gateway must accept
// a connection. Nothing is dialled and nothing is sent to a terminal.
#pragma once

#include <chrono>
#include <string>

#include "seriallink/tty_port.h"
#include "telephony/lines_config.h"

namespace zentrel {

struct LineCheck {
  bool usable = false;
  std::string text;  // "Modem on /dev/ttyUSB0: INIT answered OK"
};

struct CheckOptions {
  std::chrono::milliseconds limit{5000};  // INIT's answer, a connection
  TtyPortOptions port;
};

LineCheck CheckLine(const LineConfig& line, const CheckOptions& options);

}  // namespace zentrel
