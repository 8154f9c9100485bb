// A tty as a byte source: raw, the line's speed, data bits, parity, stop bits
// and flow control, parity checking with marks (PARMRK), the settings found
// put back by Restore. Line errors come from the marks and, where the driver
// keeps them, its error counters (TIOCGICOUNT). On a line with 7 data bits
// bit 7 of each received byte is cleared (a pty ignores the character size,
// and some peers send the parity bit there).
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "seriallink/byte_source.h"
#include "seriallink/line_errors.h"
#include "seriallink/line_format.h"
#include "seriallink/tty_port.h"

namespace zentrel {
namespace {

// The port's raw format, written where every tty line gets it, plus parity
// checking with marks; nothing left over from the settings found (parity
// errors ignored, XOFF sent or any byte restarting output).
bool ApplyFormat(termios& t, const LineFormat& f, std::string* error) {
  t.c_iflag &= ~(IGNPAR | IXOFF | IXANY);
  if (!MakeRawTermios(t, f, error)) return false;
  t.c_iflag |= INPCK | PARMRK;
  return true;
}

class TtySource : public IByteSource {
 public:
  TtySource(int fd, const LineFormat& format) : fd_(fd), format_(format) {
    have_counters_ = ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
  }

  int fd() const override { return fd_; }
  bool Configure(std::string* error) override {
    termios t{};
    if (tcgetattr(fd_, &t) != 0)
      return *error = std::string("tcgetattr: ") + std::strerror(errno), false;
    original_ = t;
    have_original_ = true;
    if (!ApplyFormat(t, format_, error)) return false;
    if (tcsetattr(fd_, TCSANOW, &t) != 0)
      return *error = std::string("tcsetattr: ") + std::strerror(errno), false;
    return true;
  }
  void Restore() override {
    if (have_original_) tcsetattr(fd_, TCSANOW, &original_);
    have_original_ = false;
  }
  SourceResult Read(char* out, std::size_t room, std::uint32_t* errors) override;
  SourceResult Write(const char* data, std::size_t length) override {
    const ssize_t n = write(fd_, data, length);
    if (n >= 0) return {IoStatus::kDone, static_cast<std::size_t>(n)};
    return {StatusFromErrno(errno), 0, POLLOUT};
  }
  bool HasBuffered() override { return false; }
  void FlushInput() override { tcflush(fd_, TCIFLUSH); }
  void FlushOutput() override { tcflush(fd_, TCOFLUSH); }

 private:
  std::uint32_t CounterErrors();  // what the driver counted since the last look

  const int fd_;
  const LineFormat format_;
  termios original_{};
  bool have_original_ = false;
  ParmrkDecoder decoder_;
  bool have_counters_ = false;
  serial_icounter_struct counters_{};
};

std::uint32_t TtySource::CounterErrors() {
  if (!have_counters_) return 0;
  serial_icounter_struct now{};
  if (ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
  std::uint32_t bits = 0;
  if (now.frame != counters_.frame) bits |= CE_FRAME;
  if (now.overrun != counters_.overrun || now.buf_overrun != counters_.buf_overrun)
    bits |= CE_OVERRUN;
  if (now.parity != counters_.parity) bits |= CE_RXPARITY;
  if (now.brk != counters_.brk) bits |= CE_BREAK;
  counters_ = now;
  return bits;
}

SourceResult TtySource::Read(char* out, std::size_t room, std::uint32_t* errors) {
  char raw[2048];
  const ssize_t n = read(fd_, raw, std::min(room, sizeof raw));
  if (n == 0) return {IoStatus::kInvalidHandle};
  if (n < 0) return {StatusFromErrno(errno)};
  std::uint32_t marks = 0;
  const std::size_t got = decoder_.Decode(raw, static_cast<std::size_t>(n), out, &marks);
  // The driver's counters say which error a mark was; where they are missing
  // or silent about it, the mark decides.
  const std::uint32_t counted = CounterErrors();
  *errors |= counted;
  if ((counted & (CE_FRAME | CE_RXPARITY)) == 0) *errors |= marks;
  if (format_.data_bits == 7) {
    for (std::size_t i = 0; i < got; ++i) out[i] = static_cast<char>(out[i] & 0x7F);
  }
  return {IoStatus::kDone, got};
}

}  // namespace

std::unique_ptr<IByteSource> MakeTtySource(int fd, const LineFormat& format) {
  return std::make_unique<TtySource>(fd, format);
}

}  // namespace zentrel
