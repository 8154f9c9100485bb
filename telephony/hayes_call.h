// One call through a Hayes modem, on a thread of its own: init and expect
// OK, dial ATDT<number>, read the answer, then - once connected - stop
// reading (the serial link becomes the port's only reader) and only watch
// for the end of the call: POLLHUP/POLLERR on the port, polled with no
// input events, and the carrier-detect line where the port has one. A drop
// hangs up (DTR pulse, else escape and ATH); Join ends and waits.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "telephony/hayes_port.h"
#include "telephony/hayes_response.h"
#include "telephony/line_types.h"

namespace zentrel {

// How long the modem gets for each step; tests pass short ones.
struct HayesTimings {
  std::chrono::milliseconds command_timeout{5000};  // OK to init and ATH
  std::chrono::milliseconds dial_timeout{60000};    // answer to ATDT
  std::chrono::milliseconds escape_guard{1000};     // silence around +++
  std::chrono::milliseconds dtr_hold{500};          // DTR low to hang up
  std::chrono::milliseconds watch_interval{250};    // carrier checks
  std::chrono::milliseconds line_end_grace{100};    // LF after a CR
};

// New call state and its detail, reported from the call's thread.
using CallStateReport = std::function<void(DWORD, DWORD)>;

class HayesCall {
 public:
  HayesCall(HayesPort& port, std::string init, std::string number,
            HayesTimings timings, CallStateReport report);
  ~HayesCall();  // Join()
  HayesCall(const HayesCall&) = delete;
  HayesCall& operator=(const HayesCall&) = delete;

  void Start();
  DWORD State() const { return state_.load(); }
  DWORD StateDetail() const { return detail_.load(); }
  // Asks for the hang-up; the call reports idle when it is done.
  void Drop();
  // Ends the call (hanging up if still off hook) and waits for the thread.
  void Join();

 private:
  enum class Wait { kLine, kTimeout, kStopped, kPortGone };
  void Run();
  bool Initialise();
  void DialAndAnswer();
  void Watch();
  void HangUp();
  Wait AwaitLine(std::chrono::milliseconds limit, bool stop_ends,
                 HayesResponse* line);
  Wait AwaitResult(std::chrono::milliseconds limit, bool stop_ends,
                   HayesResponse* result);
  void Report(DWORD state, DWORD detail);
  void Trace(const std::string& text) const;
  bool StopRequested() const { return drop_.load() || end_.load(); }

  HayesPort& port_;
  std::string init_;
  std::string number_;
  HayesTimings timings_;
  CallStateReport report_;
  int wake_fd_;
  std::thread thread_;
  HayesLineSplitter splitter_;
  std::string last_line_;  // the text of the line AwaitLine gave last
  std::atomic<DWORD> state_{0};
  std::atomic<DWORD> detail_{0};
  std::atomic<bool> drop_{false};
  std::atomic<bool> end_{false};
  bool off_hook_ = false;   // the call thread's own
  bool data_mode_ = false;  // the call thread's own
};

}  // namespace zentrel
