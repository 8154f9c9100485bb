// The modem and paging terminal emulator for the form's end-to-end tests: a
// zentrel-modemsim process behind a link in the test folder (or listening on
// a local TCP port), a lines.conf naming it (ZENTREL_LINES points there while
// the folder lives), and the emulator's event log. Every wait is bounded and
// runs the event loop.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zentrel::testing {

class TestFolder;

class EmulatorRig {
 public:
  explicit EmulatorRig(TestFolder& folder);
  ~EmulatorRig();  // stops the emulator

  // False when the emulator was not built (the test then skips).
  static bool Available();
  // Starts it on a modem line with `scenario` (any number of calls) and
  // waits for its first "ready" line.
  bool Start(const QString& scenario, const QStringList& extra = {});
  // Starts it as a terminal on a TCP line, on a port of its choosing.
  bool Listen(const QString& scenario, const QStringList& extra = {});
  // Waits for the next "ready" line: a fresh port after a hang-up.
  bool WaitReady(int limit_ms = 30000) { return !ReadyLine(limit_ms).isEmpty(); }
  bool Running() const { return process_.state() != QProcess::NotRunning; }
  // The logged events named `event` ("call", "block", "hangup", ...).
  QList<QJsonObject> Events(const QString& event) const;

 private:
  bool Launch(const QStringList& arguments, const QString& line);
  // What follows "ready " on the emulator's next such line; empty if none came.
  QString ReadyLine(int limit_ms);

  TestFolder& folder_;
  QString dir_;
  QProcess process_;
};

// Threads of this process now (for checks that a teardown ended them).
int ThreadCount();

}  // namespace zentrel::testing
