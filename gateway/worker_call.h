// One call in a worker process: the daemon starts the worker with pipes on
// its standard input and output, writes the batch, reads its events line by
// line and writes "ok" after committing each one. Both pipes are
// non-blocking and watched by the daemon's poll loop; the child is reaped
// when SIGCHLD arrives. A worker that dies costs this call, never the daemon.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "gateway/line_buffer.h"
#include "gateway/worker_events.h"

namespace zentrel::gateway {

class WorkerCall {
 public:
  // Starts argv[0] with its arguments; throws std::runtime_error when it
  // cannot be started.
  WorkerCall(const std::vector<std::string>& argv, const Batch& batch);
  ~WorkerCall();  // a worker still running is killed and reaped
  WorkerCall(const WorkerCall&) = delete;
  WorkerCall& operator=(const WorkerCall&) = delete;

  int OutFd() const { return out_fd_; }  // -1 once its end was read
  int InFd() const { return in_fd_; }    // -1 once closed
  bool WantsWrite() const { return !pending_.empty() && in_fd_ >= 0; }
  void OnWritable();
  // Reads what the worker wrote; the whole lines it completed, as events. A
  // line too long or unreadable output ends with a BadEvent.
  std::vector<WorkerEvent> OnReadable();
  void Ack();  // "ok" to the worker
  // No more "ok": the worker sends no further block, logs off and ends.
  void CloseInput() { CloseIn(); }
  void Signal(int signal) const;
  // Reaps the worker if it has exited; true once it has.
  bool Reap();
  bool Over() const { return out_fd_ < 0 && reaped_; }
  int ExitStatus() const { return status_; }  // -1: killed by a signal
  pid_t Pid() const { return pid_; }

 private:
  void CloseIn();
  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  std::string pending_;
  LineBuffer lines_{1 << 20};
  bool reaped_ = false;
  int status_ = -1;
};

}  // namespace zentrel::gateway
