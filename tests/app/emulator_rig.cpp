// The emulator rig: the process is started on the folder's link with a short
// connect delay (or on a local port), its log written beside it; lines come
// from its standard output, which the event loop reads while a wait runs.
#include "tests/app/emulator_rig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "tests/app/form_fixture.h"

namespace zentrel::testing {

EmulatorRig::EmulatorRig(TestFolder& folder)
    : folder_(folder), dir_(QString::fromStdString(folder.Path())) {}

EmulatorRig::~EmulatorRig() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(10000);
  }
}

bool EmulatorRig::Available() {
  const QString modemsim = QStringLiteral(ZENTREL_MODEMSIM);
  return !modemsim.isEmpty() && QFile::exists(modemsim);
}

bool EmulatorRig::Start(const QString& scenario, const QStringList& extra) {
  return Launch(
      QStringList{"--link", dir_ + "/modem", "--scenario", scenario, "--connect-delay-ms", "50"} +
          extra,
      "modem " + dir_ + "/modem ATZ");
}

bool EmulatorRig::Listen(const QString& scenario, const QStringList& extra) {
  return Launch(QStringList{"--listen", "127.0.0.1:0", "--scenario", scenario} + extra, "tcp ");
}

// A TCP line's address is known once the emulator says where it listens.
bool EmulatorRig::Launch(const QStringList& arguments, const QString& line) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QStringLiteral(ZENTREL_MODEMSIM),
                 arguments + QStringList{"--log", dir_ + "/modemsim.log"});
  const QString ready = ReadyLine(30000);
  if (ready.isEmpty()) return false;
  QFile lines(dir_ + "/lines.conf");
  if (!lines.open(QIODevice::WriteOnly)) return false;
  lines.write((line == "tcp " ? line + ready : line).toUtf8() + "\n");
  folder_.SetEnv("ZENTREL_LINES", dir_ + "/lines.conf");
  return true;
}

QString EmulatorRig::ReadyLine(int limit_ms) {
  QString ready;
  WaitUntil(
      [&] {
        while (ready.isEmpty() && process_.canReadLine()) {
          const QString line = QString::fromUtf8(process_.readLine()).trimmed();
          if (line.startsWith("ready ")) ready = line.mid(6);
        }
        return !ready.isEmpty() || process_.state() == QProcess::NotRunning;
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
