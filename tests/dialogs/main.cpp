// Runs the dialog tests inside one QApplication, on the offscreen platform
// unless another one was asked for (test discovery runs without CTest's
// environment, so the default is set here too).
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Zentrel"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
