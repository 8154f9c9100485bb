// The whole program's road of one page from the form: "Send Page" dials the
// emulated modem on a pseudo-terminal, the paging terminal behind it takes
// the page, the status box ends with "Message Sent!", and the page log holds
// the page with the terminal's answer. Skipped when the emulator was not built.
#include <QProcess>

#include "journal/page_log.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

TEST(FormEndToEnd, SendPageReachesTheTerminalAndShowsEachStep) {
  const QString modemsim = QStringLiteral(ZENTREL_MODEMSIM);
  if (modemsim.isEmpty() || !QFile::exists(modemsim)) GTEST_SKIP() << "no emulator built";
  TestFolder folder;
  folder.MakeDatabase({{"1234567", "Carl", "Dunn", "5559876"}});
  const QString dir = QString::fromStdString(folder.Path());
  QFile lines(dir + "/lines.conf");
  ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
  lines.write(("modem " + dir + "/modem ATZ\n").toUtf8());
  lines.close();
  const QByteArray previous = qgetenv("ZENTREL_LINES");
  qputenv("ZENTREL_LINES", (dir + "/lines.conf").toUtf8());
  const QByteArray previous_log = qgetenv("ZENTREL_PAGE_LOG");
  qputenv("ZENTREL_PAGE_LOG", (dir + "/pages.db").toUtf8());

  QProcess modem;
  modem.start(modemsim, {"--link", dir + "/modem", "--scenario", "accept", "--once",
                         "--connect-delay-ms", "50", "--idle-timeout-ms", "1500"});
  ASSERT_TRUE(WaitUntil([&] { return modem.canReadLine(); }, 10000))
      << "the emulator did not start";
  ASSERT_TRUE(modem.readLine().startsWith("ready "));

  std::vector<ShownBox> boxes;
  CZTApp::Options options;
  options.show = false;
  options.timer_interval_ms = 1000;  // longer than the 250 ms silence that ends a read
  options.message_box = RecordInto(boxes);
  {
    CZTApp app(options);
    ASSERT_TRUE(app.InitInstance());
    CZTView* view = app.View();
    view->m_editMessage->setPlainText("HELLO\nWORLD");
    QStringList statuses;
    QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view, [&] {
      const QString text = view->m_editStatus->toPlainText();
      if (!text.isEmpty() && (statuses.isEmpty() || statuses.back() != text)) statuses << text;
    });
    view->m_buttonSend->click();
    EXPECT_TRUE(WaitUntil([&] { return statuses.contains("Message Sent!"); }, 25000))
        << statuses.join(" | ").toStdString();
    EXPECT_EQ(statuses.value(0).toStdString(), "Preparing to send message...")  // "" if none
        << statuses.join(" | ").toStdString();
    EXPECT_TRUE(statuses.contains("Sending Message...")) << statuses.join(" | ").toStdString();
    EXPECT_EQ(g_bPageAccepted.load(), 1);
    for (const ShownBox& box : boxes) ADD_FAILURE() << box.text.toStdString();
  }
  modem.terminate();
  modem.waitForFinished(10000);
  if (previous.isNull())
    qunsetenv("ZENTREL_LINES");
  else
    qputenv("ZENTREL_LINES", previous);
  if (previous_log.isNull())
    qunsetenv("ZENTREL_PAGE_LOG");
  else
    qputenv("ZENTREL_PAGE_LOG", previous_log);

  // The page is in the page log, as the form sent it and as the terminal answered.
  const auto records = PageLog((dir + "/pages.db").toStdString()).List({});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].attempt.program, "zentrel");
  EXPECT_EQ(records[0].attempt.pin, "1234567");
  EXPECT_EQ(records[0].attempt.line, "5559876");
  EXPECT_EQ(records[0].attempt.message, "HELLO WORLD");  // the line break as it went
  EXPECT_EQ(records[0].outcome, PageOutcome::kAccepted);
  EXPECT_EQ(records[0].terminal, "211 Page accepted");
}

}  // namespace
}  // namespace zentrel::testing
