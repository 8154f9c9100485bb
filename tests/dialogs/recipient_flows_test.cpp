// The Add and Edit recipient flows against the table in the file: Cancel
// saves nothing, Edit always starts from the stored values, a duplicate PIN
// gets its own list entry, an Edit that changes the PIN moves the entry with
// it, and a refused save is shown and undone. Also the dialog's real modal
// loop: focus on "OK", its tab order, Enter and Esc.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "dialogs/form_flows.h"
#include "dialogs/recipient_dlg.h"
#include "fake_form.h"

namespace zentrel::test {
namespace {

class RecipientFlows : public FlowTest {
 protected:
  void SetUp() override {
    db.Exec("INSERT INTO VPdata VALUES (1, '200', 'Ann', 'Bell', '5551000');"
            "INSERT INTO VPdata VALUES (2, '1000', 'Carl', 'Dunn', '5552000');");
    form.Start();  // shows "1000" (sorted first as text)
  }
  // The recipient dialog: boxes first name, last name, PIN, phone.
  void Queue(QStringList* seen, const QStringList& typed, int button) { FlowTest::Queue(4, seen, typed, button); }
  Strings Table() const { return db.Rows("SELECT id, pin, fname, lname, pagephone FROM VPdata ORDER BY id"); }
};

TEST_F(RecipientFlows, CancelSavesNothingAndEditStartsFromTheStoredValues) {
  const Strings before = Table();
  QStringList addSeen, editSeen;
  Queue(&addSeen, {"Eve", "Ford", "300", "5553000"}, kCancel);
  OnAddRecipient(form);
  EXPECT_EQ(addSeen, QStringList({"", "", "", ""}));
  EXPECT_EQ(Items(*form.pins), QStringList({"1000", "200"}));
  EXPECT_EQ(form.SelectedPin(), "1000");
  Queue(nullptr, {"Typed", "Over", "999", "0"}, kCancel);
  OnEditRecipient(form);
  EXPECT_EQ(Table(), before);
  EXPECT_EQ(form.fname, "Carl");

  Queue(&editSeen, {QString(), "Dunn-Eck", QString(), "5559999"}, kOk);
  OnEditRecipient(form);
  EXPECT_EQ(editSeen, QStringList({"Carl", "Dunn", "1000", "5552000"}));
  EXPECT_EQ(Table(), Strings({"1|200|Ann|Bell|5551000", "2|1000|Carl|Dunn-Eck|5559999"}));
  EXPECT_EQ(form.lname + " " + form.phone, "Dunn-Eck 5559999");
  EXPECT_TRUE(form.TakeMessages().empty());
}

TEST_F(RecipientFlows, AddSavesSelectsAndLooksUpAndADuplicatePinGetsItsOwnEntry) {
  Queue(nullptr, {"Eve", "Ford", "150", "5553000"}, kOk);
  OnAddRecipient(form);
  EXPECT_EQ(Items(*form.pins), QStringList({"1000", "150", "200"}));
  EXPECT_EQ(form.SelectedPin(), "150");
  EXPECT_EQ(form.fname + " " + form.lname + " " + form.phone, "Eve Ford 5553000");

  Queue(nullptr, {"Gus", "Hale", "200", "5554000"}, kOk);
  OnAddRecipient(form);
  EXPECT_EQ(Items(*form.pins), QStringList({"1000", "150", "200", "200"}));
  EXPECT_EQ(form.pins->currentIndex(), 2);
  EXPECT_EQ(form.fname, "Ann") << "the look-up finds the first record of a PIN";
  EXPECT_EQ(db.Rows("SELECT pin, fname, lname, pagephone FROM VPdata WHERE id > 2 ORDER BY id"),
            Strings({"150|Eve|Ford|5553000", "200|Gus|Hale|5554000"}));
  EXPECT_TRUE(form.TakeMessages().empty());
}

TEST_F(RecipientFlows, EditThatChangesThePinMovesTheListEntryAndShowsTheRecipient) {
  Queue(nullptr, {QString(), QString(), "300", QString()}, kOk);
  OnEditRecipient(form);
  EXPECT_EQ(db.Rows("SELECT id, pin FROM VPdata ORDER BY id"), Strings({"1|200", "2|300"}));
  EXPECT_EQ(Items(*form.pins), QStringList({"200", "300"}));
  EXPECT_EQ(form.SelectedPin(), "300");
  EXPECT_EQ(form.fname + " " + form.phone, "Carl 5552000");
  EXPECT_TRUE(form.TakeMessages().empty()) << "the look-up must find the changed PIN";

  Queue(nullptr, {"Carla"}, kOk);  // still editable under its new PIN
  OnEditRecipient(form);
  EXPECT_EQ(db.Rows("SELECT fname FROM VPdata WHERE pin = '300'"), Strings({"Carla"}));
}

TEST_F(RecipientFlows, RefusedAddIsTakenBackEditStillWorksAndEditWithNoRecipientShowsNoDialog) {
  const Strings before = Table();
  Queue(nullptr, {QString(300, 'x'), QString(), "100"}, kOk);
  OnAddRecipient(form);
  ExpectOneStop("refused add");
  EXPECT_EQ(Table(), before);
  EXPECT_EQ(Items(*form.pins), QStringList({"1000", "200"}));
  EXPECT_EQ(form.SelectedPin(), "1000");

  QStringList seen;
  Queue(&seen, {QString(), "Dunn-Eck"}, kOk);
  OnEditRecipient(form);
  EXPECT_EQ(seen, QStringList({"Carl", "Dunn", "1000", "5552000"}));
  EXPECT_EQ(db.Rows("SELECT lname FROM VPdata WHERE id = 2"), Strings({"Dunn-Eck"}));
  EXPECT_TRUE(form.shown.empty());

  db.Exec("DELETE FROM VPdata");  // then no current recipient
  form.OnSelchangePin();
  EXPECT_EQ(form.TakeMessages(), QStringList({"Did not find Pin number in database, try again!"}));
  OnEditRecipient(form);  // no step queued: the dialog must not run
  ExpectOneStop("edit with no current record");
  EXPECT_TRUE(db.Rows("SELECT * FROM VPdata").empty());
}

// The real modal loop: focus on "OK", tab stops in template order; Enter
// takes the boxes into the members, Esc leaves them.
TEST(RecipientDialog, RunsModallyWithFocusOnOkAndEnterAndEsc) {
  TestDb db;
  CZTSet set(nullptr, db.Path());
  set.m_fname = "Ann";
  for (const auto& [key, result, fname] : {std::tuple{Qt::Key_Escape, QDialog::Rejected, "Ann"},
                                           std::tuple{Qt::Key_Return, QDialog::Accepted, "Zoe"}}) {
    CRecipientDlg dialog(nullptr);
    dialog.m_pSet = &set;
    QString shown;
    std::vector<int> order;
    QTimer::singleShot(0, [&, key = key] {
      auto* active = qobject_cast<CRecipientDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(active, nullptr);
      QWidget* w = active->focusWidget();
      for (int i = 0; w && i < 50 && order.size() < 6; ++i, w = w->nextInFocusChain()) {
        if (w->parentWidget() == active && (w->focusPolicy() & Qt::TabFocus)) order.push_back(w->objectName().mid(3).toInt());
      }
      shown = Box(*active, 1000)->text();
      Box(*active, 1000)->setText("Zoe");
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(active, &press);
    });
    EXPECT_EQ(dialog.DoModal(), result) << fname;
    EXPECT_EQ(order, std::vector<int>({1, 2, 1000, 1001, 1002, 1003})) << "focus first on OK, then tab order";
    EXPECT_EQ(shown, "Ann");
    EXPECT_EQ(set.m_fname, fname);
  }
}

}  // namespace
}  // namespace zentrel::test
