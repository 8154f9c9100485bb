// Zentrel's entry point: the application object's start-up, then the message
// loop until the frame is closed (File > Exit, the close button, or SIGTERM,
// SIGINT, SIGHUP); the application object then hangs up a call under way and
// ends every thread. ZENTREL_EXIT_AFTER_SHOW=1 ends the program as soon as
// the form is shown and filled (for start-up measurements).
// --help and --version are answered before Qt starts, --call-timeout and
// --hangup-grace set how long a call may stall; Qt's own options (-platform,
// -style, ...) pass through to it.
#include <QApplication>
#include <QTimer>

#include "app/about_box.h"
#include "app/quit_signals.h"
#include "app/zt_app.h"
#include "tools/program_cli.h"

int main(int argc, char** argv) {
  CLI::App cli{"Opens the form that sends a page to a pager, in the current folder's vp.mdb."};
  zentrel::UseProgramConventions(cli, "zentrel");
  double call_timeout_s = zentrel::kCallTimeoutMs / 1000.0;
  double hangup_grace_s = zentrel::kHangUpGraceMs / 1000.0;
  cli.add_option("--call-timeout", call_timeout_s,
                 "seconds a call may go without a step before the form hangs up")
      ->check(CLI::Range(0.1, 3600.0))
      ->capture_default_str();
  cli.add_option("--hangup-grace", hangup_grace_s,
                 "seconds the terminal has to hang up after accepting or refusing the page")
      ->check(CLI::Range(0.1, 600.0))
      ->capture_default_str();
  cli.allow_extras();
  CLI11_PARSE(cli, argc, argv);
  QApplication qt(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Zentrel"));
  QCoreApplication::setApplicationName(QStringLiteral("Zentrel"));
  QApplication::setWindowIcon(zentrel::ProgramIcon());
  zentrel::QuitSignals quit_signals;
  zentrel::CZTApp::Options options;
  options.call_timeout_ms = static_cast<int>(call_timeout_s * 1000);
  options.hangup_grace_ms = static_cast<int>(hangup_grace_s * 1000);
  zentrel::CZTApp app(options);
  if (!app.InitInstance()) return 1;
  if (qEnvironmentVariableIntValue("ZENTREL_EXIT_AFTER_SHOW") == 1) {
    QTimer::singleShot(0, &qt, &QCoreApplication::quit);
  }
  return qt.exec();
}
