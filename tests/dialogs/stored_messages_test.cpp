// The Stored Messages flow and its dialogs against the table in the file:
// the id list in text order, add, edit and delete saved at once and shown,
// Cancel in the message text dialog leaving everything as it was, OK or
// Cancel of the Stored Messages dialog deciding only what the form gets, and
// store failures shown with the stop icon, leaving dialog and table sound.
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <sqlite3.h>

#include "dialogs/form_flows.h"
#include "dialogs/stored_messages_dlg.h"
#include "dialogs/transfer.h"
#include "fake_form.h"

namespace zentrel::test {
namespace {

enum { kAdd = 1003, kEdit = 1004, kDelete = 1005 };

class StoredMessages : public FlowTest {
 protected:
  void SetUp() override {
    Exec("INSERT INTO stored VALUES (1, 'one'); INSERT INTO stored VALUES (2, 'two');");
  }
  // Runs the flow; `act` drives the Stored Messages dialog and must end it;
  // message text dialogs queued before take their turns after it opens.
  void Run(const std::function<void(CStoredMessagesDlg&)>& act) {
    steps.push_front([act](CTemplateDialog& d) { act(static_cast<CStoredMessagesDlg&>(d)); });
    OnStoredMessages(*this);
    EXPECT_TRUE(steps.empty()) << "a queued dialog never ran";
  }
  void QueueText(const QString& typed, int button, QStringList* seen = nullptr) {
    Queue(1, seen, {typed}, button);
  }
  static void Choose(CStoredMessagesDlg& d, const QString& id) {
    d.m_comboId->setCurrentIndex(d.m_comboId->findText(id));
    emit d.m_comboId->activated(d.m_comboId->currentIndex());
  }
  // The ids listed, the one selected and the text shown.
  static QStringList State(CStoredMessagesDlg& d) {
    return Items(*d.m_comboId) << d.m_comboId->currentText() << d.m_editText->toPlainText();
  }
  Strings Table() const { return Rows("SELECT id, Message FROM stored ORDER BY id"); }
};

TEST_F(StoredMessages, AddEditAndDeleteAreSavedAtOnceShownInTextOrderAndCancelKeepsThem) {
  Exec("INSERT INTO stored VALUES (10, 'ten');");
  message = "typed on the form";
  QStringList seen;
  QueueText("It's a \"new\" one, 100%", kOk, &seen);
  QueueText("two, changed", kOk, &seen);
  QueueText("Call home", kOk, &seen);
  Run([&](CStoredMessagesDlg& d) {
    EXPECT_EQ(State(d), QStringList({"1", "10", "2", "1", "one"}));
    Click(d, kAdd);
    const QString id = QString::fromStdString(Rows("SELECT max(id) FROM stored").at(0));
    QStringList ids{"1", "10", "2", id};
    ids.sort();  // text order
    EXPECT_EQ(State(d), ids + QStringList({id, "It's a \"new\" one, 100%"}));
    Choose(d, "2");
    EXPECT_EQ(d.m_editText->toPlainText(), "two");
    Click(d, kEdit);
    EXPECT_EQ(State(d), ids + QStringList({"2", "two, changed"}));
    EXPECT_EQ(Table(), Strings({"1|one", "2|two, changed", "10|ten",
                                id.toStdString() + "|It's a \"new\" one, 100%"}));
    Choose(d, "10");
    Click(d, kDelete);
    ids.removeOne("10");
    EXPECT_EQ(State(d), ids + QStringList({"1", "one"})) << "a delete shows the top entry";
    for (int i = 0; i < 3; ++i) Click(d, kDelete);
    EXPECT_EQ(State(d), QStringList({"", ""}));
    EXPECT_TRUE(Table().empty());
    Click(d, kDelete);
    EXPECT_EQ(TakeMessages(), QStringList({"Nothing to delete!"}));
    Click(d, kAdd);
    const QString last = QString::fromStdString(Rows("SELECT id FROM stored").at(0));
    EXPECT_EQ(State(d), QStringList({last, last, "Call home"}));
    Click(d, kCancel);
  });
  EXPECT_EQ(seen, QStringList({"", "two", ""}))
      << "an add starts empty, an edit from the stored text";
  EXPECT_EQ(Rows("SELECT Message FROM stored"), Strings({"Call home"}));
  EXPECT_EQ(message, "typed on the form");
  EXPECT_EQ(charCounts, 0);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(g_bAddingMessage, 0);
  Exec("DELETE FROM stored");
  Run([&](CStoredMessagesDlg& d) {  // an empty table opens an empty dialog
    EXPECT_EQ(State(d), QStringList({"", ""}));
    Click(d, kCancel);
  });
}

TEST_F(StoredMessages, CancelledTextDialogsChangeNothingAndOkHandsTheTypedTextToTheForm) {
  QueueText("not wanted", kCancel);
  QueueText("not wanted", kCancel);
  Run([&](CStoredMessagesDlg& d) {
    for (const int button : {kAdd, kEdit}) {
      Click(d, button);
      EXPECT_EQ(State(d), QStringList({"1", "2", "1", "one"})) << button;
    }
    d.m_editText->setPlainText("one, but typed");
    d.m_editText->moveCursor(QTextCursor::End);
    QKeyEvent ctrlEnter(QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier);  // a new line
    QApplication::sendEvent(d.m_editText, &ctrlEnter);
    d.m_editText->insertPlainText("over two lines");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);  // "OK"
    QApplication::sendEvent(d.m_editText, &enter);
  });
  EXPECT_EQ(message, "one, but typed\nover two lines");
  EXPECT_EQ(charCounts, 1);
  EXPECT_EQ(Table(), Strings({"1|one", "2|two"}))
      << "the recordset's close discards a pending change";
  EXPECT_EQ(g_bAddingMessage, 0);
}

TEST_F(StoredMessages, RefusedOrLockedAddIsShownAndTheNextAddWorks) {
  database.SetBusyTimeout(std::chrono::milliseconds(0));
  QStringList editSeen;
  QueueText(QString(300, 'y'), kOk);  // longer than the column takes
  QueueText("two, changed", kOk, &editSeen);
  QueueText("three", kOk);  // under another connection's lock
  QueueText("three", kOk);
  Run([&](CStoredMessagesDlg& d) {
    Click(d, kAdd);
    ExpectOneStop("refused add");
    EXPECT_EQ(State(d), QStringList({"1", "2", "1", "one"}));
    EXPECT_EQ(g_bAddingMessage, 0);
    Choose(d, "2");
    Click(d, kEdit);  // starts from the stored "two", not the refused add
    EXPECT_EQ(editSeen, QStringList({"two"}));
    Choose(d, "1");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Click(d, kAdd);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    if (steps.size() == 2) steps.pop_front();  // the add failed before its dialog ran
    ExpectOneStop("add under a lock");
    EXPECT_EQ(State(d), QStringList({"1", "2", "1", "one"}));
    EXPECT_EQ(g_bAddingMessage, 0);
    Click(d, kAdd);
    EXPECT_EQ(d.m_comboId->count(), 3);
    EXPECT_EQ(d.m_editText->toPlainText(), "three");
    Click(d, kCancel);
  });
  EXPECT_EQ(Rows("SELECT Message FROM stored ORDER BY id"),
            Strings({"one", "two, changed", "three"}));
}

TEST_F(StoredMessages, MessageRemovedMeanwhileOrNoConnectionFailCleanly) {
  Run([&](CStoredMessagesDlg& d) {
    Exec("DELETE FROM stored WHERE id = 2");
    Choose(d, "2");
    EXPECT_EQ(TakeMessages(), QStringList({"Did not find message in database, try again!"}));
    EXPECT_EQ(d.m_editText->toPlainText(), "one");
    Click(d, kEdit);  // no message text dialog queued: it must not run
    ExpectOneStop("edit after a failed find");
    Click(d, kDelete);
    ExpectOneStop("delete after a failed find");
    EXPECT_EQ(d.m_comboId->count(), 2);
    Click(d, kCancel);
  });
  EXPECT_EQ(Table(), Strings({"1|one"}));
  database.Close();
  message = "kept";
  OnStoredMessages(*this);  // no step queued: the dialog must not run
  ExpectOneStop("stored messages without a connection");
  EXPECT_EQ(message, "kept");
}

}  // namespace
}  // namespace zentrel::test
