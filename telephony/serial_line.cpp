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
#include "telephony/line_words.h"
#include "telephony/tty_lines.h"

namespace zentrel {
namespace {

const TtyLineFields& Fields(const LineConfig& line) { return *line.As<TtyLineFields>(); }

std::string ParseSerial(LineWords& words, TtyLineFields& serial) {
  serial.port = words.Next();
  const std::string speed = words.Next();
  const std::string frame = words.Next();
  if (serial.port.empty() || frame.empty())
    return "serial needs PORT SPEED FORMAT, like: serial /dev/ttyS0 9600 8N1";
  std::string error = ReadSpeed(speed, &serial.format);
  if (error.empty()) error = ReadFrame(frame, &serial.format);
  if (!error.empty()) return error;
  const std::string flow = words.Next();
  if (flow == "rtscts")
    serial.format.flow = LineFormat::Flow::kRtsCts;
  else if (flow == "xonxoff")
    serial.format.flow = LineFormat::Flow::kXonXoff;
  else if (!flow.empty())
    return "unknown flow control " + QuotedWord(flow) + " (rtscts or xonxoff)";
  return NothingLeft(words);
}

std::string Parse(LineWords& words, LineConfig* line) {
  auto serial = std::make_shared<TtyLineFields>();
  const std::string error = ParseSerial(words, *serial);
  line->fields = std::move(serial);
  return error;
}

std::string Name(const LineConfig& line) { return "Serial on " + Fields(line).port; }

std::string Where(const LineConfig& line) { return Fields(line).port; }

LineCheck Check(const LineConfig& line, const LineSettings& settings) {
  return CheckTtyLine(Fields(line).port, settings.tty);
}

std::unique_ptr<IOpenLine> Open(const LineConfig& line, const LineSettings& settings,
                                std::shared_ptr<LineReady>, LineOpenFailure* failure) {
  const TtyLineFields& serial = Fields(line);
  TtyOpenError error;
  std::shared_ptr<TtyPort> port = TtyPort::Open(serial.port, serial.format, settings.tty, &error);
  if (!port) {
    *failure = TtyOpenFailure(error);
    return nullptr;
  }
  port->IgnoreCarrier(true);
  if (!port->lock_warning().empty())
    OutputDebugStringA(line.LineName() + ": no lock: " + port->lock_warning() + "\n");
  OutputDebugStringA(line.LineName() + ": " + serial.format.Text() + "\n");
  LineOpener opener = [port](std::chrono::milliseconds, int, CommHandover* handover,
                             LineProblem* problem) {
    const int fd = fcntl(port->fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
      const std::string system = std::strerror(errno);
      *problem = MakeLineProblem(LineProblemKind::kOther, "no descriptor for the port: " + system);
      problem->system = system;
      return -1;
    }
    handover->format = port->format();
    return fd;
  };
  return MakeDirectOpenLine(line.LineName(), std::move(opener), settings.direct);
}

}  // namespace

extern const LineKindOps kSerialLineKind = {"serial", false, Parse, Name,
                                            Where,    Check, Open,  false};

}  // namespace zentrel
