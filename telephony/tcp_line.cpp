// TAP over TCP to a paging gateway: the call is up once the connection is
// made within the connect time-out. No line settings, no line errors; the
// gateway closing the connection ends the call.
#include "seriallink/net_connect.h"
#include "telephony/direct_lines.h"

namespace zentrel {

std::string TcpLineName(const std::string& host_port) { return "TAP over TCP to " + host_port; }

LineOpener TcpOpener(std::string host_port) {
  return [host_port](std::chrono::milliseconds limit, int wake_fd, CommHandover*, std::string* error) {
    std::string host, port;
    if (!SplitHostPort(host_port, &host, &port)) return *error = "not HOST:PORT: " + host_port, -1;
    return ConnectTcp(host, port, limit, wake_fd, error);
  };
}

}  // namespace zentrel
