// The emulator rig: the process is started on the folder's link with a short
// connect delay, its log written beside it; lines come from its standard
// output, which the event loop reads while a wait runs.
#include "tests/app/emulator_rig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "tests/app/form_fixture.h"

namespace zentrel::testing {

EmulatorRig::EmulatorRig(const std::string& dir)
    : dir_(QString::fromStdString(dir)), previous_lines_(qgetenv("ZENTREL_LINES")) {
  QFile lines(dir_ + "/lines.conf");
  if (lines.open(QIODevice::WriteOnly)) lines.write(("modem " + dir_ + "/modem ATZ\n").toUtf8());
  qputenv("ZENTREL_LINES", (dir_ + "/lines.conf").toUtf8());
}

EmulatorRig::~EmulatorRig() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(10000);
  }
  if (previous_lines_.isNull())
    qunsetenv("ZENTREL_LINES");
  else
    qputenv("ZENTREL_LINES", previous_lines_);
}

bool EmulatorRig::Available() {
  const QString modemsim = QStringLiteral(ZENTREL_MODEMSIM);
  return !modemsim.isEmpty() && QFile::exists(modemsim);
}

bool EmulatorRig::Start(const QString& scenario, const QStringList& extra) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QStringLiteral(ZENTREL_MODEMSIM),
                 QStringList{"--link", dir_ + "/modem", "--scenario", scenario,
                             "--connect-delay-ms", "50", "--log", dir_ + "/modemsim.log"} +
                     extra);
  return WaitReady();
}

bool EmulatorRig::WaitReady(int limit_ms) {
  bool ready = false;
  WaitUntil(
      [&] {
        while (!ready && process_.canReadLine()) ready = process_.readLine().startsWith("ready ");
        return ready || process_.state() == QProcess::NotRunning;
      },
      limit_ms);
  return ready;
}

QList<QJsonObject> EmulatorRig::Events(const QString& event) const {
  QList<QJsonObject> events;
  QFile log(dir_ + "/modemsim.log");
  if (!log.open(QIODevice::ReadOnly)) return events;
  while (!log.atEnd()) {
    const QJsonObject line = QJsonDocument::fromJson(log.readLine()).object();
    if (line.value("event").toString() == event) events << line;
  }
  return events;
}

int ThreadCount() {
  return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

}  // namespace zentrel::testing
