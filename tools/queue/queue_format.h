// The gateway's pages (PAGE objects of the socket protocol) as text for a
// person: `zentrel-queue list`'s table and `show`'s details. Pure functions
// of the JSON and the current time, so they are tested without a daemon.
// Everything that came from outside (texts, words, reasons, names) passes
// through TerminalSafe before it is shown.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace zentrel {

// "45s", "12m", "3h", "2d": a span of seconds, rounded down; "0s" below one.
std::string ShortSpan(double seconds);

// One row per page: ID, STATE, PIN, AGE, TRIES, NEXT TRY, LAST REASON.
std::string QueueTable(const nlohmann::json& pages, double now);

// Every field of one page, then its attempts, one a line.
std::string PageDetails(const nlohmann::json& page, double now);

}  // namespace zentrel
