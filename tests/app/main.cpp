// The test program's entry: one QApplication for all tests, then GoogleTest.
// Offscreen unless told otherwise, also when CTest only lists the tests;
// an organisation name of its own keeps the program's profile untouched.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("ZentrelTests"));
  QCoreApplication::setApplicationName(QStringLiteral("ZentrelTests"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
