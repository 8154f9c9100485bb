// What the recipient dialog must refuse before a recipient is saved: a PIN
// or a paging terminal number that a send would refuse or would page
// somewhere else with. The program hands this check to the dialogs (which
// know only the store and Qt) through their hooks; it applies the send
// path's own rules, so a saved recipient can always be paged as shown.
#pragma once

#include <QString>

#include "dialogs/dialog_hooks.h"

namespace zentrel {

// The first problem of `pin`, then of `phone`, naming the box it is in;
// field kNone when both may be saved.
RecipientProblem CheckRecipient(const QString& pin, const QString& phone);

}  // namespace zentrel
