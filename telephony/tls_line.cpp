// TAP over TLS to a paging gateway: the connection, then the TLS handshake,
// both within one time limit; the line is up once the server has been
// checked (its certificate against the system's trusted store or ca=, its
// name against the host or name=). A handshake that fails (an expired or
// unknown certificate, another name, no common version) skips the line with
// that reason. With `insecure` nothing is checked, and the trace says so.
// Its lines.conf line: tls HOST:PORT [ca=FILE] [name=SERVERNAME] [insecure]
#include <unistd.h>

#include "seriallink/tls_session.h"
#include "seriallink/trace.h"
#include "telephony/direct_lines.h"
#include "telephony/line_words.h"

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

const TlsLineFields& Fields(const LineConfig& line) { return *line.As<TlsLineFields>(); }

int BringUpTls(const LineConfig& config, std::chrono::milliseconds limit, int wake_fd,
               CommHandover* handover, LineProblem* problem) {
  const TlsLineFields& line = Fields(config);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  if (!line.ca_file.empty() && !line.insecure) {
    problem->cause = TlsCaFileProblem(line.ca_file);
    problem->kind = LineProblemKind::kTlsFailed;
    if (!problem->cause.empty()) return -1;
  }
  const int fd = ConnectLine(config, limit, wake_fd, problem);
  if (fd < 0) return -1;
  if (line.insecure)
    OutputDebugStringA(config.LineName() +
                       ": insecure: the server's certificate and name are not checked\n");
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  const TlsClientOptions tls{line.host, line.server_name, line.ca_file, line.insecure};
  TlsFailure failure = TlsFailure::kNone;
  handover->tls = TlsSession::Connect(fd, tls, left, wake_fd, &problem->cause, &failure);
  if (handover->tls) return fd;
  problem->kind = HandshakeProblemKind(failure);
  close(fd);
  return -1;
}

std::string ParseTls(LineWords& words, TlsLineFields& tls) {
  const std::string address = words.Next();
  if (address.empty()) return "tls without HOST:PORT";
  const std::string error = ReadAddress(address, &tls.host, &tls.service);
  if (!error.empty()) return error;
  for (std::string word = words.Next(); !word.empty(); word = words.Next()) {
    const std::string_view w = word;
    if (w.substr(0, 3) == "ca=" && w.size() > 3)
      tls.ca_file = w.substr(3);
    else if (w.substr(0, 5) == "name=" && w.size() > 5)
      tls.server_name = w.substr(5);
    else if (w == "insecure")
      tls.insecure = true;
    else
      return "unknown tls option " + QuotedWord(w) + " (ca=FILE, name=SERVER, insecure)";
  }
  return {};
}

std::string Parse(LineWords& words, LineConfig* line) {
  auto tls = std::make_shared<TlsLineFields>();
  const std::string error = ParseTls(words, *tls);
  line->fields = std::move(tls);
  return error;
}

std::string Name(const LineConfig& line) { return "TAP over TLS to " + NetLineWhere(line); }

LineCheck Check(const LineConfig& line, const LineSettings& settings) {
  return CheckNetLine(line, settings, BringUpTls);
}

std::unique_ptr<IOpenLine> Open(const LineConfig& line, const LineSettings& settings,
                                std::shared_ptr<LineReady> ready, LineOpenFailure*) {
  return OpenNetLine(line, settings, std::move(ready), BringUpTls);
}

}  // namespace

extern const LineKindOps kTlsLineKind = {"tls",        false, Parse, Name,
                                         NetLineWhere, Check, Open,  false};

}  // namespace zentrel
