// The application's message box as telephony sees it: a hook that the
// program connects to its real message box (one OK button, the program's
// title as caption). Without a hook the text goes to the trace, so a
// program without windows still reports it.
#pragma once

#include <functional>
#include <string>

namespace zentrel {

enum class MessageIcon { kInformation, kWarning, kStop };

using TelephonyMessageBoxFn = std::function<void(const std::string& text, MessageIcon icon)>;

// Installs the hook; an empty one restores the default. Returns the old one.
TelephonyMessageBoxFn SetTelephonyMessageBox(TelephonyMessageBoxFn hook);

// Shows `text` (exclamation icon, as the framework's default OK box does).
void TelephonyMessageBox(const std::string& text);

}  // namespace zentrel
