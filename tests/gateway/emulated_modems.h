// Emulated modems for the gateway's end-to-end tests: one zentrel-modemsim
// per scenario on a pseudo-terminal in the rig's folder, each serving call
// after call, written into the rig's lines.conf; what their terminals
// accepted is read back from the emulators' own logs.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/gateway/gateway_rig.h"

namespace zentrel::gateway::testing {

class Modems {
 public:
  Modems(GatewayRig& rig, const std::vector<std::string>& scenarios,
         const std::vector<std::string>& extra = {});
  // Each page text the terminals accepted, with how many times.
  std::map<std::string, int> Accepted() const;

 private:
  GatewayRig& rig_;
  std::vector<std::unique_ptr<e2e::Process>> sims_;
};

}  // namespace zentrel::gateway::testing
