// The form and its dialogs as a person first meets them: no label or button
// text cut by its box (the text's width measured in the font the control
// draws with, against the box), the focus in the PIN list when the window
// opens; and the recipient check the program hands the recipient dialog.
#include <QLabel>

#include "app/recipient_check.h"
#include "dialogs/message_text_dlg.h"
#include "dialogs/recipient_dlg.h"
#include "dialogs/transfer.h"
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

// "Label text: needs N px, has M" for every cut text among `window`'s children.
QStringList CutTexts(const QWidget& window) {
  QStringList cut;
  for (const QWidget* w : window.findChildren<QWidget*>()) {
    QString text;
    int room = 0;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
      text = label->text();
      room = label->contentsRect().width();
    } else if (const auto* button = qobject_cast<const QPushButton*>(w)) {
      text = QString(button->text()).remove('&');
      room = button->width() - 4;  // the button's frame
    } else {
      continue;
    }
    const int needs = w->fontMetrics().horizontalAdvance(text);
    if (needs > room)
      cut << QStringLiteral("%1: needs %2 px, has %3").arg(text).arg(needs).arg(room);
  }
  return cut;
}

TEST(FormFit, NoLabelOrButtonTextIsCut) {
  TestFolder folder;
  folder.MakeDatabase({{"2047", "Maria", "Lindqvist", "5551234"}});
  CZTApp::Options options;
  options.show = false;
  CZTApp app(options);
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(CutTexts(*app.View()), QStringList()) << "the form";
  DialogHooks hooks = DefaultDialogHooks();
  QStringList cut;
  hooks.runDialog = [&cut](QDialog& dialog) {
    for (const QString& text : CutTexts(dialog)) cut << dialog.windowTitle() + ": " + text;
    return int(QDialog::Rejected);
  };
  CZTSet set(nullptr, "vp.mdb");
  CRecipientDlg recipient(nullptr, hooks);
  recipient.m_pSet = &set;
  recipient.DoModal();
  CMessageTextDlg text(nullptr, hooks);
  g_bAddingMessage = 1;  // the Add of a stored message: an empty text box
  text.DoModal();
  g_bAddingMessage = 0;
  EXPECT_EQ(cut, QStringList());
}

TEST(FormFit, TheWindowOpensWithTheFocusInThePinList) {
  TestFolder folder;
  folder.MakeDatabase({{"2047", "Maria", "Lindqvist", "5551234"}});
  CZTApp::Options options;
  CZTApp app(options);
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.View()->window()->focusWidget(), app.View()->m_comboPin);
}

TEST(RecipientCheck, RefusesWhatTheSendWouldRefuseNamingTheBox) {
  using F = RecipientProblem::Field;
  const struct {
    QString pin, phone;
    F field;
    QString text;
  } rows[] = {
      {"2047", "5551234", F::kNone, ""},
      {"", "5551234", F::kPin, "The PIN Number is empty; a page needs the pager's PIN."},
      {"20 47", "5551234", F::kPin,
       "The PIN Number holds a space at position 3; a PIN holds only plain characters and no "
       "space."},
      {"20\t47", "5551234", F::kPin,
       "The PIN Number holds the control character <0x09> at position 3; a PIN holds only plain "
       "characters and no space."},
      {"12345678", "5551234", F::kPin,
       "The PIN Number has more than 7 characters; a page would reach PIN \"1234567\" instead."},
      {"20ü", "5551234", F::kPin,
       "The PIN Number holds \"ü\" at position 3; a PIN holds only plain characters and no space."},
      {"2047", "", F::kPhone, "The Paging Terminal Number is empty; there is nothing to dial."},
      {"2047", "555;ATH", F::kPhone,
       "The Paging Terminal Number cannot be dialled: the number holds a ';' at position 4; "
       "nothing "
       "was dialled."},
      {"2047", "555\r1", F::kPhone,
       "The Paging Terminal Number holds the control character <CR> at position 4; it cannot be "
       "dialled."},
      {"2047", QString(32, '5'), F::kPhone,
       "The Paging Terminal Number has more than 31 characters; no line can dial it."},
      {"2047", "555\u00e9", F::kPhone,
       "The Paging Terminal Number holds \"\u00e9\" at position 4; it cannot be dialled."},
      {"20\u009b", "5551234", F::kPin,
       "The PIN Number holds the control character <0x9B> at position 3; a PIN holds only plain "
       "characters and no space."},
      {"1234567 ", "5551234", F::kPin,  // the space is named, not the length
       "The PIN Number holds a space at position 8; a PIN holds only plain characters and no "
       "space."},
      {"", "", F::kPin, "The PIN Number is empty; a page needs the pager's PIN."},
  };
  for (const auto& row : rows) {
    const RecipientProblem problem = CheckRecipient(row.pin, row.phone);
    EXPECT_EQ(problem.field, row.field)
        << row.pin.toStdString() << " / " << row.phone.toStdString();
    EXPECT_EQ(problem.text, row.text) << row.pin.toStdString() << " / " << row.phone.toStdString();
  }
}

}  // namespace
}  // namespace zentrel::testing
