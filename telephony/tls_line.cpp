// TAP over TLS to a paging gateway: the connection, then the TLS handshake,
// both within one time limit; the line is up once the server has been
// checked (its certificate against the system's trusted store or ca=, its
// name against the host or name=). A handshake that fails (an expired or
// unknown certificate, another name, no common version) skips the line with
// that reason. With `insecure` nothing is checked, and the trace says so.
#include <unistd.h>

#include "seriallink/tls_session.h"
#include "seriallink/trace.h"
#include "telephony/direct_lines.h"

namespace zentrel {
namespace {

LineProblemKind HandshakeProblemKind(TlsFailure failure) {
  switch (failure) {
    case TlsFailure::kUntrusted: return LineProblemKind::kTlsUntrusted;
    case TlsFailure::kWrongName: return LineProblemKind::kTlsWrongName;
    case TlsFailure::kVersion: return LineProblemKind::kTlsVersion;
    case TlsFailure::kTimeout: return LineProblemKind::kNoAnswer;
    default: return LineProblemKind::kTlsFailed;
  }
}

int BringUpTls(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
               CommHandover* handover, LineProblem* problem) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  if (!line.ca_file.empty() && !line.insecure) {
    problem->cause = TlsCaFileProblem(line.ca_file);
    problem->kind = LineProblemKind::kTlsFailed;
    if (!problem->cause.empty()) return -1;
  }
  const int fd = ConnectLine(line, limit, wake_fd, problem);
  if (fd < 0) return -1;
  if (line.insecure)
    OutputDebugStringA(line.LineName() + ": insecure: the server's certificate and name are not checked\n");
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  const TlsClientOptions tls{line.host, line.server_name, line.ca_file, line.insecure};
  TlsFailure failure = TlsFailure::kNone;
  handover->tls = TlsSession::Connect(fd, tls, left, wake_fd, &problem->cause, &failure);
  if (handover->tls) return fd;
  problem->kind = HandshakeProblemKind(failure);
  close(fd);
  return -1;
}

}  // namespace

LineCheck CheckTlsLine(const LineConfig& line, const LineSettings& settings) {
  return CheckNetLine(line, settings, BringUpTls);
}

std::unique_ptr<IOpenLine> OpenTlsLine(const LineConfig& line, const LineSettings& settings,
                                       std::shared_ptr<LineReady> ready, LineOpenFailure*) {
  return OpenNetLine(line, settings, std::move(ready), BringUpTls);
}

}  // namespace zentrel
