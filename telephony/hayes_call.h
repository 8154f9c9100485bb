// One call through a Hayes modem, on a thread of its own: the line's INIT,
// then the driver's own settings (so the call does not depend on the stored
// profile), dial ATDT<number>, read the answer; once connected stop reading
// (the serial link becomes the port's only reader) and only watch for the
// end of the call: the port's hang-up, and the carrier where the port has
// modem-control lines. A drop hangs up and checks that the modem did (DTR,
// else the escape and ATH); Join ends and waits.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "seriallink/modem_lines.h"
#include "seriallink/tty_port.h"
#include "telephony/hayes_response.h"
#include "telephony/hayes_timings.h"
#include "telephony/line_kind.h"
#include "telephony/line_types.h"
#include "telephony/modem_reader.h"

namespace zentrel {

// Echo off, verbose results, results on, extended results, DCD follows the
// carrier, DTR low hangs up.
inline constexpr const char* kHayesSettings = "ATE0V1Q0X4&C1&D2";

class HayesCall : public ILineCall {
 public:
  // `lines`: the port's modem-control lines (a test's fake stands in).
  // `set_up`: the line's check has just had OK to the INIT on this port, so
  // the call goes on from the driver's own settings.
  HayesCall(TtyPort& port, IModemLines& lines, std::string init, std::string number,
            HayesTimings timings, CallStateReport report, bool set_up = false);
  ~HayesCall() override;  // Join()
  HayesCall(const HayesCall&) = delete;
  HayesCall& operator=(const HayesCall&) = delete;

  void Start() override;
  DWORD State() const override { return state_.load(); }
  DWORD StateDetail() const override { return detail_.load(); }
  // Asks for the hang-up; the call reports idle when it is done.
  void Drop() override;
  // Ends the call (hanging up if still off hook) and waits for the thread.
  void Join() override;
  int DataFd() const override { return port_.fd(); }
  std::string DataName() const override { return port_.path(); }
  CommHandover Handover() const override { return {port_.format(), nullptr, nullptr}; }

 private:
  enum class Wait { kLine, kTimeout, kStopped, kPortGone };
  void Run();
  bool Initialise();
  bool SetUpFailed(const std::string& command, bool answered);
  bool Command(const std::string& command, HayesResponse* answer);
  bool SendSettings();
  void DialAndAnswer();
  void ReportDialAnswer(const HayesResponse& answer);
  void Watch();
  void NoteCarrier();
  void EndByPort(const std::string& why);
  void HangUp();
  std::string HangUpByDtr();
  std::string HangUpByCommand();
  std::string AwaitAthAnswer();
  void Pause(std::chrono::milliseconds length);
  Wait AwaitLine(std::chrono::milliseconds limit, bool stop_ends, HayesResponse* line);
  Wait AwaitResult(std::chrono::milliseconds limit, bool stop_ends, HayesResponse* result);
  Wait LineFrom(std::string text, HayesResponse* line);
  void Report(DWORD state, DWORD detail);
  void Trace(const std::string& text) const;
  bool StopRequested() const { return drop_.load() || end_.load(); }

  TtyPort& port_;
  IModemLines& lines_;
  std::string init_;
  std::string number_;
  HayesTimings timings_;
  CallStateReport report_;
  int wake_fd_;
  std::thread thread_;
  ModemLineReader reader_;
  std::string last_line_;  // the text of the line AwaitLine gave last
  std::atomic<DWORD> state_{0};
  std::atomic<DWORD> detail_{0};
  std::atomic<bool> drop_{false};
  std::atomic<bool> end_{false};
  bool off_hook_ = false;   // the call thread's own
  bool data_mode_ = false;  // the call thread's own
  // DCD was seen up in this call (the call thread's own): only then does
  // DCD low mean the carrier is gone, and the port heeds the carrier.
  bool carrier_seen_ = false;
  bool set_up_;  // the INIT was answered OK before the call
};

// The modem's words in a trace: control bytes as <XX>.
std::string PrintableModemText(const std::string& line);

}  // namespace zentrel
