// Maps scenario names to the enum and back, from one table.
#include "scenario.h"

#include <array>
#include <utility>

namespace zentrel::modemsim {
namespace {

constexpr std::array<std::pair<Scenario, std::string_view>, 24> kNames{{
    {Scenario::kAccept, "accept"},
    {Scenario::kInvalidPin, "invalid-pin"},
    {Scenario::kNak, "nak"},
    {Scenario::kRs, "rs"},
    {Scenario::kBusy, "busy"},
    {Scenario::kNoAnswer, "no-answer"},
    {Scenario::kNoDialtone, "no-dialtone"},
    {Scenario::kHangupAfterLogon, "hangup-after-logon"},
    {Scenario::kErrorText, "error-text"},
    {Scenario::kSlow, "slow"},
    {Scenario::kCloseAfterEot, "close-after-eot"},
    {Scenario::kNoLogon, "no-logon"},
    {Scenario::kSilent, "silent"},
    {Scenario::kNakOnce, "nak-once"},
    {Scenario::kRsSecond, "rs-second"},
    {Scenario::kHangupAtConnect, "hangup-at-connect"},
    {Scenario::kEchoNumeric, "echo-numeric"},
    {Scenario::kNoDialTone, "no-dial-tone"},
    {Scenario::kDelayed, "delayed"},
    {Scenario::kConnectSuffix, "connect-suffix"},
    {Scenario::kParity, "parity"},
    {Scenario::kIgnoresHangup, "ignores-hangup"},
    {Scenario::kBusyTwice, "busy-twice"},
    {Scenario::kDeadModem, "dead-modem"},
}};

}  // namespace

std::optional<Scenario> ParseScenario(std::string_view name) {
  for (const auto& [scenario, text] : kNames) {
    if (text == name) return scenario;
  }
  return std::nullopt;
}

std::string_view ScenarioName(Scenario scenario) {
  for (const auto& [value, text] : kNames) {
    if (value == scenario) return text;
  }
  return "?";
}

std::vector<std::string_view> ScenarioNames() {
  std::vector<std::string_view> names;
  for (const auto& entry : kNames) names.push_back(entry.second);
  return names;
}

}  // namespace zentrel::modemsim
