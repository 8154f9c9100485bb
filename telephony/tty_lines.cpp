// The tty kinds' shared part; see tty_lines.h. A port is looked at, never
// opened, before a call: its device number tells a tty from anything else,
// its UUCP lock whether a live process holds it, with a hint when that
// process is ModemManager.
#include "telephony/tty_lines.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "telephony/modem_manager.h"

namespace zentrel {
namespace {

// A tty by its device number: a pseudo-terminal, or a device the kernel
// files under the tty class. Unknown (no sysfs) counts as a tty.
bool IsTtyDevice(const struct stat& st) {
  const unsigned m = major(st.st_rdev);
  if (m >= 136 && m <= 143) return true;
  const std::string sys =
      "/sys/dev/char/" + std::to_string(m) + ":" + std::to_string(minor(st.st_rdev)) + "/subsystem";
  std::error_code error;
  const auto target = std::filesystem::read_symlink(sys, error);
  return error || target.filename() == "tty";
}

// The terminal's own devices that are ttys but never a line: the
// pseudo-terminal multiplexer (every open makes a new master nobody answers
// on) and the controlling terminal.
bool IsTerminalDevice(const struct stat& st) {
  return major(st.st_rdev) == 5 && (minor(st.st_rdev) == 0 || minor(st.st_rdev) == 2);
}

}  // namespace

LineCheck CheckTtyLine(const std::string& port, const TtyPortOptions& options) {
  using K = LineProblemKind;
  struct stat st {};
  if (::stat(port.c_str(), &st) != 0) {
    const std::string system = std::strerror(errno);
    return errno == ENOENT ? Unusable(K::kMissingPort, "there is no port " + port, system)
                           : Unusable(K::kOther, "cannot look at " + port + ": " + system, system);
  }
  if (S_ISDIR(st.st_mode))
    return Unusable(K::kNotSerialPort, port + " is a folder, not a serial port");
  if (!S_ISCHR(st.st_mode))
    return Unusable(K::kNotSerialPort, port + " is a file, not a serial port");
  if (!IsTtyDevice(st) || IsTerminalDevice(st))
    return Unusable(K::kNotSerialPort, port + " is not a serial port");
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
  using K = LineProblemKind;
  LineOpenFailure failure;
  const bool held = error.kind == TtyOpenError::Kind::kHeld;
  failure.code = held ? LINEERR_ALLOCATED : LINEERR_NODEVICE;
  failure.problem.cause = error.text + (held ? ModemManagerHint(error.holder) : "");
  switch (error.kind) {
    case TtyOpenError::Kind::kMissing: failure.problem.kind = K::kMissingPort; break;
    case TtyOpenError::Kind::kPermission: failure.problem.kind = K::kPermission; break;
    case TtyOpenError::Kind::kNotTty: failure.problem.kind = K::kNotSerialPort; break;
    case TtyOpenError::Kind::kHeld: failure.problem.kind = K::kHeld; break;
    default: failure.problem.kind = K::kOther; break;
  }
  if (held) failure.problem.holder = error.holder.Text();
  return failure;
}

}  // namespace zentrel
