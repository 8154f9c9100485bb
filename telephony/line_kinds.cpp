// Picks a line's kind, and what the tty kinds share: the look at a port
// that must not disturb it (no open: a modem stand-in on a pseudo-terminal
// takes a close for a hang-up), and the hint about ModemManager.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "telephony/direct_lines.h"
#include "telephony/line_kind.h"
#include "telephony/modem_manager.h"

namespace zentrel {
namespace {

// A tty by its device number: a pseudo-terminal, or a device the kernel
// files under the tty class. Unknown (no sysfs) counts as a tty.
bool IsTtyDevice(const struct stat& st) {
  const unsigned m = major(st.st_rdev);
  if (m >= 136 && m <= 143) return true;
  const std::string sys = "/sys/dev/char/" + std::to_string(m) + ":" +
                          std::to_string(minor(st.st_rdev)) + "/subsystem";
  std::error_code error;
  const auto target = std::filesystem::read_symlink(sys, error);
  return error || target.filename() == "tty";
}


}  // namespace

std::string CheckTtyLine(const std::string& port, const TtyPortOptions& options) {
  struct stat st{};
  if (::stat(port.c_str(), &st) != 0)
    return errno == ENOENT ? "there is no port " + port
                           : "cannot look at " + port + ": " + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return port + " is a folder, not a serial port";
  if (!S_ISCHR(st.st_mode)) return port + " is a file, not a serial port";
  if (!IsTtyDevice(st)) return port + " is not a serial port";
  if (::access(port.c_str(), R_OK | W_OK) != 0)
    return "no permission to open " + port + " (" + std::strerror(errno) + ")";
  LockHolder holder;
  if (FindLockHolder(port, options.lock_folder, &holder))
    return port + " is in use by " + holder.Text() + ModemManagerHint(holder);
  return {};
}

std::string CheckLineOfKind(const LineConfig& line, const LineSettings& settings) {
  switch (line.kind) {
    case LineConfig::Kind::kModem:
      return CheckModemLine(line, settings);
    case LineConfig::Kind::kSerial:
      return CheckSerialLine(line, settings);
    case LineConfig::Kind::kTcp:
      return CheckTcpLine(line, settings);
    case LineConfig::Kind::kTls:
      return CheckTlsLine(line, settings);
  }
  return "unknown kind of line";
}

std::unique_ptr<IOpenLine> OpenLineOfKind(const LineConfig& line,
                                          const LineSettings& settings,
                                          LineOpenFailure* failure) {
  switch (line.kind) {
    case LineConfig::Kind::kModem:
      return OpenModemLine(line, settings, failure);
    case LineConfig::Kind::kSerial:
      return OpenSerialLine(line, settings, failure);
    case LineConfig::Kind::kTcp:
      return OpenTcpLine(line, settings, failure);
    case LineConfig::Kind::kTls:
      return OpenTlsLine(line, settings, failure);
  }
  failure->text = "unknown kind of line";
  return nullptr;
}

}  // namespace zentrel
