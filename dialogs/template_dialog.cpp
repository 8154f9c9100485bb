// Placement of dialog-template controls in dialog units, the fixed modal
// frame without a close box, tab order by order of addition, the unit grown
// to fit the texts, and DoModal.
#include "dialogs/template_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace zentrel {

QRect DialogUnits::ToPixels(int x, int y, int w, int h) const {
  return QRect(x * charWidth / 4, y * charHeight / 8, w * charWidth / 4, h * charHeight / 8);
}

// The average of the 52 Latin letters, rounded as the window system does.
DialogUnits DialogUnitsOf(const QFont& font) {
  QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits{(letters / 26 + 1) / 2, metrics.height()};
}

int CharWidthToFit(int text_px, int margin_px, int dlu_width) {
  if (dlu_width <= 0) return 0;
  return ((text_px + margin_px) * 4 + dlu_width - 1) / dlu_width;  // rounded up
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
  sizeDu_ = QSize(width, height);
  setFixedSize(units_.ToPixels(0, 0, width, height).size());
}

// Typing starts in the first box, never on a button that a space would press.
int CTemplateDialog::DoModal() {
  FitTexts();
  for (size_t i = 1; i < tabStops_.size(); ++i) setTabOrder(tabStops_[i - 1], tabStops_[i]);
  if (OnInitDialog() && !tabStops_.empty()) {
    auto box = std::find_if(tabStops_.begin(), tabStops_.end(),
                            [](QWidget* w) { return qobject_cast<QPushButton*>(w) == nullptr; });
    (box != tabStops_.end() ? *box : tabStops_.front())->setFocus(Qt::TabFocusReason);
  }
  return hooks_.runDialog(*this);
}

void CTemplateDialog::FitTexts() {
  const QFontMetrics metrics(font());
  int needed = units_.charWidth;
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    const int du = child->property("dluWidth").toInt();
    if (const auto* label = qobject_cast<QLabel*>(child)) {
      needed = std::max(needed, CharWidthToFit(metrics.horizontalAdvance(label->text()), 0, du));
    } else if (const auto* button = qobject_cast<QPushButton*>(child)) {
      const QString text = QString(button->text()).remove(QLatin1Char('&'));
      needed = std::max(needed,
                        CharWidthToFit(metrics.horizontalAdvance(text), 2 * units_.charWidth, du));
    }
  }
  if (needed == units_.charWidth) return;
  units_.charWidth = needed;
  PlaceAll();
}

// Only the widths change (the unit's height stays): a control keeps its top
// and its height, which a combo box has set to its own.
void CTemplateDialog::PlaceAll() {
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    const QVariant dlu = child->property("dlu");
    if (dlu.isValid()) {
      const QRect r = units_.ToPixels(dlu.toRect().x(), 0, dlu.toRect().width(), 0);
      child->setGeometry(r.x(), child->y(), r.width(), child->height());
    }
  }
  setFixedSize(units_.ToPixels(0, 0, sizeDu_.width(), sizeDu_.height()).size());
}

QWidget* CTemplateDialog::Control(int id) const {
  return findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

void CTemplateDialog::Place(QWidget* widget, int id, QRect dlu) {
  widget->setParent(this);
  if (id != 0) widget->setObjectName(ControlName(id));
  widget->setProperty("dlu", dlu);
  widget->setProperty("dluWidth", dlu.width());
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
