// The daemon's log: one line per event on standard error, prefixed with the
// program's name (journald adds the time under systemd).
#pragma once

#include <string>

namespace zentrel::gateway {

void Log(const std::string& text);

}  // namespace zentrel::gateway
