// TAP over TLS to a paging gateway: the connection, then the TLS handshake,
// both within the connect time-out; the call is up once the server has been
// checked (its certificate against the system's trusted store or ca=, its
// name against the host or name=). With `insecure` nothing is checked, and
// the trace says so on every call.
#include <unistd.h>

#include "seriallink/net_connect.h"
#include "seriallink/tls_session.h"
#include "seriallink/trace.h"
#include "telephony/direct_lines.h"

namespace zentrel {

std::string TlsLineName(const std::string& host_port) { return "TAP over TLS to " + host_port; }

LineOpener TlsOpener(std::string host_port, TlsLineOptions options) {
  return [host_port, options](std::chrono::milliseconds limit, int wake_fd, CommHandover* handover,
                              std::string* error) {
    std::string host, port;
    if (!SplitHostPort(host_port, &host, &port)) return *error = "not HOST:PORT: " + host_port, -1;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const int fd = ConnectTcp(host, port, limit, wake_fd, error);
    if (fd < 0) return -1;
    if (options.insecure)
      OutputDebugStringA(TlsLineName(host_port) +
                         ": insecure: the server's certificate and name are not checked\n");
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    TlsClientOptions tls{host, options.server_name, options.ca_file, options.insecure};
    handover->tls = TlsSession::Connect(fd, tls, left, wake_fd, error);
    if (!handover->tls) {
      close(fd);
      return -1;
    }
    return fd;
  };
}

}  // namespace zentrel
