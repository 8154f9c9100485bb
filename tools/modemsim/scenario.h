// The behaviours the emulator can play: a terminal that accepts the page, one
// that rejects it in one of several ways, or a modem that never connects.
// Chosen once per run with --scenario NAME; names are the command-line words.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace zentrel::modemsim {

enum class Scenario {
  kAccept,
  kInvalidPin,
  kNak,
  kRs,
  kBusy,
  kNoAnswer,
  kNoDialtone,
  kHangupAfterLogon,
  kErrorText,
  kSlow,
  kCloseAfterEot,    // the log-off gets no answer: the line drops at once
  kNoLogon,          // an encoder that takes blocks without a log-on
  kSilent,           // answers nothing (over TLS: not even the handshake)
  kNakOnce,          // the call's first block gets NAK, its resend is taken
  kRsSecond,         // the call's second page is refused with RS
  kHangupAtConnect,  // CONNECT, then the line drops at once
  kEchoNumeric,      // the stored profile echoes and gives numeric results
  kNoDialTone,       // "NO DIAL TONE", the spelling with a space
  kDelayed,          // the modem will not dial the number again yet
  kConnectSuffix,    // "CONNECT 1200/ARQ/V42BIS"
  kParity,           // everything sent has even parity in bit 7
  kIgnoresHangup,    // neither DTR nor the +++ escape brings back commands
  kBusyTwice,        // the run's first two calls get BUSY, the later ones are accepted
  kDeadModem,        // the modem answers nothing, not even its echo (off, or at another speed)
};

std::optional<Scenario> ParseScenario(std::string_view name);
std::string_view ScenarioName(Scenario scenario);
std::vector<std::string_view> ScenarioNames();

}  // namespace zentrel::modemsim
