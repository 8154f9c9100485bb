// Child processes for the end-to-end tests: start a program with arguments
// and extra environment, feed its input, read its output, wait for it. No sleeps: output is
// awaited with poll() and a bound.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zentrel::e2e {

struct Finished {
  int status = -1;  // exit status, or -1 when killed or not started
  std::string out;
  std::string err;
};

class Process {
 public:
  // `piped_input`: the child's standard input is a pipe fed by WriteInput
  // (else it is inherited).
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
          bool piped_input = false);
  ~Process();  // terminates and reaps a child that is still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Reads standard output until a line starting with `prefix` arrives;
  // returns that line, or "" on end of output or time-out.
  std::string WaitForLine(const std::string& prefix, std::chrono::milliseconds limit);
  // Reads both outputs to their end and reaps the child, within `limit`
  // (then it is killed).
  Finished Wait(std::chrono::milliseconds limit);
  void Terminate();
  // Reads both outputs until standard error holds `text`; false on end of
  // output or time-out.
  bool WaitForErrText(const std::string& text, std::chrono::milliseconds limit);
  // What standard error has said so far (read by the waits above).
  const std::string& ErrSoFar() const { return err_; }
  void Signal(int signal) const;
  // The next line of standard output not yet taken by NextLine (without
  // its line break); "" on end of output or time-out.
  std::string NextLine(std::chrono::milliseconds limit);
  void WriteInput(const std::string& text);
  void CloseInput();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int in_fd_ = -1;
  std::size_t taken_ = 0;  // of out_, by NextLine
  std::string out_;
  std::string err_;
};

// Runs a program to its end.
Finished RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    std::chrono::milliseconds limit);

}  // namespace zentrel::e2e
