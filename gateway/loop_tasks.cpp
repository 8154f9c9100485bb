// The hand-off of loop_tasks.h: a mutex-guarded list, an eventfd to wake the
// poll, and one condition variable the posters wait on. A task runs outside
// the lock, so a task may take as long as a commit takes without holding up
// other posters.
#include "gateway/loop_tasks.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace zentrel::gateway {

LoopTasks::LoopTasks() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (fd_ < 0) throw std::runtime_error(std::string("cannot make an eventfd: ") + strerror(errno));
}

LoopTasks::~LoopTasks() {
  Close();
  close(fd_);
}

bool LoopTasks::Run(std::function<void()> task) {
  auto posted = std::make_shared<Posted>();
  posted->task = std::move(task);
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  waiting_.push_back(posted);
  const std::uint64_t one = 1;
  // A full counter (never in practice) still leaves the fd readable.
  (void)!write(fd_, &one, sizeof one);
  ran_.wait(lock, [&] { return posted->done; });
  if (posted->thrown) std::rethrow_exception(posted->thrown);
  return true;
}

void LoopTasks::RunPending() {
  std::uint64_t count = 0;
  (void)!read(fd_, &count, sizeof count);
  for (;;) {
    std::shared_ptr<Posted> next;
    {
      std::lock_guard lock(mutex_);
      if (waiting_.empty()) return;
      next = std::move(waiting_.front());
      waiting_.pop_front();
    }
    try {
      next->task();
    } catch (...) {
      next->thrown = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      next->done = true;
    }
    ran_.notify_all();
  }
}

void LoopTasks::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  RunPending();
}

}  // namespace zentrel::gateway
