// One page from the command line: looks the recipient up in the store as the
// form does, then runs the form's send (new link, new telephony object, dial)
// and the page transaction on a UI loop until the call ends or the time-out.
#pragma once

#include <cstdio>
#include <vector>

#include "delivery/send_options.h"
#include "journal/page_log.h"
#include "store/dao.h"

namespace zentrel {

// Returns the exit status; status lines go to `out`, reasons to `err`.
int SendPage(const SendOptions& options, std::FILE* out, std::FILE* err);

// A store error before the call: said on `err`; when the database was only
// locked by another program, each attempt is logged as not sent and the
// status is 1 (not sent), else 2 (the store cannot be used).
int StoreFailed(const CDaoException& e, const std::vector<PageAttempt>& attempts, std::FILE* err);

}  // namespace zentrel
