// Process: posix_spawn with two pipes; output is gathered with poll().
#include "tests/e2e/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

extern char** environ;

namespace zentrel::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Reads what is available on the open descriptors; closes those at their end.
// Returns false when the deadline passed with nothing to read.
bool Pump(int& out_fd, std::string& out, int& err_fd, std::string& err,
          Clock::time_point deadline) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  const int n = poll(fds, 2, MillisLeft(deadline));
  if (n <= 0) return false;
  int* fd[2] = {&out_fd, &err_fd};
  std::string* buf[2] = {&out, &err};
  for (int i = 0; i < 2; ++i) {
    if (*fd[i] < 0 || fds[i].revents == 0) continue;
    char chunk[4096];
    const ssize_t got = read(*fd[i], chunk, sizeof chunk);
    if (got > 0) {
      buf[i]->append(chunk, static_cast<std::size_t>(got));
    } else {
      close(*fd[i]);
      *fd[i] = -1;
    }
  }
  return true;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 bool piped_input) {
  int out[2], err[2], in[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
  if (piped_input && pipe2(in, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (piped_input) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The given variables replace the inherited ones of the same name (a
  // shell in between would keep the last of two, the inherited one).
  std::vector<std::string> env_strings(env);
  const auto given = [&env](std::string_view inherited) {
    const auto equals = inherited.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view name = inherited.substr(0, equals + 1);
    for (const auto& e : env)
      if (std::string_view(e).starts_with(name)) return true;
    return false;
  };
  for (char** e = environ; *e != nullptr; ++e)
    if (!given(*e)) env_strings.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (piped_input) close(in[0]);
  in_fd_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
}

Process::~Process() {
  CloseInput();
  Terminate();
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void Process::Terminate() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string Process::WaitForLine(const std::string& prefix, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    std::size_t start = 0;
    for (std::size_t nl; (nl = out_.find('\n', start)) != std::string::npos; start = nl + 1) {
      if (out_.compare(start, prefix.size(), prefix) == 0) return out_.substr(start, nl - start);
    }
    if (out_fd_ < 0 && err_fd_ < 0) return "";
    if (!Pump(out_fd_, out_, err_fd_, err_, deadline)) return "";
  }
}

bool Process::WaitForErrText(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (err_.find(text) == std::string::npos) {
    if (out_fd_ < 0 && err_fd_ < 0) return false;
    if (!Pump(out_fd_, out_, err_fd_, err_, deadline)) return false;
  }
  return true;
}

std::string Process::NextLine(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (const auto nl = out_.find('\n', taken_); nl != std::string::npos) {
      std::string line = out_.substr(taken_, nl - taken_);
      taken_ = nl + 1;
      return line;
    }
    if (out_fd_ < 0 && err_fd_ < 0) return "";
    if (!Pump(out_fd_, out_, err_fd_, err_, deadline)) return "";
  }
}

void Process::WriteInput(const std::string& text) {
  for (std::size_t done = 0; in_fd_ >= 0 && done < text.size();) {
    const ssize_t n = write(in_fd_, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void Process::CloseInput() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

void Process::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

Finished Process::Wait(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    if (!Pump(out_fd_, out_, err_fd_, err_, deadline)) break;
  }
  Finished f;
  if (out_fd_ >= 0 || err_fd_ >= 0) {  // still running at the deadline
    Terminate();
  } else if (pid_ > 0) {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status)) f.status = WEXITSTATUS(status);
  }
  f.out = out_;
  f.err = err_;
  return f;
}

Finished RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    std::chrono::milliseconds limit) {
  Process p(argv, env);
  return p.Wait(limit);
}

}  // namespace zentrel::e2e
