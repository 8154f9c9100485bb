// The three dialog templates: caption, size, each control's kind, text and
// place in dialog units; the recipient dialog's tab order and its focus on
// "OK"; and the real modal loop, driven from a zero-delay timer, Enter, Esc.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "dialogs/message_text_dlg.h"
#include "dialogs/recipient_dlg.h"
#include "dialogs/stored_messages_dlg.h"
#include "fake_form.h"
#include "test_db.h"

namespace zentrel::test {
namespace {

struct Ctl {
  int id;  // 0: a static text
  const char* kind;
  const char* text;
  QRect dlu;
};

struct Template {
  const char* caption;
  QSize dlu;
  std::vector<Ctl> controls;  // in template order
  std::function<std::unique_ptr<CTemplateDialog>(const DialogHooks&)> make;
};

const char* KindOf(QWidget* w) {
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->isDefault() ? "default" : "button";
  if (qobject_cast<QLabel*>(w)) return "static";
  if (qobject_cast<QLineEdit*>(w)) return "edit";
  if (qobject_cast<QPlainTextEdit*>(w)) return "multiline";
  if (qobject_cast<QComboBox*>(w)) return "combo";
  return "?";
}

QString TextOfWidget(QWidget* w) {
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return {};
}

std::vector<Template> Templates() {
  return {
      {"Add/Edit Names", {196, 160},
       {{1, "default", "OK", {139, 63, 50, 14}}, {2, "button", "Cancel", {139, 94, 50, 14}},
        {0, "static", "First Name:", {15, 24, 38, 10}}, {0, "static", "Last Name:", {15, 53, 38, 10}},
        {0, "static", "PIN Number:", {15, 82, 43, 10}},
        {0, "static", "Paging Terminal Number:", {15, 111, 80, 10}},
        {1000, "edit", "", {15, 34, 99, 13}}, {1001, "edit", "", {15, 63, 99, 13}},
        {1002, "edit", "", {15, 92, 46, 13}}, {1003, "edit", "", {15, 120, 80, 13}}},
       [](const DialogHooks& h) { return std::make_unique<CRecipientDlg>(nullptr, h); }},
      {"Stored Messages", {261, 142},
       {{1, "default", "OK", {57, 118, 50, 14}}, {2, "button", "Cancel", {146, 118, 50, 14}},
        {1001, "combo", "", {20, 24, 56, 62}}, {1002, "multiline", "", {84, 23, 158, 74}},
        {0, "static", "Message ID:", {21, 15, 57, 8}}, {0, "static", "Message Text:", {85, 13, 93, 10}},
        {1003, "button", "Add", {21, 48, 50, 13}}, {1004, "button", "Edit", {21, 65, 50, 13}},
        {1005, "button", "Delete", {21, 82, 50, 13}}},
       [](const DialogHooks& h) { return std::make_unique<CStoredMessagesDlg>(nullptr, h); }},
      {"Add/Edit Stored Messages", {187, 100},
       {{1, "default", "OK", {38, 71, 50, 14}}, {2, "button", "Cancel", {98, 71, 50, 14}},
        {1000, "edit", "", {20, 20, 147, 45}}, {0, "static", "Message Text:", {21, 11, 50, 9}}},
       [](const DialogHooks& h) { return std::make_unique<CMessageTextDlg>(nullptr, h); }},
  };
}

TEST(Templates, CaptionSizeControlsAndPlaces) {
  for (const Template& t : Templates()) {
    auto dialog = t.make(DefaultDialogHooks());
    const DialogUnits units = DialogUnitsOf(dialog->font());
    SCOPED_TRACE(t.caption);
    EXPECT_EQ(dialog->windowTitle(), t.caption);
    EXPECT_EQ(dialog->size(), units.ToPixels(0, 0, t.dlu.width(), t.dlu.height()).size());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);

    std::vector<QWidget*> children;
    for (QObject* o : dialog->children()) {
      if (auto* w = qobject_cast<QWidget*>(o)) children.push_back(w);
    }
    ASSERT_EQ(children.size(), t.controls.size());
    for (size_t i = 0; i < t.controls.size(); ++i) {
      const Ctl& c = t.controls[i];
      QWidget* w = children[i];
      SCOPED_TRACE(testing::Message() << "control " << i << " " << c.text);
      EXPECT_STREQ(KindOf(w), c.kind);
      EXPECT_EQ(TextOfWidget(w), c.text);
      if (c.id) {
        EXPECT_EQ(w, dialog->Control(c.id));
      }
      const QRect px = units.ToPixels(c.dlu.x(), c.dlu.y(), c.dlu.width(), c.dlu.height());
      EXPECT_EQ(w->pos(), px.topLeft());
      EXPECT_EQ(w->width(), px.width());
      if (std::string(c.kind) != "combo") {  // a combo box is as high as its font makes it
        EXPECT_EQ(w->height(), px.height());
      }
    }
  }
}

// Tab stops follow the template, and the focus starts on "OK".
TEST(Templates, RecipientDialogTabOrderAndFocus) {
  CZTSet set(nullptr, "never-opened.mdb");
  std::vector<int> order;
  QWidget* focused = nullptr;
  DialogHooks hooks{DefaultDialogHooks().messageBox, [&](QDialog& d) {
                      d.show();
                      focused = d.focusWidget();
                      if (!focused) return d.result();
                      QWidget* w = focused;
                      do {
                        if (w->parentWidget() == &d && (w->focusPolicy() & Qt::TabFocus)) {
                          order.push_back(w->objectName().mid(3).toInt());
                        }
                        w = w->nextInFocusChain();
                      } while (w != focused);
                      d.reject();
                      return d.result();
                    }};
  CRecipientDlg dialog(nullptr, hooks);
  dialog.m_pSet = &set;
  dialog.DoModal();
  EXPECT_EQ(focused, dialog.Control(1));
  EXPECT_EQ(order, std::vector<int>({1, 2, 1000, 1001, 1002, 1003}));
}

// The real modal loop: Enter takes the boxes into the members, Esc leaves them.
TEST(Templates, RecipientDialogRunsModallyWithEnterAndEsc) {
  TestDb db;
  CZTSet set(nullptr, db.Path());
  set.m_fname = "Ann";
  struct Run {
    int key;
    int result;
    const char* fname;
  };
  for (const Run run : {Run{Qt::Key_Escape, QDialog::Rejected, "Ann"}, Run{Qt::Key_Return, QDialog::Accepted, "Zoe"}}) {
    CRecipientDlg dialog(nullptr);
    dialog.m_pSet = &set;
    QString shown;
    QTimer::singleShot(0, [&] {
      auto* active = qobject_cast<CRecipientDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(active, nullptr);
      shown = static_cast<QLineEdit*>(active->Control(1000))->text();
      static_cast<QLineEdit*>(active->Control(1000))->setText("Zoe");
      QKeyEvent press(QEvent::KeyPress, run.key, Qt::NoModifier);
      QApplication::sendEvent(active, &press);
    });
    EXPECT_EQ(dialog.DoModal(), run.result) << run.fname;
    EXPECT_EQ(shown, "Ann");
    EXPECT_EQ(set.m_fname, run.fname);
  }
}

}  // namespace
}  // namespace zentrel::test
