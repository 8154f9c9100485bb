// The About box, laid out in dialog units like the form: the program's icon
// at the left, the name and the version line beside it, OK at the right.
// The icon comes from this library's resources, registered on first use.
#include "app/about_box.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "paging/view/form_layout.h"

// The icon lives in this static library's resources, which must be
// registered by hand (outside any namespace).
static void InitAppResources() { Q_INIT_RESOURCE(zentrel); }

namespace zentrel {

QIcon ProgramIcon() {
  InitAppResources();
  return QIcon(QStringLiteral(":/zentrel/zentrel.png"));
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Zentrel"));
  setFont(FormFont());
  const DialogBaseUnits base = BaseUnitsOf(font());
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  icon->setGeometry(DialogToPixels(QRect(11, 10, 20, 20), base));
  auto* name = new QLabel(QStringLiteral("Zentrel"), this);
  name->setGeometry(DialogToPixels(QRect(40, 10, 119, 8), base));
  auto* version = new QLabel(QStringLiteral("Version 1.0 "), this);
  version->setGeometry(DialogToPixels(QRect(40, 25, 119, 8), base));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  ok->setGeometry(DialogToPixels(QRect(178, 7, 50, 14), base));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  setFixedSize(DialogToPixels(QRect(0, 0, 235, 55), base).size());
}

}  // namespace zentrel
