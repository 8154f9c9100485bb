// The dialler's side of reading the modem's answers: lines come from the
// shared reader (modem_reader.h), are parsed, and the results the dial waits
// for are told from echo, blank lines, RING and words it does not know,
// which the trace keeps.
#include "seriallink/trace.h"
#include "telephony/hayes_call.h"

namespace zentrel {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::string PrintableModemText(const std::string& line) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : line) {
    if (c >= 0x20 && c < 0x7f) {
      out.push_back(static_cast<char>(c));
    } else {
      out += {'<', kHex[c >> 4], kHex[c & 0xF], '>'};
    }
  }
  return out;
}

HayesCall::Wait HayesCall::LineFrom(std::string text, HayesResponse* line) {
  last_line_ = std::move(text);
  *line = ParseHayesLine(last_line_);
  return Wait::kLine;
}

HayesCall::Wait HayesCall::AwaitResult(milliseconds limit, bool stop_ends, HayesResponse* result) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    Wait wait = AwaitLine(left, stop_ends, result);
    if (wait != Wait::kLine) return wait;
    switch (result->kind) {
      case HayesKind::kEcho:
      case HayesKind::kEmpty:
      case HayesKind::kRing:  // someone calling in while we dial
        continue;
      case HayesKind::kUnknown:
        Trace("ignored \"" + PrintableModemText(last_line_) + "\"");
        continue;
      default: return Wait::kLine;
    }
  }
}

HayesCall::Wait HayesCall::AwaitLine(milliseconds limit, bool stop_ends, HayesResponse* line) {
  std::string text;
  switch (reader_.Next(limit, stop_ends ? wake_fd_ : -1, &text)) {
    case ModemLineReader::Wait::kLine: return LineFrom(std::move(text), line);
    case ModemLineReader::Wait::kTimeout: return Wait::kTimeout;
    case ModemLineReader::Wait::kWoken: return Wait::kStopped;
    case ModemLineReader::Wait::kHangUp: break;
  }
  return Wait::kPortGone;
}

}  // namespace zentrel
