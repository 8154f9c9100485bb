// ModemManager probes every new serial modem on a desktop and holds the port
// while it does. When a port is busy and ModemManager runs, the user is told
// so and pointed to the udev rule, shipped as an example, that makes it leave
// the port alone.
#pragma once

#include <string>

#include "seriallink/tty_port_lock.h"

namespace zentrel {

bool ModemManagerRuns();

// " (ModemManager is running ... udev rule ...)" when it runs, else "".
// The holder, where known, says whether ModemManager is the one.
std::string ModemManagerHint(const LockHolder& holder = {});

}  // namespace zentrel
