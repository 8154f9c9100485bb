// The application's standard message box over QMessageBox: the program's
// title as caption, one OK button, the icon given. Modal: it returns when
// the user has closed it.
#include "paging/view/message_box.h"

namespace zentrel {

void ShowAppMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

MessageBoxFn AppMessageBox() { return &ShowAppMessageBox; }

}  // namespace zentrel
