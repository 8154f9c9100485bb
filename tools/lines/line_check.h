// Whether each configured line can be used now, the way a page would use it:
// a modem is opened, locked and sent its INIT (which must answer OK), a
// serial line is opened and locked, a tcp line's gateway must accept a
// connection and a tls line's must also pass the TLS handshake and its
// checks. Nothing is dialled and nothing is sent to a terminal.
#pragma once

#include <chrono>
#include <string>

#include "seriallink/tty_port.h"
#include "telephony/lines_config.h"

namespace zentrel {

struct LineReport {
  bool usable = false;
  std::string text;  // "Modem on /dev/ttyUSB0: INIT answered OK"
};

struct CheckOptions {
  std::chrono::milliseconds limit{5000};  // INIT's answer, a connection
  TtyPortOptions port;
};

LineReport CheckLine(const LineConfig& line, const CheckOptions& options);

}  // namespace zentrel
