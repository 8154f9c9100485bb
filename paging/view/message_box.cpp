// The application's standard message box over QMessageBox.
#include "paging/view/message_box.h"

namespace zentrel {

void ShowAppMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

MessageBoxFn AppMessageBox() { return &ShowAppMessageBox; }

}  // namespace zentrel
