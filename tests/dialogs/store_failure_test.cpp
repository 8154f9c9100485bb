// Store failures inside the flows and dialogs: each is shown with the stop
// icon and the engine's message, ends the handler, and leaves the form, the
// dialog and the table consistent, with the next action working as usual.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QComboBox>
#include <QPlainTextEdit>

#include "dialogs/form_flows.h"
#include "dialogs/stored_messages_dlg.h"
#include "dialogs/transfer.h"
#include "fake_form.h"
#include "test_db.h"

namespace zentrel::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;
enum { kOk = 1, kCancel = 2, kAdd = 1003, kEdit = 1004, kDelete = 1005 };

class StoreFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec("INSERT INTO VPdata VALUES (1, '200', 'Ann', 'Bell', '5551000');"
            "INSERT INTO stored VALUES (1, 'one'); INSERT INTO stored VALUES (2, 'two');");
    form.Start();
  }
  // The single stop message shown since the last call.
  void ExpectOneStop(const char* when) {
    ASSERT_EQ(form.shown.size(), 1u) << when;
    EXPECT_EQ(form.shown[0].icon, QMessageBox::Critical) << when;
    EXPECT_FALSE(form.shown[0].text.isEmpty()) << when;
    form.shown.clear();
  }
  void QueueText(const QString& typed, int button) {
    form.steps.push_back([=](QDialog& d) {
      SetTextOf(d, 1000, typed);
      Click(d, button);
    });
  }
  void Run(const std::function<void(CStoredMessagesDlg&)>& act) {
    form.steps.push_front([act](QDialog& d) { act(static_cast<CStoredMessagesDlg&>(d)); });
    OnStoredMessages(form);
    EXPECT_TRUE(form.steps.empty()) << "a queued dialog never ran";
  }

  TestDb db;
  FakeForm form{db.Path()};
};

TEST_F(StoreFailures, RefusedRecipientOnAddTakesTheListEntryBackAndEditStillWorks) {
  form.steps.push_back([](QDialog& d) {
    SetTextOf(d, 1000, QString(300, 'x'));
    SetTextOf(d, 1002, "100");
    Click(d, kOk);
  });
  OnAddRecipient(form);
  ExpectOneStop("refused add");
  EXPECT_EQ(db.Column("SELECT pin FROM VPdata"), std::vector<std::string>({"200"}));
  EXPECT_EQ(form.PinEntries(), QStringList({"200"}));
  EXPECT_EQ(form.SelectedPin(), "200");

  QStringList seen;
  form.steps.push_back([&](QDialog& d) {
    seen << TextOf(d, 1000) << TextOf(d, 1002);
    SetTextOf(d, 1001, "Bell-Cole");
    Click(d, kOk);
  });
  OnEditRecipient(form);
  EXPECT_EQ(seen, QStringList({"Ann", "200"}));
  EXPECT_EQ(db.Rows("SELECT pin, lname FROM VPdata"), Rows({{"200", "Bell-Cole"}}));
  EXPECT_TRUE(form.shown.empty());
}

TEST_F(StoreFailures, EditWithNoCurrentRecipientShowsNoDialog) {
  db.Exec("DELETE FROM VPdata");
  form.OnSelchangePin();
  EXPECT_EQ(form.TakeMessages(), std::vector<QString>({"Did not find Pin number in database, try again!"}));
  OnEditRecipient(form);  // no step queued: the dialog must not run
  ExpectOneStop("edit with no current record");
  EXPECT_TRUE(db.Rows("SELECT * FROM VPdata").empty());
}

TEST_F(StoreFailures, RefusedMessageTextSavesNothingAndTheDialogGoesOn) {
  QueueText(QString(300, 'y'), kOk);
  QueueText("two, changed", kOk);
  Run([&](CStoredMessagesDlg& d) {
    Click(d, kAdd);
    ExpectOneStop("refused add");
    EXPECT_EQ(g_bAddingMessage, 0);
    EXPECT_EQ(d.m_comboId->count(), 2);
    EXPECT_EQ(d.m_editText->toPlainText(), "one");
    d.m_comboId->setCurrentIndex(1);
    d.OnSelchangeId();
    Click(d, kEdit);  // starts from the stored "two", not the refused add
    EXPECT_EQ(d.m_editText->toPlainText(), "two, changed");
    Click(d, kCancel);
  });
  EXPECT_EQ(db.Rows("SELECT id, Message FROM stored ORDER BY id"), Rows({{"1", "one"}, {"2", "two, changed"}}));
}

TEST_F(StoreFailures, MessageRemovedMeanwhileIsReportedAndEditAndDeleteFailCleanly) {
  Run([&](CStoredMessagesDlg& d) {
    db.Exec("DELETE FROM stored WHERE id = 2");
    d.m_comboId->setCurrentIndex(1);
    emit d.m_comboId->activated(1);
    EXPECT_EQ(form.TakeMessages(), std::vector<QString>({"Did not find message in database, try again!"}));
    EXPECT_EQ(d.m_editText->toPlainText(), "one");
    Click(d, kEdit);  // no message text dialog queued: it must not run
    ExpectOneStop("edit after a failed find");
    Click(d, kDelete);
    ExpectOneStop("delete after a failed find");
    EXPECT_EQ(d.m_comboId->count(), 2);
    Click(d, kCancel);
  });
  EXPECT_EQ(db.Column("SELECT Message FROM stored"), std::vector<std::string>({"one"}));
}

TEST_F(StoreFailures, UnopenedConnectionShowsNoStoredMessagesDialog) {
  form.database.Close();
  form.message = "kept";
  OnStoredMessages(form);  // no step queued: the dialog must not run
  ExpectOneStop("stored messages without a connection");
  EXPECT_EQ(form.message, "kept");
}

TEST_F(StoreFailures, LockedFileFailsTheAddAndARetryAfterTheLockWorks) {
  form.database.SetBusyTimeout(std::chrono::milliseconds(0));
  QueueText("three", kOk);
  QueueText("three", kOk);
  Run([&](CStoredMessagesDlg& d) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.Path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Click(d, kAdd);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    if (form.steps.size() == 2) form.steps.pop_front();  // the add failed before its dialog ran
    ExpectOneStop("add under a lock");
    EXPECT_EQ(d.m_comboId->count(), 2);
    EXPECT_EQ(g_bAddingMessage, 0);
    Click(d, kAdd);
    EXPECT_EQ(d.m_comboId->count(), 3);
    EXPECT_EQ(d.m_editText->toPlainText(), "three");
    Click(d, kCancel);
  });
  EXPECT_EQ(db.Column("SELECT Message FROM stored ORDER BY id"), std::vector<std::string>({"one", "two", "three"}));
}

}  // namespace
}  // namespace zentrel::test
