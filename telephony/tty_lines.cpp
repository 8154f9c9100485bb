// The tty kinds' shared part; see tty_lines.h. A port is looked at, never
// opened, before a call: the port's own look (LookAtPort) tells a serial
// port from anything else, its UUCP lock whether a live process holds it,
// with a hint when that process is ModemManager.
#include "telephony/tty_lines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "telephony/modem_manager.h"

namespace zentrel {
namespace {

LineProblemKind ProblemKind(TtyOpenError::Kind kind) {
  switch (kind) {
    case TtyOpenError::Kind::kMissing: return LineProblemKind::kMissingPort;
    case TtyOpenError::Kind::kPermission: return LineProblemKind::kPermission;
    case TtyOpenError::Kind::kNotTty: return LineProblemKind::kNotSerialPort;
    case TtyOpenError::Kind::kHeld: return LineProblemKind::kHeld;
    default: return LineProblemKind::kOther;
  }
}

}  // namespace

LineCheck CheckTtyLine(const std::string& port, const TtyPortOptions& options) {
  using K = LineProblemKind;
  struct stat st {};
  TtyOpenError error;
  if (!LookAtPort(port, &st, &error))
    return Unusable(ProblemKind(error.kind), error.text, error.system);
  if (::access(port.c_str(), R_OK | W_OK) != 0) {
    const std::string system = std::strerror(errno);
    return Unusable(K::kPermission, "no permission to open " + port + " (" + system + ")", system);
  }
  LockHolder holder;
  if (FindLockHolder(port, options.lock_folder, &holder)) {
    LineCheck held =
        Unusable(K::kHeld, port + " is in use by " + holder.Text() + ModemManagerHint(holder));
    held.problem.holder = holder.Text();
    return held;
  }
  return {};
}

LineOpenFailure TtyOpenFailure(const TtyOpenError& error) {
  LineOpenFailure failure;
  const bool held = error.kind == TtyOpenError::Kind::kHeld;
  failure.code = held ? LINEERR_ALLOCATED : LINEERR_NODEVICE;
  failure.problem.cause = error.text + (held ? ModemManagerHint(error.holder) : "");
  failure.problem.kind = ProblemKind(error.kind);
  failure.problem.system = error.system;
  if (held) failure.problem.holder = error.holder.Text();
  return failure;
}

}  // namespace zentrel
