// What the recipient dialog refuses and asks before it saves, what Delete
// Recipient does, and that a stored message's Delete asks first. The send
// path's check is stood in for by one that refuses the text "bad" in the PIN
// or number box (the program's real check is tested in tests/app); the
// questions are answered from the fixture's queue.
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>

#include "dialogs/form_flows.h"
#include "dialogs/recipient_dlg.h"
#include "dialogs/stored_messages_dlg.h"
#include "fake_form.h"

namespace zentrel::test {
namespace {

struct Refusal {
  const char* name;
  void (*flow)(FormHost&);
  QStringList typed;  // first name, last name, PIN, phone
  std::deque<bool> answers;
  QString message;  // the message box shown on OK, or "" for none
  int questions;    // questions asked
  int focused;      // the box holding the focus after OK, 0 when the dialog ended
  Strings table;
};

const Strings kBefore = {"200|Ann|Bell|5551000", "1000|Carl|Dunn|5552000"};
const QString kNull;

const Refusal kRefusals[] = {
    {"PinTheSendWouldRefuse",
     OnAddRecipient,
     {"Eve", "Ford", "bad", "5553000"},
     {},
     "pin: bad",
     0,
     1002,
     kBefore},
    {"NumberTheSendWouldRefuse",
     OnEditRecipient,
     {kNull, kNull, kNull, "bad"},
     {},
     "phone: bad",
     0,
     1003,
     kBefore},
    {"SharedPinNotAgreedTo",
     OnAddRecipient,
     {"Gus", "Hale", "200", "5554000"},
     {false},
     "",
     1,
     1002,
     kBefore},
    {"EditToAnotherRecipientsPinNotAgreedTo",
     OnEditRecipient,
     {kNull, kNull, "200"},
     {false},
     "",
     1,
     1002,
     kBefore},
    {"SharedPinAgreedTo",
     OnAddRecipient,
     {"Gus", "Hale", "200", "5554000"},
     {true},
     "",
     1,
     0,
     {"200|Ann|Bell|5551000", "1000|Carl|Dunn|5552000", "200|Gus|Hale|5554000"}},
    {"EditKeepingItsOwnPinAsksNothing",
     OnEditRecipient,
     {"Carla"},
     {},
     "",
     0,
     0,
     {"200|Ann|Bell|5551000", "1000|Carla|Dunn|5552000"}},
};

class RecipientRefusals : public FlowTest, public ::testing::WithParamInterface<Refusal> {};

// OK is pressed once; a dialog still open afterwards is cancelled.
TEST_P(RecipientRefusals, OkSavesOnlyWhatMayBePaged) {
  const Refusal& r = GetParam();
  Exec(
      "INSERT INTO VPdata VALUES (1, '200', 'Ann', 'Bell', '5551000');"
      "INSERT INTO VPdata VALUES (2, '1000', 'Carl', 'Dunn', '5552000');");
  hooks.checkRecipient = [](const QString& pin, const QString& phone) -> RecipientProblem {
    if (pin == "bad") return {RecipientProblem::kPin, "pin: bad"};
    if (phone == "bad") return {RecipientProblem::kPhone, "phone: bad"};
    return {};
  };
  answers = r.answers;
  Start();
  int focused = 0;
  steps.push_back([&](CTemplateDialog& d) {
    for (int i = 0; i < r.typed.size(); ++i) {
      if (!r.typed[i].isNull()) Box(d, 1000 + i)->setText(r.typed[i]);
    }
    Click(d, kOk);
    if (!d.isVisible()) return;
    focused = d.focusWidget() ? d.focusWidget()->objectName().mid(3).toInt() : -1;
    Click(d, kCancel);
  });
  r.flow(*this);
  EXPECT_EQ(TakeMessages(), r.message.isEmpty() ? QStringList() : QStringList{r.message});
  EXPECT_EQ(asked.size(), r.questions);
  EXPECT_EQ(focused, r.focused);
  EXPECT_EQ(Rows("SELECT pin, fname, lname, pagephone FROM VPdata ORDER BY id"), r.table);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecipientRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

using DeleteRecipient = FlowTest;

// No keeps the recipient; Yes deletes the one shown and shows the top of the
// list; deleting the last one empties the form's boxes.
TEST_F(DeleteRecipient, AsksThenDeletesTheShownRecipient) {
  Exec(
      "INSERT INTO VPdata VALUES (1, '200', 'Ann', 'Bell', '5551000');"
      "INSERT INTO VPdata VALUES (2, '1000', 'Carl', 'Dunn', '5552000');");
  Start();
  answers = {false, true, true};
  OnDeleteRecipient(*this);
  EXPECT_EQ(asked,
            QStringList({"Delete the recipient Carl Dunn (PIN 1000)? This cannot be undone."}));
  EXPECT_EQ(Rows("SELECT count(*) FROM VPdata"), Strings({"2"}));
  OnDeleteRecipient(*this);
  EXPECT_EQ(Rows("SELECT pin FROM VPdata"), Strings({"200"}));
  EXPECT_EQ(Items(*pins), QStringList({"200"}));
  EXPECT_EQ(fname + " " + lname + " " + phone, "Ann Bell 5551000");
  OnDeleteRecipient(*this);
  EXPECT_TRUE(Rows("SELECT pin FROM VPdata").empty());
  EXPECT_EQ(pins->count(), 0);
  EXPECT_EQ(fname + lname + phone, "");
  OnDeleteRecipient(*this);  // nothing shown: nothing asked, a notice
  EXPECT_EQ(asked.size(), 3);
  EXPECT_EQ(TakeMessages(), QStringList({"No recipient is shown; nothing was deleted."}));
}

TEST_F(DeleteRecipient, StoredMessageDeleteAsksFirst) {
  Exec("INSERT INTO stored VALUES (1, 'one');");
  answers = {false};
  steps.push_back([](CTemplateDialog& d) {
    Click(d, CStoredMessagesDlg::IDC_DELETE);
    Click(d, kCancel);
  });
  OnStoredMessages(*this);
  EXPECT_EQ(asked, QStringList({"Delete the stored message 1? This cannot be undone."}));
  EXPECT_EQ(Rows("SELECT Message FROM stored"), Strings({"one"}));
}

}  // namespace
}  // namespace zentrel::test
