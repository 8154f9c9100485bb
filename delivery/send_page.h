// One page from the command line: looks the recipient up in the store as the
// form does, then runs the form's send (new link, new telephony object, dial)
// and the page transaction on a UI loop until the call ends or the time-out.
#pragma once

#include <cstdio>

#include "delivery/send_options.h"

namespace zentrel {

// Returns the exit status; status lines go to `out`, reasons to `err`.
int SendPage(const SendOptions& options, std::FILE* out, std::FILE* err);

}  // namespace zentrel
