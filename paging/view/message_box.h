// The application's standard message box: caption "Zentrel", one OK button
// and an icon. Views and dialogs hold it as a function so that tests can
// record what would have been shown instead of showing a modal box.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace zentrel {

inline constexpr const char* kAppTitle = "Zentrel";

using MessageBoxFn =
    std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon)>;

// Shows the box modally (the real one).
void ShowAppMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon);

// The real one as a MessageBoxFn.
MessageBoxFn AppMessageBox();

}  // namespace zentrel
