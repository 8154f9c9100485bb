// The paging terminal on a line with no modem in front: a direct cable (the
// emulator's pty with --direct) or one TCP/TLS connection. Every byte goes
// to the terminal at once; when the terminal is done the line is dropped
// (the pty hung up, the connection closed), with no "NO CARRIER" text.
#pragma once

#include "scenario.h"
#include "session_base.h"
#include "terminal.h"

namespace zentrel::modemsim {

class LineSession : public ISession {
 public:
  explicit LineSession(Scenario scenario, int slow_wakeups = 2)
      : terminal_(scenario, slow_wakeups) {}

  Actions Receive(std::string_view bytes) override;
  Actions DialDone() override { return {}; }
  Actions IdleTimeout() override;
  Actions GuardSilence() override { return {}; }
  bool GuardTimed() const override { return false; }
  bool IdleTimerRunning() const override { return !ended_ && terminal_.logged_on(); }

 private:
  void EndIfTerminalGone(Actions& out);

  TapTerminal terminal_;
  bool ended_ = false;
};

}  // namespace zentrel::modemsim
