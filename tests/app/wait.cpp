// Event-processing wait loop for the form tests.
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
