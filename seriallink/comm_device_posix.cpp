// The comm device over a file descriptor: a tty (termios 300 bit/s 7E1, raw,
// no flow control, parity errors marked) or a connected stream socket (no
// settings). The descriptor is non-blocking and every wait is one poll() on
// the close event, the descriptor and a purge wake-up, so an idle link never
// polls. A read waits for its first byte without limit, then ends after the
// silence interval or when its buffer is full. Line errors come from PARMRK
// marks and, where the driver keeps them, its error counters (TIOCGICOUNT).
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "seriallink/comm_device.h"
#include "seriallink/eventfd_signal.h"
#include "seriallink/line_errors.h"

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxChunk = 2048;

// The one place errno becomes the layer's status: a descriptor that is gone
// or a line that has hung up is the invalid-handle case.
IoStatus StatusFromErrno(int error) {
  switch (error) {
    case EAGAIN:
      return IoStatus::kPending;
    case EBADF:
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
    case ECONNRESET:
    case ENOTCONN:
      return IoStatus::kInvalidHandle;
    default:
      return IoStatus::kFailed;
  }
}

bool IsConnectedStreamSocket(int fd) {
  int type = 0;
  socklen_t len = sizeof type;
  if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM) return false;
  sockaddr_storage peer{};
  socklen_t peer_len = sizeof peer;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) == 0;
}

class PosixCommDevice : public ICommDevice {
 public:
  PosixCommDevice(int fd, int rx_wake, int tx_wake)
      : fd_(fd), rx_wake_(rx_wake), tx_wake_(tx_wake), is_tty_(isatty(fd) == 1) {
    original_flags_ = fcntl(fd_, F_GETFL);
    if (original_flags_ >= 0) fcntl(fd_, F_SETFL, original_flags_ | O_NONBLOCK);
    have_counters_ = ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
  }
  ~PosixCommDevice() override {
    if (owned_) close(fd_);
    close(rx_wake_);
    close(tx_wake_);
  }

  bool ReadSettings() override {
    have_original_ = is_tty_ && tcgetattr(fd_, &original_) == 0;
    return have_original_;
  }
  bool SetTimeouts(std::chrono::milliseconds silence) override {
    silence_ = silence;
    return true;  // the silence is timed here, not by the driver
  }
  bool SetLineFormat() override;
  void Close() override { RestoreSettings(); }
  void Disown() override {
    RestoreSettings();
    if (original_flags_ >= 0) fcntl(fd_, F_SETFL, original_flags_);
    owned_ = false;
  }

