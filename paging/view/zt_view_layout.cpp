// Builds the send-page form's controls in template order (which is also the
// tab order of those that take the focus), each at its place in dialog units
// turned into pixels; once all are there, the unit widens if a label's or
// button's text would be cut, and every control is placed again. Group boxes
// sit behind the other controls and let mouse clicks through, as a frame
// around controls should.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "paging/view/form_layout.h"
#include "paging/view/zt_view.h"

namespace zentrel {
namespace {

QLineEdit* NewLineEdit() { return new QLineEdit; }

QPlainTextEdit* NewMultiLineEdit() {
  auto* edit = new QPlainTextEdit;
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->setTabChangesFocus(true);
  return edit;
}

QLabel* NewStatic(const char* text) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QGroupBox* NewGroup(const char* text) {
  auto* group = new QGroupBox(QString::fromLatin1(text));
  group->setAttribute(Qt::WA_TransparentForMouseEvents);
  group->setFocusPolicy(Qt::NoFocus);
  // The title sits on the frame's top line, the frame fills the rectangle.
  group->setStyleSheet(
      QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
                     "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
  return group;
}

}  // namespace

void CZTView::BuildControls() {
  setFont(FormFont());
  DialogBaseUnits base = BaseUnitsOf(font());
  QWidget* previous_tab = nullptr;
  int template_index = 0;
  auto place = [&](QWidget* w, int id, int x, int y, int cx, int cy, bool tab) {
    w->setParent(this);
    w->setObjectName(id ? QStringLiteral("ctl%1").arg(id) : QString());
    w->setProperty("controlId", id);
    w->setProperty("templateIndex", template_index++);
    w->setProperty("dlu", QRect(x, y, cx, cy));
    w->setGeometry(DialogToPixels(QRect(x, y, cx, cy), base));
    if (tab) {
      w->setFocusPolicy(Qt::StrongFocus);
      if (previous_tab) setTabOrder(previous_tab, w);
      previous_tab = w;
    }
    return w;
  };
  m_editPhone = NewLineEdit();
  place(m_editPhone, 1003, 20, 59, 98, 14, true);
  m_buttonSend = new QPushButton(QStringLiteral("&Send Page"));
  m_buttonSend->setDefault(true);
  place(m_buttonSend, 1005, 121, 201, 50, 14, true);
  place(NewStatic("Phone Number:"), 0, 21, 49, 54, 10, false);
  m_editStatus = NewMultiLineEdit();
  place(m_editStatus, 1006, 22, 172, 180, 18, true);
  place(NewStatic("Status:"), 0, 22, 162, 22, 10, false);
  m_comboPin = new CPinCombo;
  place(m_comboPin, 1007, 21, 30, 69, 68, true);
  m_comboPin->resize(m_comboPin->width(), m_comboPin->sizeHint().height());  // the list drops down
  place(NewStatic("PIN #:"), 0, 21, 20, 23, 10, false);
  m_editMessage = NewMultiLineEdit();
  place(m_editMessage, 1008, 22, 105, 180, 47, true);
  place(NewStatic("Message:"), 0, 23, 96, 35, 9, false);
  m_editFirstName = NewLineEdit();
  place(m_editFirstName, 1009, 94, 30, 79, 12, true);
  m_editLastName = NewLineEdit();
  place(m_editLastName, 1010, 175, 30, 90, 12, true);
  place(NewStatic("First Name:"), 0, 95, 20, 59, 10, false);
  place(NewStatic("Last Name:"), 0, 176, 20, 59, 10, false);
  m_buttonAdd = new QPushButton(QStringLiteral("Add"));
  place(m_buttonAdd, 1012, 208, 65, 51, 13, true);
  place(NewGroup("Recipient Information"), 0, 10, 3, 266, 80, false)->lower();
  place(NewGroup("Page Information"), 0, 10, 86, 266, 110, false)->lower();
  place(NewStatic("Character Count:"), 0, 129, 154, 50, 8, false);
  m_editCharCount = NewLineEdit();
  place(m_editCharCount, 1013, 179, 152, 23, 12, true);
  m_buttonClear = new QPushButton(QStringLiteral("Clear Message"));
  place(m_buttonClear, 1014, 206, 107, 61, 16, true);
  m_buttonStored = new QPushButton(QStringLiteral("Stored Messages"));
  place(m_buttonStored, 1015, 206, 129, 61, 16, true);
  m_buttonEdit = new QPushButton(QStringLiteral("Edit"));
  place(m_buttonEdit, 1016, 208, 47, 51, 13, true);
  place(NewStatic("Beta   Beta    Beta"), 0, 32, 202, 59, 11, false);
  FitTexts(base);
}

// Only widths change; a control keeps its top and height (the PIN box's is
// its own).
void CZTView::FitTexts(DialogBaseUnits base) {
  int width = base.width;
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    const int du = w->property("dlu").toRect().width();
    if (const auto* label = qobject_cast<QLabel*>(w))
      width = WidthToFit(font(), label->text(), 0, du, width);
    if (const auto* button = qobject_cast<QPushButton*>(w)) {
      width = WidthToFit(font(), button->text(), 2 * base.width, du, width);
    }
  }
  base.width = width;
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    const QVariant dlu = w->property("dlu");
    if (!dlu.isValid()) continue;
    const QRect r = DialogToPixels(dlu.toRect(), base);
    w->setGeometry(r.x(), w->y(), r.width(), w->height());
  }
  setMinimumSize(DialogToPixels(QRect(0, 0, kFormWidthDu, kFormHeightDu), base).size());
}

}  // namespace zentrel
