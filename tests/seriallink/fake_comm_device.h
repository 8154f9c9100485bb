// A scripted comm device for the link's tests: the test queues what the read
// side meets (data, a zero-byte read, a line error, a failing operation; reads
// and error waits stay pending, as on the real device) and
// chooses how writes behave (whole at once, in pieces, pending until the
// close, failing). Its waits poll the real close event, so the link's threads
// wait on it exactly as they wait on a real device. One mutex guards the
// script and the outcomes; an eventfd wakes a read-side wait on a Push.
#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

#include "link_test_support.h"
#include "seriallink/comm_device.h"

namespace zentrel::test {

struct FakeRead {
  enum Kind { kData, kReadStatus, kLineError, kEventStatus };
  Kind kind = kData;
  std::string bytes;                  // kData
  IoStatus status = IoStatus::kDone;  // kReadStatus, kEventStatus
  std::uint32_t mask = EV_ERR;        // kLineError
  std::uint32_t error_word = 0;       // kLineError

  static FakeRead Data(std::string b) { return {kData, std::move(b)}; }
  static FakeRead ReadFails(IoStatus s) { return {kReadStatus, {}, s}; }
  static FakeRead LineError(std::uint32_t word, std::uint32_t mask = EV_ERR) {
    return {kLineError, {}, IoStatus::kDone, mask, word};
  }
  static FakeRead EventFails(IoStatus s) { return {kEventStatus, {}, s}; }
};

enum class WriteMode { kAtOnce, kPendingCompletes, kPendingForever };

class FakeCommDevice : public ICommDevice {
  template <class F>
  auto Locked(F f) const {
    std::lock_guard lock(mutex_);
    return f();
  }
  template <class Done>
  bool Wait(Done done) const {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, kGuard, done);
  }

 public:
  ~FakeCommDevice() override { ::close(wake_); }

  // Test side.
  void Push(FakeRead r) {
    Locked([&] { script_.push_back(std::move(r)); });
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  }
  void SetWrites(WriteMode mode, std::uint32_t max_piece = 0, IoStatus status = IoStatus::kDone) {
    Locked([&] { write_mode_ = mode, max_piece_ = max_piece, write_status_ = status; });
  }
  std::string Written() const {
    return Locked([&] { return written_; });
  }
  std::vector<std::uint32_t> WriteRequests() const {
    return Locked([&] { return requests_; });
  }
  bool WaitWritten(std::size_t n) const {
    return Wait([&] { return written_.size() >= n; });
  }
  bool WaitWritePending() const {
    return Wait([&] { return write_pending_; });
  }
  std::atomic<int> tx_purges{0};
  std::atomic<bool> closed{false};

  // ICommDevice.
  bool Configure(std::chrono::milliseconds, std::string*) override { return true; }
  void Close() override { closed = true; }
  void Disown() override {}
  bool SetEventMask(std::uint32_t) override { return true; }
  void PurgeRx() override {}
  void PurgeTx() override { tx_purges.fetch_add(1); }
  // Reads and error waits stay pending until WaitReadSide meets the script.
  IoStatus StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) override {
    Locked([&] { read_buffer_ = buffer, read_size_ = size, *count = 0; });
    return IoStatus::kPending;
  }
  IoStatus StartEventWait(std::uint32_t* mask) override {
    Locked([&] { event_mask_ = mask, *mask = 0; });
    return IoStatus::kPending;
  }
  IoStatus ReadResult(std::uint32_t* count) override {
    return Locked([&] { return *count = read_count_, read_status_; });
  }
  IoStatus EventResult() override {
    return Locked([&] { return event_status_; });
  }
  IoStatus ClearError(std::uint32_t* error_word) override {
    return Locked([&] { return *error_word = std::exchange(error_word_, 0), IoStatus::kDone; });
  }
  ReadWait WaitReadSide(const CloseEvent& close) override {
    for (;;) {
      if (close.IsSet()) return ReadWait::kClose;
      {
        std::lock_guard lock(mutex_);
        if (!script_.empty()) return Complete();
      }
      pollfd fds[2] = {{close.fd(), POLLIN, 0}, {wake_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) return ReadWait::kFailed;
      std::uint64_t value = 0;
      [[maybe_unused]] ssize_t n = ::read(wake_, &value, sizeof value);
    }
  }
  IoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t* written) override {
    std::lock_guard lock(mutex_);
    requests_.push_back(length);
    *written = 0;
    if (write_status_ != IoStatus::kDone) return write_status_;
    if (write_mode_ == WriteMode::kAtOnce) {
      written_.append(data, *written = Piece(length));
      cv_.notify_all();
      return IoStatus::kDone;
    }
    pending_data_ = data, pending_length_ = length, write_pending_ = true;
    cv_.notify_all();
    return IoStatus::kPending;
  }
  WriteWait WaitWrite(const CloseEvent& close) override {
    if (Locked([&] { return write_mode_ == WriteMode::kPendingForever; }) || close.IsSet()) {
      pollfd p{close.fd(), POLLIN, 0};
      return ::poll(&p, 1, -1) == 1 ? WriteWait::kClose : WriteWait::kFailed;
    }
    std::lock_guard lock(mutex_);
    written_.append(pending_data_, pending_written_ = Piece(pending_length_));
    write_pending_ = false;
    cv_.notify_all();
    return WriteWait::kWriteDone;
  }
  IoStatus WriteResult(std::uint32_t* written) override {
    return Locked([&] { return *written = pending_written_, IoStatus::kDone; });
  }

 private:
  ReadWait Complete() {  // the front item ends the pending read or error wait
    const FakeRead r = std::move(script_.front());
    script_.pop_front();
    switch (r.kind) {
      case FakeRead::kLineError:
        *event_mask_ = r.mask;
        error_word_ |= r.error_word;
        event_status_ = IoStatus::kDone;
        return ReadWait::kLineError;
      case FakeRead::kEventStatus: event_status_ = r.status; return ReadWait::kLineError;
      default:
        read_count_ = static_cast<std::uint32_t>(std::min<std::size_t>(r.bytes.size(), read_size_));
        std::memcpy(read_buffer_, r.bytes.data(), read_count_);
        read_status_ = r.kind == FakeRead::kData ? IoStatus::kDone : r.status;
        return ReadWait::kRead;
    }
  }
  std::uint32_t Piece(std::uint32_t length) const {
    return max_piece_ == 0 ? length : std::min(length, max_piece_);
  }

  int wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::deque<FakeRead> script_;
  char* read_buffer_ = nullptr;
  std::uint32_t read_size_ = 0, read_count_ = 0, error_word_ = 0;
  IoStatus read_status_ = IoStatus::kDone, event_status_ = IoStatus::kDone;
  std::uint32_t* event_mask_ = nullptr;
  WriteMode write_mode_ = WriteMode::kAtOnce;
  std::uint32_t max_piece_ = 0, pending_length_ = 0, pending_written_ = 0;
  IoStatus write_status_ = IoStatus::kDone;
  const char* pending_data_ = nullptr;
  bool write_pending_ = false;
  std::string written_;
  std::vector<std::uint32_t> requests_;
};

// Hands out one fake device for any descriptor that is not negative.
class FakePlatform : public ICommPlatform {
 public:
  explicit FakePlatform(std::shared_ptr<FakeCommDevice> device) : device_(std::move(device)) {}
  bool IsCommHandle(int fd) override { return fd >= 0; }
  std::shared_ptr<ICommDevice> Open(int, const CommHandover&) override { return device_; }

 private:
  std::shared_ptr<FakeCommDevice> device_;
};

}  // namespace zentrel::test
