// Zentrel's entry point: the application object's start-up, then the message
// loop until the frame is closed (File > Exit, the close button, or SIGTERM,
// SIGINT, SIGHUP); the application object then hangs up a call under way and
// ends every thread. ZENTREL_EXIT_AFTER_SHOW=1 ends the program as soon as
// the form is shown and filled (for start-up measurements).
// --help and --version are answered before Qt starts; Qt's own options
// (-platform, -style, ...) pass through to it.
#include <QApplication>
#include <QTimer>

#include "app/about_box.h"
#include "app/quit_signals.h"
#include "app/zt_app.h"
#include "tools/program_cli.h"

int main(int argc, char** argv) {
  CLI::App cli{"Opens the form that sends a page to a pager, in the current folder's vp.mdb."};
  zentrel::UseProgramConventions(cli, "zentrel");
  cli.allow_extras();
  CLI11_PARSE(cli, argc, argv);
  QApplication qt(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Zentrel"));
  QCoreApplication::setApplicationName(QStringLiteral("Zentrel"));
  QApplication::setWindowIcon(zentrel::ProgramIcon());
  zentrel::QuitSignals quit_signals;
  zentrel::CZTApp app;
  if (!app.InitInstance()) return 1;
  if (qEnvironmentVariableIntValue("ZENTREL_EXIT_AFTER_SHOW") == 1) {
    QTimer::singleShot(0, &qt, &QCoreApplication::quit);
  }
  return qt.exec();
}
