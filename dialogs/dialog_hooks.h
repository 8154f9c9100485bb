// The things every dialog and flow here does through the window system, or
// needs from outside the dialogs, and that a test must be able to stand in
// for: showing a message box, asking a yes-or-no question, running a dialog
// modally, and checking a recipient's PIN and number the way a send would.
// The defaults are the real window-system ones and no recipient check; the
// program plugs in the send path's check, tests plug in recorders.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace zentrel {

// Shows `text` in a message box over `parent` with `icon` (Warning for the
// program's own notices, Critical for a store failure).
using MessageBoxFn =
    std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon)>;

// Runs `dialog` modally and returns its result (QDialog::Accepted or Rejected).
using RunDialogFn = std::function<int(QDialog& dialog)>;

// Asks `text` with Yes and No buttons, No the default; true for Yes.
using AskFn = std::function<bool(QWidget* parent, const QString& text)>;

// What a send would refuse in a recipient: the field at fault and why, for
// the user. `field` is kNone (and `text` empty) when the recipient can be paged.
struct RecipientProblem {
  enum Field { kNone, kPin, kPhone } field = kNone;
  QString text;
};
using CheckRecipientFn = std::function<RecipientProblem(const QString& pin, const QString& phone)>;

struct DialogHooks {
  MessageBoxFn messageBox;
  RunDialogFn runDialog;
  AskFn ask;                        // empty: the real question box
  CheckRecipientFn checkRecipient;  // empty: every recipient is accepted
};

// The real message box, question box and QDialog::exec(); no recipient check.
const DialogHooks& DefaultDialogHooks();

// `hooks.ask`, or the real question box when it is empty.
bool Ask(const DialogHooks& hooks, QWidget* parent, const QString& text);

}  // namespace zentrel
