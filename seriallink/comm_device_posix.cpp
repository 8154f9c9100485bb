// The comm device engine over one byte source (a tty, a socket or a TLS
// session; see byte_source.h). The descriptor is non-blocking and every wait
// is one poll() on the close event, the descriptor and a purge wake-up, so an
// idle link never polls. A read waits for its first byte without limit, then
// ends after the silence interval or when its buffer is full. Each completed
// read and each write is shown to the call's traffic watcher, if any.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>

#include "seriallink/byte_source.h"
#include "seriallink/comm_device.h"
#include "seriallink/eventfd_signal.h"
#include "seriallink/handover.h"

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;

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
  PosixCommDevice(std::unique_ptr<IByteSource> source, std::shared_ptr<ITrafficWatcher> watcher,
                  int rx_wake, int tx_wake)
      : source_(std::move(source)),
        watcher_(std::move(watcher)),
        fd_(source_->fd()),
        rx_wake_(rx_wake),
        tx_wake_(tx_wake) {
    original_flags_ = fcntl(fd_, F_GETFL);
    if (original_flags_ >= 0) fcntl(fd_, F_SETFL, original_flags_ | O_NONBLOCK);
  }
  ~PosixCommDevice() override {
    source_.reset();  // a TLS session says goodbye before its socket closes
    if (owned_) close(fd_);
    close(rx_wake_);
    close(tx_wake_);
  }

  bool Configure(std::chrono::milliseconds silence, std::string* error) override {
    silence_ = silence;  // the silence is timed here, not by the driver
    return source_->Configure(error);
  }
  void Close() override { source_->Restore(); }
  void Disown() override {
    source_->Restore();
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
  ReadWait WaitReadSide(const CloseEvent& close) override;

  IoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t* written) override;
  WriteWait WaitWrite(const CloseEvent& close) override;
  IoStatus WriteResult(std::uint32_t* written) override {
    *written = write_done_;
    return write_status_;
  }

  void PurgeRx() override {
    source_->FlushInput();
    RaiseEventFd(rx_wake_);
  }
  void PurgeTx() override {
    source_->FlushOutput();
    RaiseEventFd(tx_wake_);
  }

 private:
  void ReadAvailable(bool hung_up);
  void CompleteRead(IoStatus status) {
    read_status_ = status;
    read_pending_ = false;
    read_complete_ = true;
    if (watcher_ && status == IoStatus::kDone && read_filled_ > 0)
      watcher_->Received(std::string_view(read_buffer_, read_filled_));
  }
  void Wrote(const char* data, std::size_t n) {
    if (watcher_ && n > 0) watcher_->Sent(std::string_view(data, n));
  }
  int SilenceLeftMs() const;
  bool LineErrorDue() const {
    return event_pending_ && pending_errors_ != 0 && (event_mask_wanted_ & EV_ERR) != 0;
  }

  std::unique_ptr<IByteSource> source_;
  const std::shared_ptr<ITrafficWatcher> watcher_;
  const int fd_;
  const int rx_wake_;
  const int tx_wake_;
  bool owned_ = true;
  int original_flags_ = -1;
  std::chrono::milliseconds silence_{250};

  // Read side (read thread only).
  std::uint32_t event_mask_wanted_ = 0;
  std::uint32_t* event_out_ = nullptr;
  bool event_pending_ = false;
  std::uint32_t pending_errors_ = 0;  // seen, not yet signalled
  std::uint32_t error_word_ = 0;      // signalled, not yet cleared
  char* read_buffer_ = nullptr;
  std::uint32_t read_size_ = 0;
  std::uint32_t read_filled_ = 0;
  short read_wants_ = POLLIN;
  bool read_pending_ = false;
  bool read_complete_ = false;
  IoStatus read_status_ = IoStatus::kDone;
  IoStatus deferred_status_ = IoStatus::kDone;  // an error met after some bytes
  Clock::time_point last_byte_{};

  // Write side (write thread only).
  const char* write_data_ = nullptr;
  std::uint32_t write_length_ = 0;
  short write_wants_ = POLLOUT;
  std::uint32_t write_done_ = 0;
  IoStatus write_status_ = IoStatus::kDone;
};

IoStatus PosixCommDevice::StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) {
  *count = 0;
  read_buffer_ = buffer;
  read_size_ = size;
  read_filled_ = 0;
  read_complete_ = false;
  read_wants_ = POLLIN;
  if (deferred_status_ != IoStatus::kDone) {
    const IoStatus status = deferred_status_;
    deferred_status_ = IoStatus::kDone;
    return status;
  }
  read_pending_ = true;
  return IoStatus::kPending;
}

