// The application shell: start-up and its failure, the frame's place, caption
// and menu, the accelerators reaching the focused box, printing, help and
// the About box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/about_box.h"
#include "app/main_frame.h"
#include "app/zt_app.h"
#include "app/zt_doc.h"
#include "paging/view/zt_view.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

class ShellTest : public ::testing::Test {
 protected:
  CZTApp::Options Options() {
    CZTApp::Options options;
    options.timer_interval_ms = 5;
    options.message_box = [this](QWidget*, const QString& text, QMessageBox::Icon icon) {
      boxes.push_back({text, icon});
    };
    options.help_file = QString::fromStdString(folder.Path() + "/no-such-help.html");
    return options;
  }
  void Start() {
    folder.MakeDatabase({{"2", "Ann", "Bell", "5551234"}, {"10", "Carl", "Dunn", "5559876"}});
    app = std::make_unique<CZTApp>(Options());
    ASSERT_TRUE(app->InitInstance());
  }
  void Activate() {
    QApplication::setActiveWindow(app->MainFrame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->MainFrame()));
  }

  TestFolder folder;
  std::vector<ShownBox> boxes;
  std::unique_ptr<CZTApp> app;
};

TEST_F(ShellTest, OneFrameAt100By50Sized610By515WithTheFormAndCaption) {
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
  EXPECT_EQ(app->View()->m_editFirstName->text(), "Carl");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ShellTest, MenuHasFileExitAndHelpTopicsAndAbout) {
  Start();
  QStringList menu;
  for (QAction* popup : app->MainFrame()->menuBar()->actions()) {
    for (QAction* item : popup->menu()->actions()) {
      menu << popup->text() + " / " + (item->isSeparator() ? "-" : item->text());
    }
  }
  EXPECT_EQ(menu, (QStringList{"&File / -", "&File / E&xit", "&Help / &Help Topics",
                               "&Help / &About Zentrel"}));
}

TEST_F(ShellTest, AcceleratorsHaveTheirKeys) {
  Start();
  CMainFrame* f = app->MainFrame();
  const struct {
    QAction* action;
    QString keys;
  } rows[] = {
      {f->m_actPrint, "Ctrl+P"},
      {f->m_actUndo, "Ctrl+Z, Alt+Backspace"},
      {f->m_actCut, "Ctrl+X, Shift+Del"},
      {f->m_actCopy, "Ctrl+C, Ctrl+Ins"},
      {f->m_actPaste, "Ctrl+V, Shift+Ins"},
      {f->m_actNextPane, "F6"},
      {f->m_actPrevPane, "Shift+F6"},
  };
  for (const auto& row : rows) {
    QStringList keys;
    for (const QKeySequence& key : row.action->shortcuts()) keys << key.toString();
    EXPECT_EQ(keys.join(", "), row.keys);
  }
}

TEST_F(ShellTest, EditKeysReachTheFocusedBoxAndF6MovesTheFocus) {
  Start();
  Activate();
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
}

TEST_F(ShellTest, CtrlPPrintsTheFormThroughThePrintDialog) {
  Start();
  Activate();
  const QString pdf = QString::fromStdString(folder.Path() + "/form.pdf");
  int asked = 0;
  app->MainFrame()->SetPrintDialog([&](QPrinter& printer, QWidget*) {
    ++asked;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  });
  QTest::keyClick(app->View()->m_editPhone, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(asked, 1);
  EXPECT_GT(QFileInfo(pdf).size(), 0);
}

TEST_F(ShellTest, AMissingHelpFileIsReported) {
  Start();
  app->MainFrame()->m_actHelpTopics->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.contains("no-such-help.html")) << boxes[0].text.toStdString();
}

TEST_F(ShellTest, ASocketFailureEndsStartUpBeforeAnyWindow) {
  CZTApp::Options options = Options();
  options.init_sockets = [] { return false; };
  CZTApp failing(options);
  EXPECT_FALSE(failing.InitInstance());
  EXPECT_EQ(failing.MainFrame(), nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Windows sockets initialization failed.");
}

TEST_F(ShellTest, AMissingDatabaseStillShowsTheFrame) {
  app = std::make_unique<CZTApp>(Options());
  ASSERT_TRUE(app->InitInstance());
  EXPECT_TRUE(app->MainFrame()->isVisible());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

TEST_F(ShellTest, AboutBoxShowsIconNameVersionAndOk) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About Zentrel");
  QStringList texts;
  bool has_icon = false;
  for (QLabel* label : about.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull()) has_icon = true;
    if (!label->text().isEmpty()) texts << label->text();
  }
  EXPECT_TRUE(has_icon);
  EXPECT_EQ(texts, (QStringList{"Zentrel", "Version 1.0 "}));
  auto buttons = about.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons[0]->text(), "OK");
}

TEST_F(ShellTest, AboutMenuOpensTheAboutBox) {
  Start();
  QString shown;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      shown = modal->windowTitle();
      modal->close();
    }
  });
  app->MainFrame()->m_actAbout->trigger();
  EXPECT_EQ(shown, "About Zentrel");
}

}  // namespace
}  // namespace zentrel::testing
