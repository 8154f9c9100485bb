// The eventfd mirrors "queue not empty": written when the first message
// arrives, drained when the last one is taken, both under the queue's mutex.
#include "seriallink/write_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "seriallink/eventfd_signal.h"
#include "seriallink/local_heap.h"

namespace zentrel {

std::shared_ptr<WriteQueue> WriteQueue::Create() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return nullptr;
  return std::shared_ptr<WriteQueue>(new WriteQueue(fd));
}

WriteQueue::~WriteQueue() {
  Close();
  close(fd_);
}

bool WriteQueue::Post(const ThreadMessage& m) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  if (messages_.empty()) RaiseEventFd(fd_);
  messages_.push_back(m);
  return true;
}

std::optional<ThreadMessage> WriteQueue::TryTake() {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  ThreadMessage m = messages_.front();
  messages_.pop_front();
  if (messages_.empty()) LowerEventFd(fd_);
  return m;
}

void WriteQueue::Close() {
  std::deque<ThreadMessage> dropped;
  {
    std::lock_guard lock(mutex_);
    if (!messages_.empty()) LowerEventFd(fd_);
    closed_ = true;
    dropped.swap(messages_);
  }
  // A queued block's buffer belongs to the write thread, which never writes
  // it now; anything else carries no buffer of ours.
  for (const ThreadMessage& m : dropped) {
    if (m.message == WM_COMM_WRITE) LocalFree(m.lParam);
  }
}

QueueWait WaitForCloseOrMessage(const CloseEvent& close, const WriteQueue& queue) {
  pollfd fds[2] = {{close.fd(), POLLIN, 0}, {queue.fd_, POLLIN, 0}};
  for (;;) {
    const int r = poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return QueueWait::kFailed;
    if (fds[0].revents != 0) return QueueWait::kClose;
    if (fds[1].revents & POLLIN) return QueueWait::kMessage;
    return QueueWait::kFailed;
  }
}

}  // namespace zentrel
