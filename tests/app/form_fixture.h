// What the form and shell tests stand on: a fresh temporary folder made the
// current directory (the program opens "vp.mdb" there, its page log and the
// port and line locks are kept there) with a vp.mdb written
// through SQLite's C API; message boxes recorded instead of shown; a wait
// that runs the event loop until a condition holds (its limit only guards
// against a hang, nothing is timed); and a send-page form over the folder.
#pragma once

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/zt_app.h"
#include "paging/view/zt_view.h"
#include "seriallink/trace.h"

namespace zentrel::testing {

struct Recipient {
  std::string pin, fname, lname, pagephone;
};

struct ShownBox {
  QString text;
  QMessageBox::Icon icon;
};

class TestFolder {
 public:
  // The folder is the current directory and holds the page log
  // (ZENTREL_PAGE_LOG) and the port and line locks (ZENTREL_PORT_LOCK_DIR,
  // ZENTREL_LOCK_DIR), so no lock a killed program left in the system's
  // folder is seen; all come back as they were when the folder goes.
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  // Sets an environment variable until the folder goes.
  void SetEnv(const char* name, const QString& value);
  // Writes vp.mdb with the two tables and `recipients`, in this order.
  void MakeDatabase(const std::vector<Recipient>& recipients);
  // Runs SQL on vp.mdb (to change it behind the program's back).
  void Exec(const std::string& sql);
  std::string Path() const { return dir_.path().toStdString(); }

 private:
  QTemporaryDir dir_;
  std::string previous_;
  std::vector<std::pair<QByteArray, QByteArray>> saved_env_;  // name, value before (null: unset)
};

MessageBoxFn RecordInto(std::vector<ShownBox>& boxes);
bool WaitUntil(const std::function<bool()>& condition, int limit_ms = 10000);

class FormTest : public ::testing::Test {
 protected:
  // Makes vp.mdb with `rows` and runs the first showing.
  void Open(const std::vector<Recipient>& rows) {
    folder.MakeDatabase(rows);
    set = std::make_unique<CZTSet>();
    view = std::make_unique<CZTView>(set.get(), nullptr, 5);
    view->SetMessageBox(RecordInto(boxes));
    view->Guarded([this] { view->OnInitialUpdate(); });
  }
  // What the user does when picking entry `pin` from the list.
  void Choose(const QString& pin) {
    const int index = view->m_comboPin->findText(pin, Qt::MatchExactly);
    ASSERT_GE(index, 0) << pin.toStdString();
    view->m_comboPin->setCurrentIndex(index);
    emit view->m_comboPin->activated(index);
  }
  QStringList Pins() const {
    QStringList pins;
    for (int i = 0; i < view->m_comboPin->count(); ++i) pins << view->m_comboPin->itemText(i);
    return pins;
  }
  QStringList Shown() const {
    return {view->m_comboPin->currentText(), view->m_editFirstName->text(),
            view->m_editLastName->text(), view->m_editPhone->text()};
  }

  TestFolder folder;
  std::unique_ptr<CZTSet> set;
  std::unique_ptr<CZTView> view;
  std::vector<ShownBox> boxes;
};

}  // namespace zentrel::testing
