// SIGINT, SIGTERM and SIGHUP end a send properly: they are blocked in every
// thread and taken by one thread of their own. During a call the signal is
// only noted: the call runner sees it, hangs up through the line service
// (so a real modem goes on hook and the port's lock is removed) and the
// sender says the page was interrupted. Outside a call nothing is held that
// needs a hang-up, and the sender ends at once.
#pragma once

#include <string>

namespace zentrel {

// Call first in main(), before any thread exists.
void CatchInterruptions();

// The signal that asked the sender to stop during a call; 0 if none.
int InterruptingSignal();

// "interrupted by SIGTERM": what the user is told.
std::string InterruptionText(int signal);

// Marks the time in which a signal must wait for the call to be ended.
class InCall {
 public:
  InCall();
  ~InCall();
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;
};

}  // namespace zentrel
