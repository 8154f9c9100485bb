// The two things every dialog and flow here does through the window system
// and that a test must be able to stand in for: showing a message box and
// running a dialog modally. The defaults are the real ones: an application
// message box (one OK button, the application's title as caption) and
// QDialog::exec(). Tests pass hooks that record the texts and drive dialogs.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace zentrel {

// Shows `text` in a message box over `parent` with `icon` (Warning for the
// program's own notices, Critical for a store failure).
using MessageBoxFn = std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon)>;

// Runs `dialog` modally and returns its result (QDialog::Accepted or Rejected).
using RunDialogFn = std::function<int(QDialog& dialog)>;

struct DialogHooks {
  MessageBoxFn messageBox;
  RunDialogFn runDialog;
};

// The real message box and QDialog::exec().
const DialogHooks& DefaultDialogHooks();

}  // namespace zentrel
