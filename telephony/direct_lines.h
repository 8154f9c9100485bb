// The line kinds with no modem, one file each: a serial cable to an on-site
// encoder (serial_line.cpp), TAP over TCP (tcp_line.cpp) and over TLS
// (tls_line.cpp). Each checks its line without disturbing it, and opens it
// as a line whose calls are DirectCalls running the kind's opener.
#pragma once

#include <memory>
#include <string>

#include "telephony/direct_call.h"
#include "telephony/line_kind.h"

namespace zentrel {

// An open line whose every call is a DirectCall with `opener`.
std::unique_ptr<IOpenLine> MakeDirectOpenLine(std::string name, LineOpener opener,
                                              DirectTimings timings);

std::string CheckSerialLine(const LineConfig& line, const LineSettings& settings);
std::unique_ptr<IOpenLine> OpenSerialLine(const LineConfig& line, const LineSettings& settings,
                                          LineOpenFailure* failure);
std::string CheckTcpLine(const LineConfig& line, const LineSettings& settings);
std::unique_ptr<IOpenLine> OpenTcpLine(const LineConfig& line, const LineSettings& settings,
                                       LineOpenFailure* failure);
std::string CheckTlsLine(const LineConfig& line, const LineSettings& settings);
std::unique_ptr<IOpenLine> OpenTlsLine(const LineConfig& line, const LineSettings& settings,
                                       LineOpenFailure* failure);

// The connection both network kinds start with.
int ConnectLine(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
                std::string* error);
// Their line check: a connection made and closed within the check time-out;
// "" or why the gateway cannot be reached.
std::string CheckGateway(const LineConfig& line, const LineSettings& settings);

}  // namespace zentrel
