// The form's road of one page over a line with no modem: "Send Page" opens a
// TCP connection to the emulated terminal, the page is taken, and the call
// ends on the terminal's goodbye, as after a hang-up, with "Message Sent!"
// left in the status box. Skipped when the emulator was not built.
#include <QProcess>

#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

TEST(FormEndToEnd, SendPageOverTcpEndsOnTheTerminalsGoodbye) {
  const QString modemsim = QStringLiteral(ZENTREL_MODEMSIM);
  if (modemsim.isEmpty() || !QFile::exists(modemsim)) GTEST_SKIP() << "no emulator built";
  TestFolder folder;
  folder.MakeDatabase({{"1234567", "Carl", "Dunn", "5559876"}});
  const QString dir = QString::fromStdString(folder.Path());

  QProcess terminal;
  terminal.start(modemsim, {"--listen", "127.0.0.1:0", "--scenario", "accept", "--once",
                            "--idle-timeout-ms", "1500"});
  ASSERT_TRUE(WaitUntil([&] { return terminal.canReadLine(); }, 30000))
      << "the emulator did not start";
  const QString ready = QString::fromUtf8(terminal.readLine()).trimmed();
  ASSERT_TRUE(ready.startsWith("ready 127.0.0.1:")) << ready.toStdString();
  QFile lines(dir + "/lines.conf");
  ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
  lines.write(("tcp " + ready.mid(6) + "\n").toUtf8());
  lines.close();
  const QByteArray previous = qgetenv("ZENTREL_LINES");
  qputenv("ZENTREL_LINES", (dir + "/lines.conf").toUtf8());

  std::vector<ShownBox> boxes;
  CZTApp::Options options;
  options.show = false;
  options.timer_interval_ms = 1000;  // longer than the 250 ms silence that ends a read
  options.message_box = RecordInto(boxes);
  {
    CZTApp app(options);
    ASSERT_TRUE(app.InitInstance());
    CZTView* view = app.View();
    view->m_editMessage->setPlainText("HELLO");
    QStringList statuses;
    QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view, [&] {
      const QString text = view->m_editStatus->toPlainText();
      if (!text.isEmpty() && (statuses.isEmpty() || statuses.back() != text)) statuses << text;
    });
    view->m_buttonSend->click();
    EXPECT_TRUE(WaitUntil([&] { return statuses.contains("Message Sent!"); }, 60000))
        << statuses.join(" | ").toStdString();
    // The line's end: the emulator sees the connection closed and exits.
    EXPECT_TRUE(WaitUntil([&] { return terminal.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(statuses.back(), "Message Sent!");
    EXPECT_EQ(g_bPageAccepted.load(), 1);
    for (const ShownBox& box : boxes) ADD_FAILURE() << box.text.toStdString();
  }
  terminal.terminate();
  terminal.waitForFinished(10000);
  if (previous.isNull())
    qunsetenv("ZENTREL_LINES");
  else
    qputenv("ZENTREL_LINES", previous);
}

}  // namespace
}  // namespace zentrel::testing
