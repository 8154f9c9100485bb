// The line check. A modem's INIT is sent as the line has it; a port the
// driver cannot open says why (missing, held by a process, permission).
// The gateway check brings the line up as a page would (the connection, the
// TLS handshake) and closes it at once.
#include "tools/lines/line_check.h"

#include "telephony/line_kind.h"
#include "tools/lines/modem_chat.h"

namespace zentrel {
namespace {

LineReport Verdict(const LineConfig& line, bool usable, const std::string& what) {
  return {usable, line.LineName() + ": " + what};
}

LineReport CheckTty(const LineConfig& line, const CheckOptions& options) {
  TtyOpenError error;
  auto tty = TtyPort::Open(line.port, line.format, options.port, &error);
  if (!tty) return Verdict(line, false, error.text);
  const std::string warning =
      tty->lock_warning().empty() ? "" : " (not locked: " + tty->lock_warning() + ")";
  if (line.kind == LineConfig::Kind::kSerial) return Verdict(line, true, "opened" + warning);
  const ChatAnswer answer = Chat(*tty, line.init, options.limit);
  const std::string said = ChatEndText(answer, options.limit);
  const bool ok = answer.end == ChatAnswer::End::kResult && answer.result == HayesKind::kOk;
  return Verdict(line, ok, line.init + (ok ? " answered OK" : " got " + said) + warning);
}

LineReport CheckGateway(const LineConfig& line, const CheckOptions& options) {
  LineSettings settings;
  settings.direct.check_timeout = options.limit;
  const LineCheck check = CheckLineOfKind(line, settings);
  return Verdict(line, check.usable, check.usable ? "gateway reachable" : check.problem.cause);
}

}  // namespace

LineReport CheckLine(const LineConfig& line, const CheckOptions& options) {
  switch (line.kind) {
    case LineConfig::Kind::kModem:
    case LineConfig::Kind::kSerial: return CheckTty(line, options);
    case LineConfig::Kind::kTcp:
    case LineConfig::Kind::kTls: break;
  }
  return CheckGateway(line, options);
}

}  // namespace zentrel
