// The form's buttons plugged into the real editing dialogs and the real
// telephony: each button runs its dialog, and a send with no telephony
// device reports it and fails the dial.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QPushButton>

#include "app/zt_app.h"
#include "paging/view/zt_view.h"
#include "seriallink/trace.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

class WiringTest : public ::testing::Test {
 protected:
  void Start() {
    folder.MakeDatabase({{"10", "Carl", "Dunn", "5559876"}});
    CZTApp::Options options;
    options.show = false;
    options.message_box = [this](QWidget*, const QString& text, QMessageBox::Icon icon) {
      boxes.push_back({text, icon});
    };
    options.run_dialog = [this](QDialog& dialog) {
      dialogs << dialog.windowTitle();
      return int(QDialog::Rejected);
    };
    app = std::make_unique<CZTApp>(options);
    ASSERT_TRUE(app->InitInstance());
  }

  TestFolder folder;
  std::vector<ShownBox> boxes;
  QStringList dialogs;
  std::unique_ptr<CZTApp> app;
};

TEST_F(WiringTest, EachButtonRunsItsDialog) {
  Start();
  app->View()->m_buttonAdd->click();
  app->View()->m_buttonEdit->click();
  app->View()->m_buttonStored->click();
  EXPECT_EQ(dialogs.size(), 3) << dialogs.join(", ").toStdString();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(WiringTest, ASendWithNoTelephonyDeviceFailsTheDial) {
  const QByteArray lines = QByteArray::fromStdString(folder.Path() + "/lines.conf");
  QFile(QString::fromUtf8(lines)).open(QIODevice::WriteOnly);  // no devices
  const QByteArray previous = qgetenv("ZENTREL_LINES");
  qputenv("ZENTREL_LINES", lines);
  Start();
  TraceCapture trace;
  app->View()->m_buttonSend->click();
  EXPECT_TRUE(trace.Contains("Dial call failed.\n"));
  QStringList texts;
  for (const ShownBox& box : boxes) texts << box.text;
  EXPECT_TRUE(texts.contains("There are no telephony devices installed."))
      << texts.join(" | ").toStdString();
  EXPECT_NE(app->View()->Tapi(), nullptr);
  if (previous.isNull()) qunsetenv("ZENTREL_LINES"); else qputenv("ZENTREL_LINES", previous);
}

}  // namespace
}  // namespace zentrel::testing
