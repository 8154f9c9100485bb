// Enter and Ctrl+Enter on the form's boxes, as an event filter on each box:
// the key never reaches the box, so a line edit emits no "return pressed"
// and a multi-line box inserts nothing but the Ctrl+Enter line break.
#include "paging/view/enter_keys.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace zentrel {

EnterKeys::EnterKeys(QPushButton* default_button, QObject* parent)
    : QObject(parent), default_button_(default_button) {}

void EnterKeys::Watch(QWidget* box) { box->installEventFilter(this); }

void EnterKeys::WatchPinBox(QComboBox* combo) {
  combo->installEventFilter(this);
  QLineEdit* field = combo->lineEdit();
  field->installEventFilter(this);
  // An editable combo box selects the entry matching the typed text when its
  // field finishes editing (Enter or focus out); the form wants a look-up
  // only when an entry is picked from the list.
  QObject::disconnect(field, SIGNAL(editingFinished()), combo, nullptr);
}

bool EnterKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
  auto* multi_line = qobject_cast<QPlainTextEdit*>(watched);
  if (multi_line && (key->modifiers() & Qt::ControlModifier)) {
    multi_line->insertPlainText(QStringLiteral("\n"));
    return true;
  }
  if (default_button_->isEnabled()) default_button_->click();
  return true;
}

}  // namespace zentrel
