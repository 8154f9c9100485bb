// The form's three button flows: "Add" (1012) adds a recipient, "Edit"
// (1016) changes the shown recipient, Delete Recipient (a menu command)
// removes it after asking, "Stored Messages" (1015) opens the
// stored-message library and drops the chosen text into the message box.
// Each catches a store failure at its boundary and shows the engine's
// message with a stop icon; the form and the table stay as they were.
#pragma once

#include "dialogs/form_host.h"

namespace zentrel {

void OnAddRecipient(FormHost& host);
void OnEditRecipient(FormHost& host);
void OnDeleteRecipient(FormHost& host);
void OnStoredMessages(FormHost& host);

}  // namespace zentrel
