// The line check. A line on a tty is opened as a page would open it: a port
// the driver cannot open says why (missing, held by a process, permission),
// and a modem's INIT is sent as the line has it. Any other kind is checked
// by its own check, which brings the line up as a page would (the
// connection, the TLS handshake) and closes it at once; a wctp line by how
// it is set up (its URL and files), since only a page's post reaches it.
#include "tools/lines/line_check.h"

#include "telephony/modem_chat.h"
#include "telephony/tty_lines.h"
#include "telephony/wctp_line.h"

namespace zentrel {
namespace {

LineReport Verdict(const LineConfig& line, bool usable, const std::string& what) {
  return {usable, line.LineName() + ": " + what};
}

LineReport CheckTty(const LineConfig& line, const TtyLineFields& fields,
                    const CheckOptions& options) {
  TtyOpenError error;
  auto tty = TtyPort::Open(fields.port, fields.format, options.port, &error);
  if (!tty) return Verdict(line, false, error.text);
  const std::string warning =
      tty->lock_warning().empty() ? "" : " (not locked: " + tty->lock_warning() + ")";
  const auto* modem = line.As<ModemLineFields>();
  if (modem == nullptr) return Verdict(line, true, "opened" + warning);
  const ChatAnswer answer = Chat(*tty, modem->init, options.limit);
  const std::string said = ChatEndText(answer, options.limit);
  const bool ok = answer.end == ChatAnswer::End::kResult && answer.result == HayesKind::kOk;
  return Verdict(line, ok, modem->init + (ok ? " answered OK" : " got " + said) + warning);
}

LineReport CheckByKind(const LineConfig& line, const CheckOptions& options) {
  LineSettings settings;
  settings.direct.check_timeout = options.limit;
  const LineCheck check = line.kind->check(line, settings);
  return Verdict(line, check.usable, check.usable ? "gateway reachable" : check.problem.cause);
}

}  // namespace

LineReport CheckLine(const LineConfig& line, const CheckOptions& options) {
  if (const auto* tty = line.As<TtyLineFields>()) return CheckTty(line, *tty, options);
  if (const auto* wctp = line.As<WctpLineFields>()) {
    const std::string problem = WctpSetupProblem(*wctp);
    return Verdict(line, problem.empty(),
                   problem.empty() ? "set up (the gateway's worker posts pages to it)" : problem);
  }
  return CheckByKind(line, options);
}

}  // namespace zentrel
