// The About box: the program's icon, its name and version, and an OK button.
// Modal, with no handlers of its own.
#pragma once

#include <QDialog>

namespace zentrel {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// The program's icon (resource 128).
QIcon ProgramIcon();

}  // namespace zentrel
