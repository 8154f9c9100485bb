// The Add and Edit recipient flows against the table in the file, one
// scenario a row: Cancel saves nothing, Edit always starts from the stored
// values, a duplicate PIN gets its own list entry, an Edit that changes the
// PIN moves the entry with it, a refused save is shown and undone. Also the
// dialog's real modal loop: focus in the first box, its tab order, Enter and Esc.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "dialogs/form_flows.h"
#include "dialogs/recipient_dlg.h"
#include "fake_form.h"

namespace zentrel::test {
namespace {

struct Step {
  void (*flow)(FormHost&);
  QStringList typed;  // first name, last name, PIN, phone; a null string leaves a box alone
  int button;
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  QStringList seen;   // what the dialogs showed, four boxes per run
  Strings table;      // pin|fname|lname|pagephone of each record by id
  QStringList pins;   // the list afterwards
  int selected;       // its selected entry
  std::string shown;  // first name, last name and phone afterwards
  size_t stops;       // store failures shown
};

const QStringList kEmpty = {"", "", "", ""};
const QStringList kCarl = {"Carl", "Dunn", "1000", "5552000"};
const QString kNull;

const Scenario kScenarios[] = {
    {"CancelSavesNothingAndEditStartsFromTheStoredValues",
     {{OnAddRecipient, {"Eve", "Ford", "300", "5553000"}, kCancel},
      {OnEditRecipient, {"Typed", "Over", "999", "0"}, kCancel},
      {OnEditRecipient, {kNull, "Dunn-Eck", kNull, "5559999"}, kOk}},
     kEmpty + kCarl + kCarl,
     {"200|Ann|Bell|5551000", "1000|Carl|Dunn-Eck|5559999"},
     {"1000", "200"},
     0,
     "Carl Dunn-Eck 5559999",
     0},
    {"AddSavesSelectsAndShowsTheNewRecipient",
     {{OnAddRecipient, {"Eve", "Ford", "150", "5553000"}, kOk}},
     kEmpty,
     {"200|Ann|Bell|5551000", "1000|Carl|Dunn|5552000", "150|Eve|Ford|5553000"},
     {"1000", "150", "200"},
     1,
     "Eve Ford 5553000",
     0},
    {"DuplicatePinGetsItsOwnEntryAndTheLookUpFindsTheFirstRecord",
     {{OnAddRecipient, {"Gus", "Hale", "200", "5554000"}, kOk}},
     kEmpty,
     {"200|Ann|Bell|5551000", "1000|Carl|Dunn|5552000", "200|Gus|Hale|5554000"},
     {"1000", "200", "200"},
     1,
     "Ann Bell 5551000",
     0},
    {"EditThatChangesThePinMovesTheListEntryAndStaysEditable",
     {{OnEditRecipient, {kNull, kNull, "300", kNull}, kOk}, {OnEditRecipient, {"Carla"}, kOk}},
     kCarl + QStringList{"Carl", "Dunn", "300", "5552000"},
     {"200|Ann|Bell|5551000", "300|Carla|Dunn|5552000"},
     {"200", "300"},
     1,
     "Carla Dunn 5552000",
     0},
    {"RefusedAddIsShownAndTakenBackAndEditStillWorks",
     {{OnAddRecipient, {QString(300, 'x'), kNull, "100"}, kOk},
      {OnEditRecipient, {kNull, "Dunn-Eck"}, kOk}},
     kEmpty + kCarl,
     {"200|Ann|Bell|5551000", "1000|Carl|Dunn-Eck|5552000"},
     {"1000", "200"},
     0,
     "Carl Dunn-Eck 5552000",
     1},
};

class RecipientFlows : public FlowTest, public ::testing::WithParamInterface<Scenario> {};

// Two recipients, "1000" shown first (sorted first as text); the steps run
// in turn, then the file, the list, the boxes and the message boxes are checked.
TEST_P(RecipientFlows, Run) {
  const Scenario& s = GetParam();
  Exec(
      "INSERT INTO VPdata VALUES (1, '200', 'Ann', 'Bell', '5551000');"
      "INSERT INTO VPdata VALUES (2, '1000', 'Carl', 'Dunn', '5552000');");
  Start();
  QStringList seen;
  for (const Step& step : s.steps) {
    Queue(4, &seen, step.typed, step.button);
    step.flow(*this);
  }
  EXPECT_EQ(seen, s.seen);
  EXPECT_EQ(Rows("SELECT pin, fname, lname, pagephone FROM VPdata ORDER BY id"), s.table);
  EXPECT_EQ(Items(*pins), s.pins);
  EXPECT_EQ(pins->currentIndex(), s.selected);
  EXPECT_EQ(fname + " " + lname + " " + phone, s.shown);
  EXPECT_EQ(shown.size(), s.stops) << "no message box but the store failures";
  for (const auto& [text, icon] : shown)
    EXPECT_EQ(icon, QMessageBox::Critical) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, RecipientFlows, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

using NoRecipient = FlowTest;

TEST_F(NoRecipient, EditShowsTheStoreFailureAndNoDialog) {
  Start();  // an empty table: the look-up finds nothing
  EXPECT_EQ(TakeMessages(), QStringList({"Did not find Pin number in database, try again!"}));
  OnEditRecipient(*this);  // no step queued: the dialog must not run
  ExpectOneStop("edit with no current record");
  EXPECT_TRUE(Rows("SELECT * FROM VPdata").empty());
}

// The real modal loop: focus in the first box (so typing never presses a
// button), tab stops in template order; Enter
// takes the boxes into the members, Esc leaves them.
TEST(RecipientDialog, RunsModallyWithFocusInTheFirstBoxAndEnterAndEsc) {
  CZTSet set(nullptr, "never-opened.mdb");
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
        const bool tabStop = w->parentWidget() == active && (w->focusPolicy() & Qt::TabFocus);
        if (tabStop) order.push_back(w->objectName().mid(3).toInt());
      }
      shown = Box(*active, 1000)->text();
      Box(*active, 1000)->setText("Zoe");
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(active, &press);
    });
    EXPECT_EQ(dialog.DoModal(), result) << fname;
    EXPECT_EQ(order, std::vector<int>({1000, 1001, 1002, 1003, 1, 2}))
        << "focus first in First Name, then tab order";
    EXPECT_EQ(shown, "Ann");
    EXPECT_EQ(set.m_fname, fname);
  }
}

}  // namespace
}  // namespace zentrel::test
