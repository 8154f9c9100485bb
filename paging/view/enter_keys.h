// Enter on the send-page form. No box of the form wants Enter for itself:
// Enter in any box presses the default button ("&Send Page"); a focused push
// button takes it itself. Ctrl+Enter puts a line break into a multi-line box.
// Enter in the PIN box looks nothing up: only picking an entry of the list
// does (typing a PIN, then Enter or leaving the box, selects nothing).
#pragma once

#include <QObject>

class QComboBox;
class QPushButton;
class QWidget;

namespace zentrel {

class EnterKeys : public QObject {
  Q_OBJECT

 public:
  // Lives as long as `parent`; presses `default_button` for Enter.
  EnterKeys(QPushButton* default_button, QObject* parent);

  // Watches a single-line box or a multi-line box (QPlainTextEdit).
  void Watch(QWidget* box);
  // Watches the PIN box and its text field, and cuts the text field's
  // "editing finished" off from the box's own look-up of the typed text.
  void WatchPinBox(QComboBox* combo);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* default_button_;
};

}  // namespace zentrel
