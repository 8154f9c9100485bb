// Enter on the send-page form, with real key presses on a shown form: Enter
// in any box presses Send Page and changes nothing in the box; Ctrl+Enter
// puts a line break into the message and status boxes; typing a PIN looks
// nothing up, with Enter or when leaving the box; a focused button takes
// Enter itself.
#include "tests/app/form_fixture.h"

namespace zentrel::testing {
namespace {

class FormKeys : public FormTest {
 protected:
  void SetUp() override {
    Open({{"2", "Ann", "Bell", "5551234"}, {"10", "Carl", "Dunn", "5559876"}});
    view->SetStartSend([this](const char*) { return ++sends; });
    view->show();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  }
  // Focuses `box` and presses `key` on whatever took the focus.
  void Press(QWidget* box, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    box->setFocus();
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }
  // The PIN, first name, last name and phone boxes.
  std::string Boxes() const { return Shown().join(" ").toStdString(); }
  int sends = 0;
};

QString TextOf(QWidget* box) {
  if (auto* line = qobject_cast<QLineEdit*>(box)) return line->text();
  if (auto* multi = qobject_cast<QPlainTextEdit*>(box)) return multi->toPlainText();
  return qobject_cast<QComboBox*>(box)->currentText();
}

TEST_F(FormKeys, EnterInEveryBoxPressesSendPageAndCtrlEnterBreaksMultiLineBoxes) {
  const struct {
    const char* name;
    QWidget* box;
    bool multi_line;
  } boxes[] = {
      {"message", view->m_editMessage, true},     {"status", view->m_editStatus, true},
      {"phone", view->m_editPhone, false},        {"first name", view->m_editFirstName, false},
      {"last name", view->m_editLastName, false}, {"character count", view->m_editCharCount, false},
      {"PIN", view->m_comboPin, false},
  };
  const struct {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  } keys[] = {{"Enter", Qt::Key_Return, Qt::NoModifier},
              {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
              {"Shift+Enter", Qt::Key_Return, Qt::ShiftModifier},
              {"Ctrl+Enter", Qt::Key_Return, Qt::ControlModifier}};
  view->m_editMessage->setPlainText("AB");
  view->m_editStatus->setPlainText("Ready");
  for (const auto& row : boxes) {
    for (const auto& key : keys) {
      const std::string where = std::string(row.name) + ", " + key.name;
      const bool breaks_line = row.multi_line && (key.modifiers & Qt::ControlModifier);
      const QString before = TextOf(row.box);
      const int sends_before = sends;
      if (auto* multi = qobject_cast<QPlainTextEdit*>(row.box)) multi->moveCursor(QTextCursor::End);
      Press(row.box, key.key, key.modifiers);
      EXPECT_EQ(sends - sends_before, breaks_line ? 0 : 1) << where;
      EXPECT_EQ(TextOf(row.box), breaks_line ? before + "\n" : before) << where;
    }
  }
  // The message goes to the terminal with the Ctrl+Enter break as a space:
  // a CR would end the field.
  EXPECT_EQ(view->MessageBoxText(), "AB ");
  EXPECT_EQ(view->m_editCharCount->text(), "2");
}

TEST_F(FormKeys, TypingAPinLooksNothingUpWithEnterOrWhenLeavingTheBox) {
  ASSERT_EQ(Boxes(), "10 Carl Dunn 5559876");
  for (Qt::Key leave : {Qt::Key_Return, Qt::Key_Tab}) {
    view->m_comboPin->setFocus();
    view->m_comboPin->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "2");  // the whole PIN of another entry
    QTest::keyClick(QApplication::focusWidget(), leave);
    EXPECT_EQ(Boxes(), "2 Carl Dunn 5559876") << leave;
    EXPECT_EQ(view->PinBoxText(), "2") << leave;
  }
  EXPECT_EQ(sends, 1);  // the Enter; the Tab only moved on
  EXPECT_TRUE(boxes.empty());
  // Picking the entry from the list still looks it up.
  Choose("2");
  EXPECT_EQ(Boxes(), "2 Ann Bell 5551234");
}

TEST_F(FormKeys, AFocusedButtonTakesEnterItself) {
  view->m_editMessage->setPlainText("AB");
  Press(view->m_buttonClear, Qt::Key_Return);
  EXPECT_EQ(view->m_editMessage->toPlainText(), "");
  EXPECT_EQ(sends, 0);
  Press(view->m_buttonSend, Qt::Key_Return);
  EXPECT_EQ(sends, 1);
}

}  // namespace
}  // namespace zentrel::testing
