// The modem-control lines of a serial port, behind a small interface so that
// the modem driver can be tested where a real port differs from a pty: the
// status lines the modem drives (DCD, CTS, DSR, RI), the two the port drives
// (DTR, RTS) and whether the port heeds the carrier (CLOCAL). A real port
// reads them with TIOCMGET and sets them with TIOCMBIS/TIOCMBIC; a pseudo-
// terminal has none. A test stands a scripted fake in for them.
#pragma once

#include <chrono>
#include <memory>

namespace zentrel {

struct ModemSignals {
  bool dcd = false;  // carrier detect
  bool cts = false;
  bool dsr = false;
  bool ri = false;  // ring indicator
  bool operator==(const ModemSignals&) const = default;
};

class IModemLines {
 public:
  virtual ~IModemLines() = default;
  // False where the port has no modem-control lines (a pseudo-terminal).
  virtual bool Present() const = 0;
  // The status lines now; false where they cannot be read.
  virtual bool Read(ModemSignals* now) = 0;
  virtual bool SetDtr(bool up) = 0;
  virtual bool SetRts(bool up) = 0;
  // CLOCAL: on, the port ignores the carrier; off, losing DCD hangs it up.
  virtual bool IgnoreCarrier(bool ignore) = 0;

  enum class Wait { kChanged, kTimeout, kWoken, kHangUp };
  // Waits up to `limit` for a status line to differ from `seen`, the port
  // to hang up, or `wake_fd` (an eventfd, or -1) to turn readable.
  virtual Wait AwaitChange(const ModemSignals& seen, std::chrono::milliseconds limit,
                           int wake_fd) = 0;
};

// The lines of the tty open on `fd` (not owned). TIOCMIWAIT cannot be
// interrupted by a wake-up event, so a change is looked for every `sample`
// while the wait also watches the port's hang-up and the wake-up.
std::unique_ptr<IModemLines> MakePortModemLines(
    int fd, std::chrono::milliseconds sample = std::chrono::milliseconds(50));

}  // namespace zentrel
