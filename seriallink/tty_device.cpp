// What a path names, looked at without opening it: a serial port is a
// character device the kernel files under the tty class, or the slave side
// of a pseudo-terminal (which stands in for one); the terminal's own devices
// (the pty multiplexer, the controlling terminal) are ttys but never a port.
// The port's open and the line check before a call both ask here.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "seriallink/tty_port.h"

namespace zentrel {
namespace {

// Unknown (no sysfs) counts as a tty: the open's isatty still decides.
bool IsTtyClass(const struct stat& st) {
  const std::string sys = "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                          std::to_string(minor(st.st_rdev)) + "/subsystem";
  std::error_code error;
  const auto target = std::filesystem::read_symlink(sys, error);
  return error || target.filename() == "tty";
}

// /dev/tty and /dev/ptmx: every open of the multiplexer makes a new master
// nobody answers on.
bool IsTerminalDevice(const struct stat& st) {
  return major(st.st_rdev) == 5 && (minor(st.st_rdev) == 0 || minor(st.st_rdev) == 2);
}

TtyOpenError NotAPort(TtyOpenError::Kind kind, std::string text, std::string system = {}) {
  return TtyOpenError{kind, std::move(text), {}, std::move(system)};
}

}  // namespace

bool IsPseudoTerminal(const struct stat& st) {
  const unsigned m = major(st.st_rdev);
  return S_ISCHR(st.st_mode) && m >= 136 && m <= 143;  // Unix98 pty slaves
}

bool LookAtPort(const std::string& path, struct stat* st, TtyOpenError* error) {
  using Kind = TtyOpenError::Kind;
  if (::stat(path.c_str(), st) != 0) {
    const int e = errno;
    *error = e == ENOENT
                 ? NotAPort(Kind::kMissing, "there is no port " + path, std::strerror(e))
                 : NotAPort(Kind::kFailed, "cannot look at " + path + ": " + std::strerror(e),
                            std::strerror(e));
    return false;
  }
  if (!S_ISCHR(st->st_mode)) {
    *error = NotAPort(Kind::kNotTty, path + (S_ISDIR(st->st_mode) ? " is a folder" : " is a file") +
                                         ", not a serial port");
    return false;
  }
  if (!IsPseudoTerminal(*st) && (!IsTtyClass(*st) || IsTerminalDevice(*st))) {
    *error = NotAPort(Kind::kNotTty, path + " is not a serial port");
    return false;
  }
  return true;
}

}  // namespace zentrel
