// The paging terminal behind the modem, once the call is connected. It reads
// the caller's bytes one at a time, so input may arrive split anywhere: a lone
// CR asks for "ID=", ESC "PG1" [password] CR logs on, STX ... ETX c c c CR is a
// message block (ETB or US instead of ETX: more blocks of the page follow),
// EOT CR logs off. The scenario picks how it answers.
#pragma once

#include <string>

#include "actions.h"
#include "scenario.h"

namespace zentrel::modemsim {

class TapTerminal {
 public:
  // `slow_wakeups`: with Scenario::kSlow, this many wake-up CRs go unanswered.
  explicit TapTerminal(Scenario scenario, int slow_wakeups = 2);

  void Feed(char byte, Actions& out);
  // Nothing arrived for the terminal's inactivity time after the log-on
  // (before it, the terminal waits for wake-ups): it disconnects.
  void IdleTimeout(Actions& out);
  bool logged_on() const { return step_ == Step::kLoggedOn; }
  bool gone() const { return step_ == Step::kGone; }

 private:
  enum class Step { kAwaitWake, kAwaitLogon, kLoggedOn, kGone };
  enum class Frame { kNone, kLogon, kBlock, kChecksum, kEot };

  void FeedOutsideFrame(char byte, Actions& out);
  void OnWake(Actions& out);
  void OnLogon(Actions& out);
  void OnBlock(Actions& out);
  void AnswerPage(Actions& out);
  void Disconnect(const char* farewell, Actions& out);
  void Send(std::string bytes, Actions& out);

  Scenario scenario_;
  int slow_wakeups_;
  int wakeups_ = 0;
  Step step_ = Step::kAwaitWake;
  Frame frame_ = Frame::kNone;
  std::string frame_bytes_;     // log-on text after ESC, or STX through ETX
  std::string checksum_bytes_;  // what follows the block's end: 3 characters and CR
  std::string page_data_;       // the page's blocks so far, without STX and end
  int pages_ = 0;               // pages received in this call
  bool naked_once_ = false;
};

}  // namespace zentrel::modemsim
