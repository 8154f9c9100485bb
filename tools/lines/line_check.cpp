// The line check. A modem's INIT is sent as the line has it; a port the
// driver cannot open says why (missing, held by a process, permission).
// The gateway check connects and closes at once.
#include "tools/lines/line_check.h"

#include <unistd.h>

#include "seriallink/net_connect.h"
#include "tools/lines/modem_chat.h"

namespace zentrel {
namespace {

LineCheck Verdict(const LineConfig& line, bool usable, const std::string& what) {
  return {usable, line.LineName() + ": " + what};
}

LineCheck CheckTty(const LineConfig& line, const CheckOptions& options) {
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

LineCheck CheckGateway(const LineConfig& line, const CheckOptions& options) {
  std::string error;
  const int fd = ConnectTcp(line.host, line.service, options.limit, -1, &error);
  if (fd < 0) return Verdict(line, false, "gateway not reachable: " + error);
  ::close(fd);
  return Verdict(line, true, "gateway reachable");
}

}  // namespace

LineCheck CheckLine(const LineConfig& line, const CheckOptions& options) {
  switch (line.kind) {
    case LineConfig::Kind::kModem:
    case LineConfig::Kind::kSerial: return CheckTty(line, options);
    case LineConfig::Kind::kTcp:
    case LineConfig::Kind::kTls: break;
  }
  return CheckGateway(line, options);
}

}  // namespace zentrel
