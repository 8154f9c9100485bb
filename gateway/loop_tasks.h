// Work handed to the daemon's one thread by the listeners' own threads (HTTP).
// The queue's connection and the recipients belong to the loop's thread, so
// another thread never touches them: it posts a task here, the loop wakes on
// the eventfd, runs every task posted and wakes each poster. Once closed (the
// daemon stops) a post is refused at once, so no poster ever waits on a loop
// that has gone.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace zentrel::gateway {

class LoopTasks {
 public:
  LoopTasks();  // throws std::runtime_error when no eventfd can be had
  ~LoopTasks();
  LoopTasks(const LoopTasks&) = delete;
  LoopTasks& operator=(const LoopTasks&) = delete;

  // Any thread but the loop's: runs `task` on the loop's thread and returns
  // once it has run (rethrowing what it threw); false (and `task` not run)
  // when the loop is closed.
  bool Run(std::function<void()> task);

  // The loop's thread: the descriptor to poll, and the tasks to run when it
  // is readable (or at any time).
  int fd() const { return fd_; }
  void RunPending();
  // Refuses every later post and runs the ones already posted.
  void Close();

 private:
  struct Posted {
    std::function<void()> task;
    bool done = false;
    std::exception_ptr thrown;
  };
  int fd_ = -1;
  std::mutex mutex_;
  std::condition_variable ran_;
  std::deque<std::shared_ptr<Posted>> waiting_;
  bool closed_ = false;
};

}  // namespace zentrel::gateway
