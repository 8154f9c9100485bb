// The test program's entry: one QApplication (offscreen in CTest) for all
// tests, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("ZentrelTests"));
  QCoreApplication::setApplicationName(QStringLiteral("ZentrelTests"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
