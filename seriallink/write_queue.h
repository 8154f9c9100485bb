// The write thread's message queue: a FIFO of (message number, count,
// address) that any thread posts to and the write thread waits on together
// with the close event (its eventfd is readable while the queue holds
// anything). Once closed it refuses posts and releases the buffers of the
// WM_COMM_WRITE messages it still held.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "seriallink/close_event.h"

namespace zentrel {

// The thread message that carries a block to the write thread.
inline constexpr std::uint32_t WM_COMM_WRITE = 1025;

// What the write thread's idle wait yields.
enum class QueueWait { kClose, kMessage, kFailed };

struct ThreadMessage {
  std::uint32_t message = 0;
  std::uint32_t wParam = 0;  // byte count
  char* lParam = nullptr;    // first byte
};

class WriteQueue {
 public:
  static std::shared_ptr<WriteQueue> Create();  // null without an eventfd
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  bool Post(const ThreadMessage& m);       // false once closed
  std::optional<ThreadMessage> TryTake();  // the oldest, without waiting
  void Close();                            // drops and releases what is left

 private:
  explicit WriteQueue(int fd) : fd_(fd) {}
  friend QueueWait WaitForCloseOrMessage(const CloseEvent&, const WriteQueue&);

  int fd_;
  std::mutex mutex_;
  std::deque<ThreadMessage> messages_;
  bool closed_ = false;
};

// The idle wait of the write thread: the close event wins over a message.
QueueWait WaitForCloseOrMessage(const CloseEvent& close, const WriteQueue& queue);

}  // namespace zentrel
