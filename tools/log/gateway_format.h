// The gateway's pages as zentrel-log shows them: after the page log's
// records in the table, or alone as CSV or JSON with --gateway. Pure
// functions, tested without a queue file. In the table, what came from
// outside (texts, the terminal's words) is escaped for the terminal.
#pragma once

#include <string>
#include <vector>

#include "tools/log/gateway_pages.h"

namespace zentrel {

// One line per page (queued time, state, PIN and names, text, last reason,
// how and by whom), then one indented line per attempt.
std::string GatewayTable(const std::vector<GatewayPageRow>& pages);
// One row per page; its attempts in one column as "at line outcome (reason)".
std::string GatewayCsv(const std::vector<GatewayPageRow>& pages);
// An array of pages, each with an "attempts" array.
std::string GatewayJson(const std::vector<GatewayPageRow>& pages);

}  // namespace zentrel
