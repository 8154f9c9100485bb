// zentrel-gateway's main loop: one thread, one poll over the signalfd, the
// socket and its clients, and the workers' pipes, waking for the next page
// due, a line's rest, a client's time-out or the stop's grace. SIGTERM and
// SIGINT stop it (calls under way end first), SIGHUP re-reads the lines and
// the recipients, SIGCHLD reaps workers.
#pragma once

#include <functional>

#include "gateway/settings.h"

namespace zentrel::gateway {

using Clock = std::function<double()>;  // Unix seconds
double SystemSeconds();

// Runs until stopped; the process's exit status (1 when it cannot start).
int RunDaemon(const GatewaySettings& settings, const Clock& clock = SystemSeconds);

}  // namespace zentrel::gateway
