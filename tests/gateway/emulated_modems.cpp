// The emulated modems of emulated_modems.h.
#include "tests/gateway/emulated_modems.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zentrel::gateway::testing {

Modems::Modems(GatewayRig& rig, const std::vector<std::string>& scenarios,
               const std::vector<std::string>& extra)
    : rig_(rig) {
  std::ofstream lines(rig.Path("lines.conf"));
  for (std::size_t n = 0; n < scenarios.size(); ++n) {
    const std::string name = "modem" + std::to_string(n);
    std::vector<std::string> argv{ZENTREL_MODEMSIM,
                                  "--link",
                                  rig.Path(name),
                                  "--scenario",
                                  scenarios[n],
                                  "--connect-delay-ms",
                                  "20",
                                  "--log",
                                  rig.Path(name + ".log"),
                                  "--idle-timeout-ms",
                                  "2000"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    sims_.push_back(std::make_unique<e2e::Process>(argv));
    EXPECT_NE(sims_.back()->WaitForLine("ready ", 10s), "") << name << " did not start";
    lines << "modem " << rig.Path(name) << " ATZ\n";
  }
}

std::map<std::string, int> Modems::Accepted() const {
  std::map<std::string, int> texts;
  for (std::size_t n = 0; n < sims_.size(); ++n) {
    std::ifstream log(rig_.Path("modem" + std::to_string(n) + ".log"));
    for (std::string line; std::getline(log, line);) {
      const json event = json::parse(line, nullptr, false);
      if (event.value("event", "") == "block" && event.value("valid", false) &&
          event.contains("message")) {
        ++texts[event["message"].get<std::string>()];
      }
    }
  }
  return texts;
}

}  // namespace zentrel::gateway::testing
