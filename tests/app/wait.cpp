// Event-processing wait loop for the form tests: queued status texts, timer
// ticks and line events arrive through the event loop, so the loop runs it
// (waking at least every 10 ms) until the condition holds.
#include "tests/app/wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace zentrel::testing {

bool WaitUntil(const std::function<bool()>& condition, int limit_ms) {
  const QDeadlineTimer deadline(limit_ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  }
  return true;
}

}  // namespace zentrel::testing
