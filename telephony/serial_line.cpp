// A direct serial line to an on-site encoder: the port is opened (not as the
// controlling terminal) and must be a tty; the serial link then sets it to
// the line's own speed, format and flow control. The call is up as soon as
// the port is open.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "telephony/direct_lines.h"

namespace zentrel {

std::string SerialLineName(const std::string& port) { return "Serial on " + port; }

LineOpener SerialOpener(std::string port, LineFormat format) {
  return [port, format](std::chrono::milliseconds, int, CommHandover* handover, std::string* error) {
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return *error = "cannot open " + port + ": " + std::strerror(errno), -1;
    if (isatty(fd) != 1) {
      close(fd);
      return *error = port + " is not a serial port", -1;
    }
    handover->format = format;
    return fd;
  };
}

}  // namespace zentrel
