// Placement of dialog-template controls in dialog units, the fixed modal
// frame without a close box, tab order by order of addition, and DoModal.
#include "dialogs/template_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace zentrel {

QRect DialogUnits::ToPixels(int x, int y, int w, int h) const {
  return QRect(x * charWidth / 4, y * charHeight / 8, w * charWidth / 4, h * charHeight / 8);
}

DialogUnits DialogUnitsOf(const QFont& font) {
  QFontMetrics metrics(font);
  return DialogUnits{metrics.averageCharWidth(), metrics.height()};
}

QString CTemplateDialog::ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }

CTemplateDialog::CTemplateDialog(QWidget* parent, const DialogHooks& hooks, const QString& caption,
                                 int width, int height)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), hooks_(hooks) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  setFont(font);
  units_ = DialogUnitsOf(font);
  setWindowTitle(caption);
  setModal(true);
  setFixedSize(units_.ToPixels(0, 0, width, height).size());
}

int CTemplateDialog::DoModal() {
  for (size_t i = 1; i < tabStops_.size(); ++i) setTabOrder(tabStops_[i - 1], tabStops_[i]);
  if (OnInitDialog() && !tabStops_.empty()) tabStops_.front()->setFocus(Qt::TabFocusReason);
  return hooks_.runDialog(*this);
}

QWidget* CTemplateDialog::Control(int id) const {
  return findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

void CTemplateDialog::Place(QWidget* widget, int id, QRect dlu) {
  widget->setParent(this);
  if (id != 0) widget->setObjectName(ControlName(id));
  widget->setGeometry(units_.ToPixels(dlu.x(), dlu.y(), dlu.width(), dlu.height()));
}

QPushButton* CTemplateDialog::AddButton(int id, const QString& text, QRect dlu, bool isDefault) {
  auto* button = AddTabStop(new QPushButton(text), id, dlu);
  button->setDefault(isDefault);
  return button;
}

QLabel* CTemplateDialog::AddStatic(const QString& text, QRect dlu) {
  auto* label = new QLabel(text);
  Place(label, 0, dlu);
  return label;
}

QLineEdit* CTemplateDialog::AddLineEdit(int id, QRect dlu) {
  auto* edit = AddTabStop(new QLineEdit, id, dlu);
  edit->setMaxLength(std::numeric_limits<int>::max());  // no length limit
  return edit;
}

void CTemplateDialog::Notice(const QString& text) {
  hooks_.messageBox(this, text, QMessageBox::Warning);
}

void CTemplateDialog::StoreFailure(const std::exception& error) {
  hooks_.messageBox(this, QString::fromStdString(error.what()), QMessageBox::Critical);
}

}  // namespace zentrel
