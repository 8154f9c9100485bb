// The real message box and modal loop behind DialogHooks: a QMessageBox with
// one OK button and the application's display name as caption, and exec().
#include "dialogs/dialog_hooks.h"

#include <QApplication>
#include <QDialog>

namespace zentrel {

namespace {

void ShowApplicationMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

int ExecDialog(QDialog& dialog) { return dialog.exec(); }

}  // namespace

const DialogHooks& DefaultDialogHooks() {
  static const DialogHooks hooks{ShowApplicationMessage, ExecDialog};
  return hooks;
}

}  // namespace zentrel