  bool SetEventMask(std::uint32_t mask) override {
    event_mask_wanted_ = mask;
    return true;
  }
  IoStatus StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) override;
  IoStatus ReadResult(std::uint32_t* count) override {
    *count = read_filled_;
    return read_status_;
  }
  IoStatus StartEventWait(std::uint32_t* mask) override {
    event_out_ = mask;
    *mask = 0;
    event_pending_ = true;
    return IoStatus::kPending;
  }
  IoStatus EventResult() override { return IoStatus::kDone; }
  IoStatus ClearError(std::uint32_t* error_word) override {
    *error_word = error_word_;
    error_word_ = 0;
    return IoStatus::kDone;
  }
  int WaitReadSide(const CloseEvent& close) override;

  IoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t* written) override;
  int WaitWrite(const CloseEvent& close) override;
  IoStatus WriteResult(std::uint32_t* written) override {
    *written = write_done_;
    return write_status_;
  }

  void PurgeRx() override {
    if (is_tty_) tcflush(fd_, TCIFLUSH);
    RaiseEventFd(rx_wake_);
  }
  void PurgeTx() override {
    if (is_tty_) tcflush(fd_, TCOFLUSH);
    RaiseEventFd(tx_wake_);
  }

 private:
  void RestoreSettings() {
    if (have_original_) tcsetattr(fd_, TCSANOW, &original_);
    have_original_ = false;
  }
  void ReadAvailable(bool hung_up);
  void CompleteRead(IoStatus status) {
    read_status_ = status;
    read_pending_ = false;
    read_complete_ = true;
  }
  std::uint32_t CounterErrors();  // what the driver counted since the last look

  const int fd_;
  const int rx_wake_;
  const int tx_wake_;
  const bool is_tty_;
  bool owned_ = true;
  int original_flags_ = -1;
  termios original_{};
  bool have_original_ = false;
  std::chrono::milliseconds silence_{250};

  // Read side (read thread only).
  ParmrkDecoder decoder_;
  bool have_counters_ = false;
  serial_icounter_struct counters_{};
  std::uint32_t event_mask_wanted_ = 0;
  std::uint32_t* event_out_ = nullptr;
  bool event_pending_ = false;
  std::uint32_t pending_errors_ = 0;  // seen, not yet signalled
  std::uint32_t error_word_ = 0;      // signalled, not yet cleared
  char* read_buffer_ = nullptr;
  std::uint32_t read_size_ = 0;
  std::uint32_t read_filled_ = 0;
  bool read_pending_ = false;
  bool read_complete_ = false;
  IoStatus read_status_ = IoStatus::kDone;
  IoStatus deferred_status_ = IoStatus::kDone;  // an error met after some bytes
  Clock::time_point last_byte_{};

  // Write side (write thread only).
  const char* write_data_ = nullptr;
  std::uint32_t write_length_ = 0;
  std::uint32_t write_done_ = 0;
  IoStatus write_status_ = IoStatus::kDone;
};

bool PosixCommDevice::SetLineFormat() {
  termios t{};
  if (!is_tty_ || tcgetattr(fd_, &t) != 0) return false;
  cfsetispeed(&t, B300);
  cfsetospeed(&t, B300);
  t.c_cflag &= ~(CSIZE | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= CS7 | PARENB | CREAD;
  // Raw input with parity checking and marking; no software flow control.
  t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  t.c_iflag |= INPCK | PARMRK;
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd_, TCSANOW, &t) == 0;
}

IoStatus PosixCommDevice::StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) {
  *count = 0;
  read_buffer_ = buffer;
  read_size_ = size;
  read_filled_ = 0;
  read_complete_ = false;
  if (deferred_status_ != IoStatus::kDone) {
    const IoStatus status = deferred_status_;
    deferred_status_ = IoStatus::kDone;
    return status;
  }
  read_pending_ = true;
  return IoStatus::kPending;
}

