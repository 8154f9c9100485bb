// The application shell: start-up and its failures, the frame's place,
// caption and menu, the edit keys reaching the focused box, printing, help,
// the About box, and the form's buttons plugged into the real editing
// dialogs and the real telephony.
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

#include "app/main_frame.h"
#include "app/zt_doc.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

class ShellTest : public ::testing::Test {
 protected:
  CZTApp::Options Options() {
    CZTApp::Options options;
    options.message_box = RecordInto(boxes);
    options.help_file = QString::fromStdString(folder.Path() + "/no-such-help.html");
    options.run_dialog = [this](QDialog& dialog) {
      dialogs << dialog.windowTitle();
      return int(QDialog::Rejected);
    };
    return options;
  }
  void Start(bool make_db = true) {
    if (make_db)
      folder.MakeDatabase({{"2", "Ann", "Bell", "5551234"}, {"10", "Carl", "Dunn", "5559876"}});
    app = std::make_unique<CZTApp>(Options());
    ASSERT_TRUE(app->InitInstance());
  }
  QStringList Texts() const {
    QStringList texts;
    for (const ShownBox& box : boxes) texts << box.text;
    return texts;
  }

  TestFolder folder;
  std::vector<ShownBox> boxes;
  QStringList dialogs;
  std::unique_ptr<CZTApp> app;
};

TEST_F(ShellTest, OneFrameAt100By50Sized610By515WithTheFormCaptionAndMenu) {
  Start();
  CMainFrame* frame = app->MainFrame();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->pos(), QPoint(100, 50));
  EXPECT_EQ(frame->size(), QSize(610, 515));
  EXPECT_EQ(frame->windowTitle(), "Zentrel");
  EXPECT_EQ(frame->centralWidget(), app->View());
  EXPECT_EQ(frame->findChild<QStatusBar*>(), nullptr);
  EXPECT_EQ(frame->findChild<QToolBar*>(), nullptr);
  EXPECT_EQ(app->View()->m_pSet, &app->Document()->m_ztSet);
  QStringList menu;
  for (QAction* popup : frame->menuBar()->actions()) {
    for (QAction* item : popup->menu()->actions()) {
      menu << popup->text() + " / " + (item->isSeparator() ? "-" : item->text());
    }
  }
  EXPECT_EQ(menu, (QStringList{"&File / &Delete Recipient...", "&File / -", "&File / E&xit",
                               "&Help / &Help Topics", "&Help / &About Zentrel"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellTest, EditKeysReachTheFocusedBoxF6MovesTheFocusAndCtrlPPrints) {
  Start();
  QApplication::setActiveWindow(app->MainFrame());
  ASSERT_TRUE(QTest::qWaitForWindowActive(app->MainFrame()));
  QLineEdit* phone = app->View()->m_editPhone;
  phone->setFocus();
  phone->selectAll();
  QTest::keyClick(phone, Qt::Key_Insert, Qt::ControlModifier);  // copy
  EXPECT_EQ(QApplication::clipboard()->text(), "5559876");
  QTest::keyClick(phone, Qt::Key_Delete, Qt::ShiftModifier);  // cut
  EXPECT_EQ(phone->text(), "");
  QTest::keyClick(phone, Qt::Key_Backspace, Qt::AltModifier);  // undo
  EXPECT_EQ(phone->text(), "5559876");
  phone->clear();
  QTest::keyClick(phone, Qt::Key_Insert, Qt::ShiftModifier);  // paste
  EXPECT_EQ(phone->text(), "5559876");
  QTest::keyClick(phone, Qt::Key_F6);
  EXPECT_EQ(QApplication::focusWidget(), app->View()->m_buttonSend);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), phone);

  const QString pdf = QString::fromStdString(folder.Path() + "/form.pdf");
  int asked = 0;
  app->MainFrame()->SetPrintDialog([&](QPrinter& printer, QWidget*) {
    ++asked;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  });
  QTest::keyClick(phone, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(asked, 1);
  EXPECT_GT(QFileInfo(pdf).size(), 0);
}

TEST_F(ShellTest, ASocketFailureEndsStartUpBeforeAnyWindow) {
  CZTApp::Options options = Options();
  options.init_sockets = [] { return false; };
  CZTApp failing(options);
  EXPECT_FALSE(failing.InitInstance());
  EXPECT_EQ(failing.MainFrame(), nullptr);
  EXPECT_EQ(Texts(), QStringList{"Windows sockets initialization failed."});
}

TEST_F(ShellTest, AMissingDatabaseIsShownWithTheStopIconAndTheFormGoesOn) {
  Start(/*make_db=*/false);
  EXPECT_TRUE(app->MainFrame()->isVisible());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes[0].text.contains("vp.mdb")) << boxes[0].text.toStdString();
  EXPECT_EQ(app->View()->m_comboPin->count(), 0);
  app->View()->m_editMessage->setPlainText("AB");
  app->View()->m_buttonClear->click();
  EXPECT_EQ(app->View()->m_editCharCount->text(), "0");
}

