// Looks for a running ModemManager among /proc's processes by name.
#include "telephony/modem_manager.h"

#include <filesystem>
#include <fstream>

namespace zentrel {

bool ModemManagerRuns() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.empty() || name[0] < '0' || name[0] > '9') continue;
    std::ifstream comm(entry.path() / "comm");
    std::string program;
    if (std::getline(comm, program) && program == "ModemManager") return true;
  }
  return false;
}

std::string ModemManagerHint(const LockHolder& holder) {
  if (holder.pid != 0 && holder.program != "ModemManager") return {};
  if (holder.pid == 0 && !ModemManagerRuns()) return {};
  return "; ModemManager is running and probes serial modems: install the "
         "udev rule 99-zentrel-modem.rules from Zentrel's examples "
         "(/usr/share/doc/zentrel/examples) into /etc/udev/rules.d so that it "
         "leaves the port alone";
}

}  // namespace zentrel
