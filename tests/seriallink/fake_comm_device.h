// A scripted comm device for the link's tests: the test queues what the read
// side meets (data, a zero-byte read, a line error, a failing operation) and
// chooses how writes behave (whole at once, in pieces, pending until the
// close, failing). Its waits poll the real close event, so the link's threads
// wait on it exactly as they wait on a real device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "seriallink/comm_device.h"

namespace zentrel::test {

struct FakeRead {
  enum Kind { kData, kReadStatus, kLineError, kEventStatus };
  Kind kind = kData;
  std::string bytes;                     // kData
  IoStatus status = IoStatus::kDone;     // kReadStatus, kEventStatus
  std::uint32_t mask = EV_ERR;           // kLineError
  std::uint32_t error_word = 0;          // kLineError
  bool at_once = false;                  // completes when the operation starts

  static FakeRead Data(std::string b) { return {kData, std::move(b)}; }
  static FakeRead ReadFails(IoStatus s) { return {kReadStatus, {}, s}; }
  static FakeRead LineError(std::uint32_t word, std::uint32_t mask = EV_ERR) {
    return {kLineError, {}, IoStatus::kDone, mask, word};
  }
  static FakeRead EventFails(IoStatus s) { return {kEventStatus, {}, s}; }
  FakeRead AtOnce() && {
    at_once = true;
    return std::move(*this);
  }
};

enum class WriteMode { kAtOnce, kPendingCompletes, kPendingForever };

class FakeCommDevice : public ICommDevice {
 public:
  FakeCommDevice();
  ~FakeCommDevice() override;

  // Test side.
  void Push(FakeRead r);
  void SetWrites(WriteMode mode, std::uint32_t max_piece = 0, IoStatus status = IoStatus::kDone);
  std::string Written() const;
  std::vector<std::uint32_t> WriteRequests() const;  // the length of each write issued
  bool WaitWritten(std::size_t total) const;
  bool WaitWritePending() const;
  std::atomic<int> rx_purges{0};
  std::atomic<int> tx_purges{0};
  std::atomic<bool> closed{false};

  // ICommDevice.
  bool ReadSettings() override { return true; }
  bool SetTimeouts(std::chrono::milliseconds) override { return true; }
  bool SetLineFormat() override { return true; }
  void Close() override { closed = true; }
  void Disown() override {}
  bool SetEventMask(std::uint32_t) override { return true; }
  IoStatus StartRead(char* buffer, std::uint32_t size, std::uint32_t* count) override;
  IoStatus ReadResult(std::uint32_t* count) override;
  IoStatus StartEventWait(std::uint32_t* mask) override;
  IoStatus EventResult() override;
  IoStatus ClearError(std::uint32_t* error_word) override;
  int WaitReadSide(const CloseEvent& close) override;
  IoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t* written) override;
  int WaitWrite(const CloseEvent& close) override;
  IoStatus WriteResult(std::uint32_t* written) override;
  void PurgeRx() override { rx_purges.fetch_add(1); }
  void PurgeTx() override { tx_purges.fetch_add(1); }

 private:
  bool IsReadKind(const FakeRead& r) const { return r.kind <= FakeRead::kReadStatus; }
  IoStatus TakeRead(std::uint32_t* count);      // front item into the read buffer
  IoStatus TakeEvent(std::uint32_t* mask);      // front item into the event mask
  std::uint32_t Piece(std::uint32_t length) const;

  int wake_;
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::deque<FakeRead> script_;
  char* read_buffer_ = nullptr;
  std::uint32_t read_size_ = 0;
  bool read_pending_ = false;
  std::uint32_t read_count_ = 0;
  IoStatus read_status_ = IoStatus::kDone;
  std::uint32_t* event_mask_ = nullptr;
  bool event_pending_ = false;
  IoStatus event_status_ = IoStatus::kDone;
  std::uint32_t error_word_ = 0;

  WriteMode write_mode_ = WriteMode::kAtOnce;
  std::uint32_t max_piece_ = 0;
  IoStatus write_status_ = IoStatus::kDone;
  const char* pending_data_ = nullptr;
  std::uint32_t pending_length_ = 0;
  std::uint32_t pending_written_ = 0;
  bool write_pending_ = false;
  std::string written_;
  std::vector<std::uint32_t> requests_;
};

// Hands out one fake device for any descriptor that is not negative.
class FakePlatform : public ICommPlatform {
 public:
  explicit FakePlatform(std::shared_ptr<FakeCommDevice> device) : device_(std::move(device)) {}
  bool IsCommHandle(int fd) override { return fd >= 0; }
  std::shared_ptr<ICommDevice> Open(int) override { return device_; }

 private:
  std::shared_ptr<FakeCommDevice> device_;
};

}  // namespace zentrel::test
