// One pty's worth of modem: Hayes command mode (lines ending in CR, echo until
// ATE0, OK to every AT command, ATD dials), then, after the dial delay, the
// connected call with the paging terminal behind it; "+++" between two guard
// silences returns to commands (ATH hangs up). Pure logic: bytes in, Actions
// out; the server supplies the time (dial delay, guard time, idle timeout).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "actions.h"
#include "scenario.h"
#include "session_base.h"
#include "terminal.h"

namespace zentrel::modemsim {

// What one command line asks of the modem.
struct CommandLine {
  bool is_at = false;               // starts with AT (any case)
  std::optional<bool> echo;         // E0/E1, or Z/&F (echo back on)
  std::optional<bool> verbose;      // V0/V1, or &F (verbose)
  bool reset = false;               // Z: back to the stored profile
  std::optional<std::string> dial;  // ATD: the number, T/P removed
  bool hang_up = false;             // H
  bool go_online = false;           // O: back to the call after +++
  bool identify = false;            // I: the modem's name before OK
};
CommandLine ParseCommandLine(std::string_view line);

class Session : public ISession {
 public:
  // kOnlineCommand: a call is up but the modem takes commands (after +++).
  enum class Mode { kCommand, kDialing, kOnline, kOnlineCommand, kEnded };

  explicit Session(Scenario scenario, int slow_wakeups = 2);

  Actions Receive(std::string_view bytes) override;
  // The dial delay has passed: CONNECT, or the scenario's failure.
  Actions DialDone() override;
  // Nothing came from the caller for the terminal's inactivity time.
  Actions IdleTimeout() override;
  // Nothing came from the caller for the escape guard time (once per quiet
  // spell): the silence before and after "+++".
  Actions GuardSilence() override;

  Mode mode() const { return mode_; }
  // The terminal counts its inactivity time: online and logged on.
  bool IdleTimerRunning() const override { return mode_ == Mode::kOnline && terminal_.logged_on(); }
  bool GuardTimed() const override { return mode_ == Mode::kOnline; }

 private:
  Actions ReceiveBytes(std::string_view bytes);
  void FeedCommand(char byte, Actions& out);
  void RunCommandLine(Actions& out);
  void FeedOnline(char byte, Actions& out);
  void EndIfTerminalGone(Actions& out);

  Scenario scenario_;
  int slow_wakeups_;
  TapTerminal terminal_;
  Mode mode_ = Mode::kCommand;
  bool echo_ = true;
  bool verbose_ = true;
  // A result code as this modem gives it now: verbose, or numeric after V0.
  std::string Coded(std::string_view framed) const;
  std::string ConnectText() const;
  // The scenario's touch on everything sent: parity in bit 7.
  Actions Sent(Actions out) const;
  std::string line_;
  bool quiet_ = false;  // a guard silence passed and nothing but '+' since
  int pluses_ = 0;
};

}  // namespace zentrel::modemsim