TEST_F(ShellTest, AMissingHelpFileIsReportedAndAboutShowsIconNameVersionAndOk) {
  Start();
  app->MainFrame()->m_actHelpTopics->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.contains("no-such-help.html")) << boxes[0].text.toStdString();
  QStringList shown;
  bool has_icon = false;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    ASSERT_NE(about, nullptr);
    shown << about->windowTitle();
    for (QLabel* label : about->findChildren<QLabel*>()) {
      has_icon = has_icon || !label->pixmap().isNull();
      if (!label->text().isEmpty()) shown << label->text();
    }
    for (QPushButton* button : about->findChildren<QPushButton*>()) shown << button->text();
    about->close();
  });
  app->MainFrame()->m_actAbout->trigger();
  EXPECT_EQ(shown, (QStringList{"About Zentrel", "Zentrel", "Version 1.0 ", "OK"}));
  EXPECT_TRUE(has_icon);
}

// The guide is there but nothing shows it: an opener that fails (no viewer)
// or cannot start is reported, naming the file.
TEST_F(ShellTest, AHelpFileNothingCanShowIsReported) {
  Start();
  const QString guide = QString::fromStdString(folder.Path() + "/guide.html");
  QFile(guide).open(QIODevice::WriteOnly);
  app->View()->SetHelpFile(guide);
  for (const char* opener : {"false", "/no/such/opener"}) {
    boxes.clear();
    app->View()->SetHelpOpener(opener);
    app->MainFrame()->m_actHelpTopics->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); })) << opener;
    EXPECT_EQ(
        Texts(),
        QStringList{
            "The help file " + guide +
            " could not be opened: no program to show it was found. Open it in a web browser."})
        << opener;
  }
}

TEST_F(ShellTest, EachButtonRunsItsDialog) {
  Start();
  app->View()->m_buttonAdd->click();
  app->View()->m_buttonEdit->click();
  app->View()->m_buttonStored->click();
  EXPECT_EQ(dialogs, (QStringList{"Add/Edit Names", "Add/Edit Names", "Stored Messages"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellTest, ASendWithNoTelephonyDeviceFailsTheDial) {
  const QString lines = QString::fromStdString(folder.Path() + "/lines.conf");
  QFile(lines).open(QIODevice::WriteOnly);  // no devices
  folder.SetEnv("ZENTREL_LINES", lines);
  Start();
  TraceCapture trace;
  app->View()->m_buttonSend->click();
  EXPECT_TRUE(trace.Contains("Dial call failed.\n"));
  EXPECT_TRUE(Texts().contains("There are no telephony devices installed."))
      << Texts().join(" | ").toStdString();
  EXPECT_NE(app->View()->Tapi(), nullptr);
}

}  // namespace
}  // namespace zentrel::testing