std::uint32_t PosixCommDevice::CounterErrors() {
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

void PosixCommDevice::ReadAvailable(bool hung_up) {
  char raw[kMaxChunk];
  const std::size_t room = std::min<std::size_t>(read_size_ - read_filled_, sizeof raw);
  const ssize_t n = read(fd_, raw, room);
  if (n > 0) {
    std::uint32_t marks = 0;
    read_filled_ += static_cast<std::uint32_t>(
        decoder_.Decode(raw, static_cast<std::size_t>(n), read_buffer_ + read_filled_, &marks));
    // The driver's counters say which error a mark was; where they are
    // missing or silent about it, the mark decides.
    const std::uint32_t counted = CounterErrors();
    pending_errors_ |= counted;
    if ((counted & (CE_FRAME | CE_RXPARITY)) == 0) pending_errors_ |= marks;
    last_byte_ = Clock::now();
    if (read_filled_ == read_size_) CompleteRead(IoStatus::kDone);
    return;
  }
  IoStatus status = n == 0 ? IoStatus::kInvalidHandle : StatusFromErrno(errno);
  if (status == IoStatus::kPending) {
    if (!hung_up) return;
    status = IoStatus::kInvalidHandle;  // the line has gone
  }
  if (read_filled_ > 0) {
    deferred_status_ = status;  // deliver what came first
    CompleteRead(IoStatus::kDone);
  } else {
    CompleteRead(status);
  }
}

int PosixCommDevice::WaitReadSide(const CloseEvent& close) {
  for (;;) {
    if (event_pending_ && pending_errors_ != 0 && (event_mask_wanted_ & EV_ERR) != 0) {
      error_word_ |= pending_errors_;
      pending_errors_ = 0;
      *event_out_ = EV_ERR;
      event_pending_ = false;
      return kWaitLineError;
    }
    if (read_complete_) {
      read_complete_ = false;
      return kWaitRead;
    }
    int timeout = -1;
    if (read_pending_ && read_filled_ > 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          last_byte_ + silence_ - Clock::now());
      timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
    }
    pollfd fds[3] = {{close.fd(), POLLIN, 0},
                     {read_pending_ ? fd_ : -1, POLLIN, 0},
                     {rx_wake_, POLLIN, 0}};
    const int r = poll(fds, 3, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return kWaitFailed;
    if (fds[0].revents != 0) return kWaitClose;
    if (fds[2].revents != 0) {
      LowerEventFd(rx_wake_);
      if (read_pending_) CompleteRead(IoStatus::kFailed);  // aborted by a purge
      continue;
    }
    if (r == 0) {
      if (read_pending_ && read_filled_ > 0) CompleteRead(IoStatus::kDone);
      continue;
    }
    if (fds[1].revents & POLLNVAL) {
      if (read_pending_) CompleteRead(IoStatus::kInvalidHandle);
      continue;
    }
    if (read_pending_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      ReadAvailable((fds[1].revents & (POLLHUP | POLLERR)) != 0);
    }
  }
}

IoStatus PosixCommDevice::StartWrite(const char* data, std::uint32_t length,
                                     std::uint32_t* written) {
  *written = 0;
  const ssize_t n = write(fd_, data, length);
  if (n >= 0) {
    *written = static_cast<std::uint32_t>(n);
    return IoStatus::kDone;
  }
  const IoStatus status = StatusFromErrno(errno);
  if (status == IoStatus::kPending) {
    write_data_ = data;
    write_length_ = length;
  }
  return status;
}

int PosixCommDevice::WaitWrite(const CloseEvent& close) {
  for (;;) {
    pollfd fds[3] = {{close.fd(), POLLIN, 0}, {fd_, POLLOUT, 0}, {tx_wake_, POLLIN, 0}};
    const int r = poll(fds, 3, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return kWaitFailed;
    if (fds[0].revents != 0) return kWaitClose;
    if (fds[2].revents != 0) {
      LowerEventFd(tx_wake_);
      write_done_ = 0;
      write_status_ = IoStatus::kFailed;  // aborted by a purge
      return kWaitWriteDone;
    }
    if (fds[1].revents & POLLNVAL) {
      write_done_ = 0;
      write_status_ = IoStatus::kInvalidHandle;
      return kWaitWriteDone;
    }
    const ssize_t n = write(fd_, write_data_, write_length_);
    if (n >= 0) {
      write_done_ = static_cast<std::uint32_t>(n);
      write_status_ = IoStatus::kDone;
      return kWaitWriteDone;
    }
    write_status_ = StatusFromErrno(errno);
    if (write_status_ != IoStatus::kPending) {
      write_done_ = 0;
      return kWaitWriteDone;
    }
  }
}

class PosixPlatform : public ICommPlatform {
 public:
  bool IsCommHandle(int fd) override {
    termios t{};
    if (isatty(fd) == 1 && tcgetattr(fd, &t) == 0) return true;
    return IsConnectedStreamSocket(fd);
  }
  std::shared_ptr<ICommDevice> Open(int fd) override {
    const int rx_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int tx_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (rx_wake < 0 || tx_wake < 0) {
      if (rx_wake >= 0) close(rx_wake);
      if (tx_wake >= 0) close(tx_wake);
      return nullptr;
    }
    return std::make_shared<PosixCommDevice>(fd, rx_wake, tx_wake);
  }
};

}  // namespace

ICommPlatform& PosixCommPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace zentrel
