// The Stored Messages flow and its dialogs against the table in the file:
// the id list in text order, add, edit and delete saved at once and shown,
// Cancel in the message text dialog leaving everything as it was, and OK or
// Cancel of the Stored Messages dialog deciding only what the form gets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "dialogs/form_flows.h"
#include "dialogs/stored_messages_dlg.h"
#include "dialogs/transfer.h"
#include "fake_form.h"
#include "test_db.h"

namespace zentrel::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;
enum { kOk = 1, kCancel = 2, kIdList = 1001, kText = 1002, kAdd = 1003, kEdit = 1004, kDelete = 1005 };

class StoredMessages : public ::testing::Test {
 protected:
  Rows Table() const { return db.Rows("SELECT id, Message FROM stored ORDER BY id"); }

  // Runs the flow; `act` drives the Stored Messages dialog and must end it;
  // message text dialogs queued before take their turns after it opens.
  void Run(const std::function<void(CStoredMessagesDlg&)>& act) {
    form.steps.push_front([act](QDialog& d) { act(static_cast<CStoredMessagesDlg&>(d)); });
    OnStoredMessages(form);
    EXPECT_TRUE(form.steps.empty()) << "a queued dialog never ran";
  }
  // Queues the message text dialog: records what it showed, types, clicks.
  void QueueText(QString* seen, const QString& typed, int button) {
    form.steps.push_back([=](QDialog& d) {
      if (seen) *seen = TextOf(d, 1000);
      if (!typed.isNull()) SetTextOf(d, 1000, typed);
      Click(d, button);
    });
  }
  static QStringList Ids(CStoredMessagesDlg& d) {
    QStringList ids;
    for (int i = 0; i < d.m_comboId->count(); ++i) ids << d.m_comboId->itemText(i);
    return ids;
  }
  static void PressEnter(QWidget* w, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, modifiers);
    QApplication::sendEvent(w, &press);
  }
  static QString Selected(CStoredMessagesDlg& d) { return d.m_comboId->currentText(); }
  static QString Shown(CStoredMessagesDlg& d) { return d.m_editText->toPlainText(); }

  TestDb db;
  FakeForm form{db.Path()};
};

TEST_F(StoredMessages, EmptyTableOpensEmptyDeleteSaysNothingToDeleteAndAddWorks) {
  QString seen = "unset";
  QueueText(&seen, "Call home", kOk);
  Run([&](CStoredMessagesDlg& d) {
    EXPECT_TRUE(Ids(d).isEmpty());
    EXPECT_EQ(Shown(d), "");
    Click(d, kDelete);
    EXPECT_EQ(form.TakeMessages(), std::vector<QString>({"Nothing to delete!"}));
    Click(d, kAdd);
    const auto ids = db.Column("SELECT id FROM stored");
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(Ids(d), QStringList({QString::fromStdString(ids[0])}));
    EXPECT_EQ(Selected(d), QString::fromStdString(ids[0]));
    EXPECT_EQ(Shown(d), "Call home");
    Click(d, kCancel);
  });
  EXPECT_EQ(seen, "") << "an add starts with an empty box";
  EXPECT_EQ(db.Column("SELECT Message FROM stored"), std::vector<std::string>({"Call home"}));
  EXPECT_EQ(g_bAddingMessage, 0);
}

TEST_F(StoredMessages, IdsAreListedAsTextAndTheFirstIsShown) {
  db.Exec("INSERT INTO stored VALUES (2, 'two'); INSERT INTO stored VALUES (10, 'ten');"
          "INSERT INTO stored VALUES (1, 'one');");
  Run([&](CStoredMessagesDlg& d) {
    EXPECT_EQ(Ids(d), QStringList({"1", "10", "2"}));
    EXPECT_EQ(Selected(d), "1");
    EXPECT_EQ(Shown(d), "one");
    d.m_comboId->setCurrentIndex(2);
    emit d.m_comboId->activated(2);
    EXPECT_EQ(Shown(d), "two");
    Click(d, kCancel);
  });
  EXPECT_TRUE(form.TakeMessages().empty());
}

TEST_F(StoredMessages, AddAndEditAreSavedAtOnceAndShown) {
  db.Exec("INSERT INTO stored VALUES (1, 'one'); INSERT INTO stored VALUES (2, 'two');");
  QString editSeen;
  QueueText(nullptr, "It's a \"new\" one, 100%", kOk);
  QueueText(&editSeen, "two, changed", kOk);
  Run([&](CStoredMessagesDlg& d) {
    Click(d, kAdd);
    const Rows added = db.Rows("SELECT id, Message FROM stored WHERE id NOT IN (1, 2)");
    ASSERT_EQ(added.size(), 1u);
    const QString newId = QString::fromStdString(added[0][0]);
    EXPECT_EQ(added[0][1], "It's a \"new\" one, 100%");
    EXPECT_TRUE(Ids(d).contains(newId));
    EXPECT_EQ(Selected(d), newId);
    EXPECT_EQ(Shown(d), "It's a \"new\" one, 100%");

    d.m_comboId->setCurrentIndex(d.m_comboId->findText("2"));
    d.OnSelchangeId();
    Click(d, kEdit);
    EXPECT_EQ(Selected(d), "2");
    EXPECT_EQ(Shown(d), "two, changed");
    EXPECT_EQ(Ids(d).size(), 3);
    Click(d, kCancel);
  });
  EXPECT_EQ(editSeen, "two") << "an edit starts with the stored text";
  EXPECT_EQ(db.Column("SELECT Message FROM stored WHERE id <= 2 ORDER BY id"),
            std::vector<std::string>({"one", "two, changed"}));
  EXPECT_TRUE(form.TakeMessages().empty());
  EXPECT_EQ(g_bAddingMessage, 0);
}

