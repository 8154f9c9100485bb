// TAP over TLS to a paging gateway: the connection, then the TLS handshake,
// both within the connect time-out; the call is up once the server has been
// checked (its certificate against the system's trusted store or ca=, its
// name against the host or name=). With `insecure` nothing is checked, and
// the trace says so on every call.
#include <unistd.h>

#include "seriallink/tls_session.h"
#include "seriallink/trace.h"
#include "telephony/direct_lines.h"

namespace zentrel {
namespace {

int ConnectTls(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
               CommHandover* handover, std::string* error) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const int fd = ConnectLine(line, limit, wake_fd, error);
  if (fd < 0) return -1;
  if (line.insecure)
    OutputDebugStringA(line.LineName() + ": insecure: the server's certificate and name are not checked\n");
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  const TlsClientOptions tls{line.host, line.server_name, line.ca_file, line.insecure};
  handover->tls = TlsSession::Connect(fd, tls, left, wake_fd, error);
  if (handover->tls) return fd;
  close(fd);
  return -1;
}

}  // namespace

// Only the connection is tried: the handshake and its checks are the call's.
std::string CheckTlsLine(const LineConfig& line, const LineSettings& settings) {
  return CheckGateway(line, settings);
}

std::unique_ptr<IOpenLine> OpenTlsLine(const LineConfig& line, const LineSettings& settings,
                                       LineOpenFailure*) {
  LineOpener opener = [line](std::chrono::milliseconds limit, int wake_fd, CommHandover* handover,
                             std::string* error) { return ConnectTls(line, limit, wake_fd, handover, error); };
  return MakeDirectOpenLine(line.LineName(), std::move(opener), settings.direct);
}

}  // namespace zentrel
