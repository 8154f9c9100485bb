// The real message box, question box and modal loop behind DialogHooks: a
// QMessageBox with the application's display name as caption and one OK
// button (or Yes and No, No the default), and exec().
#include "dialogs/dialog_hooks.h"

#include <QApplication>
#include <QDialog>

namespace zentrel {

namespace {

void ShowApplicationMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool AskApplicationQuestion(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

int ExecDialog(QDialog& dialog) { return dialog.exec(); }

}  // namespace

const DialogHooks& DefaultDialogHooks() {
  static const DialogHooks hooks{ShowApplicationMessage, ExecDialog, AskApplicationQuestion, {}};
  return hooks;
}

bool Ask(const DialogHooks& hooks, QWidget* parent, const QString& text) {
  return hooks.ask ? hooks.ask(parent, text) : AskApplicationQuestion(parent, text);
}

}  // namespace zentrel
