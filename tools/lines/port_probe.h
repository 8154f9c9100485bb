// Finding the serial ports a modem may be on and asking each who it is: the
// stable names under serial/by-id first (a port they name is not listed
// again), then ttyS*, ttyUSB* and ttyACM*; each is opened with its lock and
// sent AT and ATI within a bound, and the result says what answered or why
// nothing could (held by a process, no permission, no answer).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "seriallink/tty_port.h"

namespace zentrel {

// The candidate ports under `dev` (normally /dev), in the order to show.
std::vector<std::string> CandidatePorts(const std::string& dev);

struct ProbeResult {
  std::string port;
  bool answered = false;  // AT got OK
  std::string identity;   // ATI's lines, joined with " / "
  std::string why_not;    // when not answered: the cause
};

struct ProbeOptions {
  std::chrono::milliseconds limit{2000};  // for each command
  TtyPortOptions port;
  LineFormat format;
};

ProbeResult ProbePort(const std::string& port, const ProbeOptions& options);

// One line of the listing: "PORT: modem answered (IDENTITY)" or "PORT: WHY".
std::string ProbeLine(const ProbeResult& result);

}  // namespace zentrel
