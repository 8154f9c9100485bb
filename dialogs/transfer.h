// The two program-wide values through which the stored-message dialogs hand
// results to their callers. g_strTransfer: the Stored Messages dialog's OK
// leaves the shown text in it for the form; the message text dialog's OK
// leaves the id text of the message it wrote for the Stored Messages dialog.
// g_bAddingMessage: 1 only while an add's message text dialog is open, so
// that dialog starts empty instead of with the current message's text.
#pragma once

#include <QString>

namespace zentrel {

extern QString g_strTransfer;
extern int g_bAddingMessage;

}  // namespace zentrel