TEST_F(StoredMessages, CancelInTheMessageTextDialogChangesNothing) {
  struct Row {
    const char* name;
    int button;
  };
  for (const Row row : {Row{"add", kAdd}, Row{"edit", kEdit}}) {
    db.Exec("DELETE FROM stored; INSERT INTO stored VALUES (1, 'one'); INSERT INTO stored VALUES (2, 'two');");
    const Rows before = Table();
    QueueText(nullptr, "not wanted", kCancel);
    Run([&](CStoredMessagesDlg& d) {
      Click(d, row.button);
      EXPECT_EQ(Ids(d), QStringList({"1", "2"})) << row.name;
      EXPECT_EQ(Selected(d), "1") << row.name;
      EXPECT_EQ(Shown(d), "one") << row.name;
      Click(d, kOk);  // the recordset's close discards the pending change
    });
    EXPECT_EQ(Table(), before) << row.name;
    EXPECT_EQ(form.message, "one") << row.name;
    EXPECT_EQ(g_bAddingMessage, 0) << row.name;
  }
}

TEST_F(StoredMessages, DeleteShowsTheTopEntryAndDeletingTheLastEmptiesTheDialog) {
  db.Exec("INSERT INTO stored VALUES (1, 'one'); INSERT INTO stored VALUES (2, 'two');"
          "INSERT INTO stored VALUES (10, 'ten');");
  Run([&](CStoredMessagesDlg& d) {
    d.m_comboId->setCurrentIndex(1);
    emit d.m_comboId->activated(1);  // "10"
    Click(d, kDelete);
    EXPECT_EQ(db.Column("SELECT id FROM stored ORDER BY id"), std::vector<std::string>({"1", "2"}));
    EXPECT_EQ(Ids(d), QStringList({"1", "2"}));
    EXPECT_EQ(Selected(d), "1");
    EXPECT_EQ(Shown(d), "one");
    Click(d, kDelete);
    Click(d, kDelete);
    EXPECT_TRUE(Ids(d).isEmpty());
    EXPECT_EQ(Selected(d), "");
    EXPECT_EQ(Shown(d), "");
    Click(d, kCancel);
  });
  EXPECT_TRUE(Table().empty());
  EXPECT_TRUE(form.TakeMessages().empty());
  Run([&](CStoredMessagesDlg& d) {  // a later open lists nothing
    EXPECT_TRUE(Ids(d).isEmpty());
    Click(d, kCancel);
  });
}

TEST_F(StoredMessages, OkHandsTheTypedTextToTheFormWithoutStoringIt) {
  db.Exec("INSERT INTO stored VALUES (1, 'one');");
  Run([&](CStoredMessagesDlg& d) {
    SetTextOf(d, kText, "one, but typed");
    d.m_editText->moveCursor(QTextCursor::End);
    PressEnter(d.m_editText, Qt::ControlModifier);  // a new line
    d.m_editText->insertPlainText("over two lines");
    PressEnter(d.m_editText, Qt::NoModifier);  // "OK"
  });
  EXPECT_EQ(form.message, "one, but typed\nover two lines");
  EXPECT_EQ(form.charCounts, 1);
  EXPECT_EQ(Table(), Rows({{"1", "one"}}));
}

TEST_F(StoredMessages, CancelKeepsAddsAndDeletesAndLeavesTheForm) {
  db.Exec("INSERT INTO stored VALUES (1, 'one'); INSERT INTO stored VALUES (2, 'two');");
  form.message = "typed on the form";
  QueueText(nullptr, "three", kOk);
  Run([&](CStoredMessagesDlg& d) {
    Click(d, kAdd);
    d.m_comboId->setCurrentIndex(0);
    d.OnSelchangeId();  // "1"
    Click(d, kDelete);
    Click(d, kCancel);
  });
  EXPECT_EQ(db.Column("SELECT Message FROM stored ORDER BY id"), std::vector<std::string>({"two", "three"}));
  EXPECT_EQ(form.message, "typed on the form");
  EXPECT_EQ(form.charCounts, 0);
}

}  // namespace
}  // namespace zentrel::test
