// A direct serial line to an on-site encoder: the port is held open (locked,
// exclusive, at the line's own speed, format and flow control, the carrier
// ignored: a cable has none) from lineOpen to lineClose, like a modem's.
// Nothing is dialled: a call is up as soon as it has its own descriptor on
// the port, and the serial link keeps the line's format.
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "seriallink/trace.h"
#include "telephony/direct_lines.h"
#include "telephony/modem_manager.h"

namespace zentrel {

LineCheck CheckSerialLine(const LineConfig& line, const LineSettings& settings) {
  return CheckTtyLine(line.port, settings.tty);
}

std::unique_ptr<IOpenLine> OpenSerialLine(const LineConfig& line, const LineSettings& settings,
                                          LineOpenFailure* failure) {
  TtyOpenError error;
  std::shared_ptr<TtyPort> port = TtyPort::Open(line.port, line.format, settings.tty, &error);
  if (!port) {
    *failure = TtyOpenFailure(error);
    return nullptr;
  }
  port->IgnoreCarrier(true);
  if (!port->lock_warning().empty())
    OutputDebugStringA(line.LineName() + ": no lock: " + port->lock_warning() + "\n");
  OutputDebugStringA(line.LineName() + ": " + line.format.Text() + "\n");
  LineOpener opener = [port](std::chrono::milliseconds, int, CommHandover* handover,
                             std::string* why) {
    const int fd = fcntl(port->fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return *why = std::string("no descriptor for the port: ") + std::strerror(errno), -1;
    handover->format = port->format();
    return fd;
  };
  return MakeDirectOpenLine(line.LineName(), std::move(opener), settings.direct);
}

}  // namespace zentrel
