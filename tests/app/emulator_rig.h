// The modem and paging terminal emulator for the form's end-to-end tests: a
// zentrel-modemsim process behind a link in the test folder, a lines.conf
// naming it (ZENTREL_LINES points there while the rig lives), and the
// emulator's event log. Every wait is bounded and runs the event loop.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace zentrel::testing {

class EmulatorRig {
 public:
  explicit EmulatorRig(const std::string& dir);
  ~EmulatorRig();  // stops the emulator, restores ZENTREL_LINES

  // False when the emulator was not built (the test then skips).
  static bool Available();
  // Starts it with `scenario` (any number of calls) and waits for its
  // first "ready" line.
  bool Start(const QString& scenario, const QStringList& extra = {});
  // Waits for the next "ready" line: a fresh port after a hang-up.
  bool WaitReady(int limit_ms = 30000);
  // The logged events named `event` ("call", "block", "hangup", ...).
  QList<QJsonObject> Events(const QString& event) const;

 private:
  QString dir_;
  QByteArray previous_lines_;
  QProcess process_;
};

// Threads of this process now (for checks that a teardown ended them).
int ThreadCount();

}  // namespace zentrel::testing