void PosixCommDevice::ReadAvailable(bool hung_up) {
  std::uint32_t errors = 0;
  const SourceResult r =
      source_->Read(read_buffer_ + read_filled_, read_size_ - read_filled_, &errors);
  pending_errors_ |= errors;
  if (r.status == IoStatus::kDone) {
    read_filled_ += static_cast<std::uint32_t>(r.count);
    last_byte_ = Clock::now();
    if (read_filled_ == read_size_) CompleteRead(IoStatus::kDone);
    return;
  }
  IoStatus status = r.status;
  if (status == IoStatus::kPending) {
    read_wants_ = r.wants;
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

int PosixCommDevice::SilenceLeftMs() const {
  if (!read_pending_ || read_filled_ == 0) return -1;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(last_byte_ + silence_ - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

ReadWait PosixCommDevice::WaitReadSide(const CloseEvent& close) {
  for (;;) {
    if (LineErrorDue()) {
      error_word_ |= pending_errors_;
      pending_errors_ = 0;
      *event_out_ = EV_ERR;
      event_pending_ = false;
      return ReadWait::kLineError;
    }
    if (read_complete_) {
      read_complete_ = false;
      return ReadWait::kRead;
    }
    if (read_pending_ && source_->HasBuffered()) {  // taken in, not yet read
      ReadAvailable(false);
      continue;
    }
    pollfd fds[3] = {
        {close.fd(), POLLIN, 0}, {read_pending_ ? fd_ : -1, read_wants_, 0}, {rx_wake_, POLLIN, 0}};
    const int r = poll(fds, 3, SilenceLeftMs());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return ReadWait::kFailed;
    if (fds[0].revents != 0) return ReadWait::kClose;
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
    if (read_pending_ && (fds[1].revents & (POLLIN | POLLOUT | POLLHUP | POLLERR))) {
      ReadAvailable((fds[1].revents & (POLLHUP | POLLERR)) != 0);
    }
  }
}

IoStatus PosixCommDevice::StartWrite(const char* data, std::uint32_t length,
                                     std::uint32_t* written) {
  *written = 0;
  const SourceResult r = source_->Write(data, length);
  if (r.status == IoStatus::kDone) {
    *written = static_cast<std::uint32_t>(r.count);
    Wrote(data, r.count);
  } else if (r.status == IoStatus::kPending) {
    write_data_ = data;
    write_length_ = length;
    write_wants_ = r.wants;
  }
  return r.status;
}

WriteWait PosixCommDevice::WaitWrite(const CloseEvent& close) {
  for (;;) {
    pollfd fds[3] = {{close.fd(), POLLIN, 0}, {fd_, write_wants_, 0}, {tx_wake_, POLLIN, 0}};
    const int r = poll(fds, 3, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return WriteWait::kFailed;
    if (fds[0].revents != 0) return WriteWait::kClose;
    write_done_ = 0;
    if (fds[2].revents != 0) {
      LowerEventFd(tx_wake_);
      write_status_ = IoStatus::kFailed;  // aborted by a purge
      return WriteWait::kWriteDone;
    }
    if (fds[1].revents & POLLNVAL) {
      write_status_ = IoStatus::kInvalidHandle;
      return WriteWait::kWriteDone;
    }
    const SourceResult w = source_->Write(write_data_, write_length_);
    write_status_ = w.status;
    if (w.status == IoStatus::kPending) {
      write_wants_ = w.wants;
      continue;
    }
    write_done_ = static_cast<std::uint32_t>(w.count);
    Wrote(write_data_, w.count);
    return WriteWait::kWriteDone;
  }
}

// The source for what the driver handed over: TLS when a session came with
// the descriptor, a tty with the line's format, else a plain socket.
std::unique_ptr<IByteSource> SourceFor(int fd, const CommHandover& handover) {
  if (handover.tls) return MakeTlsSource(fd, handover.tls);
  if (isatty(fd) == 1) return MakeTtySource(fd, handover.format);
  return MakeSocketSource(fd);
}

class PosixPlatform : public ICommPlatform {
 public:
  bool IsCommHandle(int fd) override {
    termios t{};
    if (isatty(fd) == 1 && tcgetattr(fd, &t) == 0) return true;
    return IsConnectedStreamSocket(fd);
  }
  std::shared_ptr<ICommDevice> Open(int fd, const CommHandover& handover) override {
    const int rx_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int tx_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (rx_wake < 0 || tx_wake < 0) {
      if (rx_wake >= 0) close(rx_wake);
      if (tx_wake >= 0) close(tx_wake);
      return nullptr;
    }
    return std::make_shared<PosixCommDevice>(SourceFor(fd, handover), handover.watcher, rx_wake,
                                             tx_wake);
  }
};

}  // namespace

ICommPlatform& PosixCommPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace zentrel
