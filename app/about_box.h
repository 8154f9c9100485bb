// The About box: the program's icon, its name "Zentrel", the line
// "Version 1.0 " and an OK button, under the caption "About Zentrel".
// Modal, with no handlers of its own; the frame's Help menu opens it.
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
