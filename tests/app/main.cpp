// The test program's entry: one QApplication for all tests, then GoogleTest.
// Offscreen unless told otherwise, also when CTest only lists the tests;
// an organisation name of its own keeps the program's profile untouched.
// HOME and the XDG folders point into a scratch home for the whole run, so
// no test can reach the user's page log or settings; each test folder names
// its own page log, and the run fails if anything was written into the
// scratch home (a test that wrote outside its own folder).
#include <QApplication>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ScratchHome : public ::testing::Environment {
 public:
  ScratchHome() {
    for (const char* name : {"HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
      const QString path = home_.path() + "/" + name;
      qputenv(name, path.toUtf8());
    }
    qputenv("XDG_CACHE_HOME", cache_.path().toUtf8());  // font caches may go there
    qunsetenv("ZENTREL_PAGE_LOG");
  }
  void TearDown() override {
    QDirIterator files(home_.path(), QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
      ADD_FAILURE() << "written outside a test's folder: " << files.next().toStdString();
  }

 private:
  QTemporaryDir home_;
  QTemporaryDir cache_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  auto* home = new ScratchHome;  // before Qt reads any of the folders
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("ZentrelTests"));
  QCoreApplication::setApplicationName(QStringLiteral("ZentrelTests"));
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(home);
  return RUN_ALL_TESTS();
}
