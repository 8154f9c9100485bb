// The line kinds with no modem, one file each: a serial cable to an on-site
// encoder (serial_line.cpp), TAP over TCP (tcp_line.cpp) and over TLS
// (tls_line.cpp). Each gives the device's name and the opener that a
// DirectCall runs to bring its line up.
#pragma once

#include <string>

#include "seriallink/line_format.h"
#include "telephony/direct_call.h"

namespace zentrel {

struct TlsLineOptions {
  std::string ca_file;      // ca=FILE: trusted instead of the system store
  std::string server_name;  // name=NAME: checked and sent instead of the host
  bool insecure = false;    // insecure: no check at all
};

std::string SerialLineName(const std::string& port);
LineOpener SerialOpener(std::string port, LineFormat format);

std::string TcpLineName(const std::string& host_port);
LineOpener TcpOpener(std::string host_port);

std::string TlsLineName(const std::string& host_port);
LineOpener TlsOpener(std::string host_port, TlsLineOptions options);

}  // namespace zentrel
