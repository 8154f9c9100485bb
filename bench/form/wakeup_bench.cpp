// The first wake-up CR after CONNECT, as the terminal sees it: the real form
// (offscreen) sends pages through zentrel-modemsim with the real 4000 ms
// interval, and each page's delay is read from the emulator's log, from the
// CONNECT it sent to the first CR it received. Reports the mean and largest
// deviation from 4000 ms over the pages (one page per iteration).
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "app/zt_app.h"
#include "paging/view/zt_view.h"
#include "seriallink/trace.h"

namespace zentrel::bench {
namespace {

bool RunUntil(const std::function<bool()>& done, int limit_ms) {
  const QDeadlineTimer deadline(limit_ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

// Delays from each CONNECT the emulator sent to the next CR it received.
std::vector<double> WakeUpDelays(const QString& log_path) {
  std::vector<double> delays;
  QFile log(log_path);
  if (!log.open(QIODevice::ReadOnly)) return delays;
  double connect_ms = -1;
  while (!log.atEnd()) {
    const QJsonObject e = QJsonDocument::fromJson(log.readLine()).object();
    const QString text = e.value("text").toString();
    if (e.value("event") == "tx" && text.contains("CONNECT")) connect_ms = e.value("ms").toDouble();
    if (e.value("event") == "rx" && connect_ms >= 0 && text.startsWith("<CR>")) {
      delays.push_back(e.value("ms").toDouble() - connect_ms);
      connect_ms = -1;
    }
  }
  return delays;
}

void FirstWakeUpAfterConnect(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.path();
  std::filesystem::current_path(path.toStdString());
  sqlite3* db = nullptr;
  sqlite3_open("vp.mdb", &db);
  sqlite3_exec(
      db,
      "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT, pagephone "
      "TEXT);"
      "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
      "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES('1001', 'Ann', 'Bell', '5551234');",
      nullptr, nullptr, nullptr);
  sqlite3_close(db);
  QFile lines(path + "/lines.conf");
  lines.open(QIODevice::WriteOnly);
  lines.write(("modem " + path + "/modem ATZ\n").toUtf8());
  lines.close();
  qputenv("ZENTREL_LINES", (path + "/lines.conf").toUtf8());

  QProcess modem;
  modem.start(ZENTREL_MODEMSIM, {"--link", path + "/modem", "--connect-delay-ms", "0", "--log",
                                 path + "/modemsim.log"});
  auto ready = [&] {
    return RunUntil([&] { return modem.canReadLine(); }, 30000) &&
           modem.readLine().startsWith("ready ");
  };
  if (!ready()) {
    state.SkipWithError("the emulator did not start");
    return;
  }
  CZTApp::Options options;
  options.show = false;
  QStringList shown;  // message boxes, recorded instead of shown
  options.message_box = [&shown](QWidget*, const QString& text, QMessageBox::Icon) {
    shown << text;
  };
  TraceCapture trace;
  CZTApp app(options);
  app.InitInstance();
  CZTView* view = app.View();
  view->m_editMessage->setPlainText("Pump 3 pressure low");
  for (auto _ : state) {
    view->m_editStatus->clear();
    trace.Clear();
    view->m_buttonSend->click();
    const bool sent =
        RunUntil([&] { return view->m_editStatus->toPlainText() == "Message Sent!"; }, 60000);
    // The next page once the call has ended on both sides.
    if (!sent || !shown.isEmpty() || !ready() ||
        !RunUntil([&] { return trace.Contains("Call stopped\n"); }, 30000)) {
      state.SkipWithError("a page was not sent");
      break;
    }
  }
  modem.terminate();
  modem.waitForFinished(10000);
  const std::vector<double> delays = WakeUpDelays(path + "/modemsim.log");
  double sum = 0, largest = 0;
  for (double d : delays) {
    sum += std::abs(d - kLogonTimerIntervalMs);
    largest = std::max(largest, std::abs(d - kLogonTimerIntervalMs));
  }
  std::fprintf(stdout, "first wake-up CR after CONNECT, ms:");
  for (double d : delays) std::fprintf(stdout, " %.0f", d);
  std::fprintf(stdout, "\n");
  state.counters["pages"] = double(delays.size());
  state.counters["mean_dev_ms"] = delays.empty() ? 0 : sum / double(delays.size());
  state.counters["max_dev_ms"] = largest;
}

BENCHMARK(FirstWakeUpAfterConnect)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zentrel::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
