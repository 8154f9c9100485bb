// A send on a line whose calls carry pages (line_choice.h): the pages go out
// by the line's own delivery (a wctp line: one POST each) instead of a call,
// and the sender hears each page start and end as from a TAP session, with
// the same reports, so its page log records and what it prints are the
// same code as on any other line.
#pragma once

#include <atomic>
#include <cstdio>
#include <vector>

#include "delivery/outcome.h"
#include "delivery/tap_view.h"
#include "tap/session.h"
#include "telephony/lines_config.h"

namespace zentrel {

// One report per page, in order; a page that never went says why. `stop`,
// when given and set, ends the send at once (a POST under way is
// abandoned). Runs on the caller's thread; `events` are called on it.
std::vector<tap::PageReport> RunPagesCall(const LineConfig& line,
                                          const std::vector<tap::OutgoingPage>& pages,
                                          int timeout_seconds, IPageEvents* events,
                                          const std::atomic<bool>* stop, std::FILE* err);

// The report a page's outcome makes: the carrier's words as the terminal's.
tap::PageReport PagesReport(const Outcome& outcome);

}  // namespace zentrel
