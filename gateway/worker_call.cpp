// The worker process's plumbing: posix_spawn with the pipes on its standard
// input and output (standard error is the daemon's, so the worker's words go
// to the same log), default signal handling and an empty signal mask for the
// child (the daemon blocks the signals it reads through signalfd), and no
// descriptor but those three.
#include "gateway/worker_call.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace zentrel::gateway {

namespace {

std::runtime_error StartError(const std::string& program, int error) {
  return std::runtime_error("cannot start the worker " + program + ": " + std::strerror(error));
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

pid_t Spawn(const std::vector<std::string>& argv, int child_in, int child_out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child_in, 0);
  posix_spawn_file_actions_adddup2(&actions, child_out, 1);
  // Nothing else of the daemon's goes along: a listener's socket (the HTTP
  // library's are not close-on-exec) held by a worker would keep a client's
  // connection open until the call ended.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) throw StartError(argv[0], rc);
  return pid;
}

}  // namespace

WorkerCall::WorkerCall(const std::vector<std::string>& argv, const Batch& batch) {
  int to_child[2];
  int from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0) throw StartError(argv[0], errno);
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    const int error = errno;
    close(to_child[0]);
    close(to_child[1]);
    throw StartError(argv[0], error);
  }
  try {
    pid_ = Spawn(argv, to_child[0], from_child[1]);
  } catch (...) {
    for (int fd : {to_child[0], to_child[1], from_child[0], from_child[1]}) close(fd);
    throw;
  }
  close(to_child[0]);
  close(from_child[1]);
  in_fd_ = to_child[1];
  out_fd_ = from_child[0];
  SetNonBlocking(in_fd_);
  SetNonBlocking(out_fd_);
  pending_ = BatchLine(batch);
  OnWritable();
}

WorkerCall::~WorkerCall() {
  CloseIn();
  if (out_fd_ >= 0) close(out_fd_);
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void WorkerCall::CloseIn() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

void WorkerCall::OnWritable() {
  while (!pending_.empty() && in_fd_ >= 0) {
    const ssize_t n = write(in_fd_, pending_.data(), pending_.size());
    if (n > 0) {
      pending_.erase(0, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      return;
    } else {
      CloseIn();  // the worker is gone: its end is read from its output
    }
  }
}

std::vector<WorkerEvent> WorkerCall::OnReadable() {
  std::vector<WorkerEvent> events;
  char chunk[16384];
  const ssize_t n = read(out_fd_, chunk, sizeof chunk);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return events;
  if (n <= 0) {
    close(out_fd_);
    out_fd_ = -1;
    return events;
  }
  lines_.Append(std::string_view(chunk, static_cast<std::size_t>(n)));
  while (auto line = lines_.Next()) events.push_back(ParseWorkerEvent(*line));
  if (lines_.Overflowed()) events.push_back(BadEvent{"a line longer than 1 MiB"});
  return events;
}

void WorkerCall::Ack() {
  pending_ += "ok\n";
  OnWritable();
}

void WorkerCall::Signal(int signal) const {
  if (!reaped_ && pid_ > 0) kill(pid_, signal);
}

bool WorkerCall::Reap() {
  if (reaped_) return true;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done != pid_) return false;
  reaped_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  CloseIn();
  return true;
}

}  // namespace zentrel::gateway
