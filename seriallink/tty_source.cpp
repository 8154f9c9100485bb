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

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "seriallink/byte_source.h"
#include "seriallink/line_errors.h"

namespace zentrel {
namespace {

constexpr std::array<std::pair<int, speed_t>, 10> kSpeeds{{{300, B300},
                                                            {600, B600},
                                                            {1200, B1200},
                                                            {2400, B2400},
                                                            {4800, B4800},
                                                            {9600, B9600},
                                                            {19200, B19200},
                                                            {38400, B38400},
                                                            {57600, B57600},
                                                            {115200, B115200}}};

bool SpeedOf(int bits_per_second, speed_t* speed) {
  for (const auto& [bps, value] : kSpeeds) {
    if (bps == bits_per_second) return *speed = value, true;
  }
  return false;
}

tcflag_t SizeOf(int data_bits) {
  switch (data_bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

// Raw input with parity checking and marking; the format's flow control.
bool ApplyFormat(termios& t, const LineFormat& f, std::string* error) {
  speed_t speed{};
  if (!SpeedOf(f.speed, &speed)) return *error = "unsupported speed " + std::to_string(f.speed), false;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= SizeOf(f.data_bits) | CREAD;
  if (f.parity != 'N') t.c_cflag |= PARENB;
  if (f.parity == 'O') t.c_cflag |= PARODD;
  if (f.stop_bits == 2) t.c_cflag |= CSTOPB;
  if (f.flow == LineFormat::Flow::kRtsCts) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  t.c_iflag |= INPCK | PARMRK;
  if (f.flow == LineFormat::Flow::kXonXoff) t.c_iflag |= IXON | IXOFF;
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
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
    if (tcgetattr(fd_, &t) != 0) return *error = std::string("tcgetattr: ") + std::strerror(errno), false;
    original_ = t;
    have_original_ = true;
    if (!ApplyFormat(t, format_, error)) return false;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return *error = std::string("tcsetattr: ") + std::strerror(errno), false;
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
  if (now.overrun != counters_.overrun || now.buf_overrun != counters_.buf_overrun) bits |= CE_OVERRUN;
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
