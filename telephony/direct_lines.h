// The line kinds with no modem, one file each: a serial cable to an on-site
// encoder (serial_line.cpp), TAP over TCP (tcp_line.cpp) and over TLS
// (tls_line.cpp), and what the network kinds share. A serial line is checked without disturbing its
// port; a network line is checked by bringing it up (net_line.cpp), and its first call takes that
// connection over. Each opens as a line whose calls are DirectCalls running the kind's opener.
#pragma once

#include <memory>
#include <string>

#include "telephony/direct_call.h"
#include "telephony/line_kind.h"

namespace zentrel {

// An open line whose every call is a DirectCall with `opener`.
std::unique_ptr<IOpenLine> MakeDirectOpenLine(std::string name, LineOpener opener,
                                              DirectTimings timings);

// The network kinds' fields: where the gateway is, and for TLS how to trust it.
struct NetLineFields : LineKindFields {
  std::string host;
  std::string service;  // the port number as text
};

struct TlsLineFields : NetLineFields {
  std::string ca_file;      // trust these instead of the system's
  std::string server_name;  // the name to verify; host when empty
  bool insecure = false;    // no certificate check
};

// "host:444": where a network line goes.
std::string NetLineWhere(const LineConfig& line);

// How a network kind brings its line up within `limit` (`wake_fd`, or -1,
// gives up): the connected descriptor with what goes with it in `handover`,
// or -1 with the problem.
using NetBringUp = int (*)(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
                           CommHandover* handover, LineProblem* problem);

// The TCP connection both network kinds start with; its failure as a problem
// ("the gateway cannot be reached: Connection refused").
int ConnectLine(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
                LineProblem* problem);
// The network kinds' check: the line brought up within the check time-out
// and kept (LineReady) for the first call.
LineCheck CheckNetLine(const LineConfig& line, const LineSettings& settings, NetBringUp bring_up);
// Their open line: the first call takes the connection the check made, each
// later call brings the line up anew.
std::unique_ptr<IOpenLine> OpenNetLine(const LineConfig& line, const LineSettings& settings,
                                       std::shared_ptr<LineReady> ready, NetBringUp bring_up);

}  // namespace zentrel
