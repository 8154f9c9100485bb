// The scripted device: one mutex guards the script and the outcomes; an
// eventfd wakes a read-side wait when the test pushes something.
#include "fake_comm_device.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "link_test_support.h"

namespace zentrel::test {

FakeCommDevice::FakeCommDevice() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

FakeCommDevice::~FakeCommDevice() { close(wake_); }

void FakeCommDevice::Push(FakeRead r) {
  {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(r));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wake_, &one, sizeof one);
}

void FakeCommDevice::SetWrites(WriteMode mode, std::uint32_t max_piece, IoStatus status) {
  std::lock_guard lock(mutex_);
  write_mode_ = mode;
  max_piece_ = max_piece;
  write_status_ = status;
}

std::string FakeCommDevice::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::vector<std::uint32_t> FakeCommDevice::WriteRequests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool FakeCommDevice::WaitWritten(std::size_t total) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, kGuard, [&] { return written_.size() >= total; });
}

bool FakeCommDevice::WaitWritePending() const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, kGuard, [&] { return write_pending_; });
}

IoStatus FakeCommDevice::TakeRead(std::uint32_t* count) {
  FakeRead r = std::move(script_.front());
  script_.pop_front();
  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(r.bytes.size(), read_size_));
  if (n > 0) std::memcpy(read_buffer_, r.bytes.data(), n);
  *count = r.kind == FakeRead::kData ? n : 0;
  return r.kind == FakeRead::kData ? IoStatus::kDone : r.status;
}

IoStatus FakeCommDevice::TakeEvent(std::uint32_t* mask) {
  FakeRead r = std::move(script_.front());
  script_.pop_front();
  if (r.kind == FakeRead::kEventStatus) return r.status;
  *mask = r.mask;
  error_word_ |= r.error_word;
  return IoStatus::kDone;
}

IoStatus FakeCommDevice::StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) {
  std::lock_guard lock(mutex_);
  read_buffer_ = buffer;
  read_size_ = size;
  *count = 0;
  if (!script_.empty() && IsReadKind(script_.front()) && script_.front().at_once) {
    return TakeRead(count);
  }
  read_pending_ = true;
  return IoStatus::kPending;
}

IoStatus FakeCommDevice::ReadResult(std::uint32_t* count) {
  std::lock_guard lock(mutex_);
  *count = read_count_;
  return read_status_;
}

IoStatus FakeCommDevice::StartEventWait(std::uint32_t* mask) {
  std::lock_guard lock(mutex_);
  event_mask_ = mask;
  *mask = 0;
  if (!script_.empty() && !IsReadKind(script_.front()) && script_.front().at_once) {
    return TakeEvent(mask);
  }
  event_pending_ = true;
  return IoStatus::kPending;
}

IoStatus FakeCommDevice::EventResult() {
  std::lock_guard lock(mutex_);
  return event_status_;
}

IoStatus FakeCommDevice::ClearError(std::uint32_t* error_word) {
  std::lock_guard lock(mutex_);
  *error_word = error_word_;
  error_word_ = 0;
  return IoStatus::kDone;
}

int FakeCommDevice::WaitReadSide(const CloseEvent& close) {
  for (;;) {
    if (close.IsSet()) return kWaitClose;
    {
      std::lock_guard lock(mutex_);
      if (!script_.empty()) {
        const FakeRead& front = script_.front();
        if (!IsReadKind(front) && event_pending_) {
          event_pending_ = false;
          event_status_ = TakeEvent(event_mask_);
          return kWaitLineError;
        }
        if (IsReadKind(front) && read_pending_) {
          read_pending_ = false;
          read_status_ = TakeRead(&read_count_);
          return kWaitRead;
        }
      }
    }
    pollfd fds[2] = {{close.fd(), POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) return kWaitFailed;
    std::uint64_t value = 0;
    [[maybe_unused]] ssize_t n = read(wake_, &value, sizeof value);
  }
}

std::uint32_t FakeCommDevice::Piece(std::uint32_t length) const {
  return max_piece_ == 0 ? length : std::min(length, max_piece_);
}

IoStatus FakeCommDevice::StartWrite(const char* data, std::uint32_t length,
                                    std::uint32_t* written) {
  std::lock_guard lock(mutex_);
  requests_.push_back(length);
  *written = 0;
  if (write_status_ != IoStatus::kDone) return write_status_;
  if (write_mode_ == WriteMode::kAtOnce) {
    *written = Piece(length);
    written_.append(data, *written);
    cv_.notify_all();
    return IoStatus::kDone;
  }
  pending_data_ = data;
  pending_length_ = length;
  write_pending_ = true;
  cv_.notify_all();
  return IoStatus::kPending;
}

int FakeCommDevice::WaitWrite(const CloseEvent& close) {
  bool forever = false;
  {
    std::lock_guard lock(mutex_);
    forever = write_mode_ == WriteMode::kPendingForever;
  }
  if (forever || close.IsSet()) {
    pollfd p{close.fd(), POLLIN, 0};
    return poll(&p, 1, -1) == 1 ? kWaitClose : kWaitFailed;
  }
  std::lock_guard lock(mutex_);
  pending_written_ = Piece(pending_length_);
  written_.append(pending_data_, pending_written_);
  write_pending_ = false;
  cv_.notify_all();
  return kWaitWriteDone;
}

IoStatus FakeCommDevice::WriteResult(std::uint32_t* written) {
  std::lock_guard lock(mutex_);
  *written = pending_written_;
  return IoStatus::kDone;
}

}  // namespace zentrel::test
