// Reading the modem's answers through the port, one byte at a time so that
// no byte after CONNECT's line is taken from the serial link. On a 7-bit
// line bit 7 (the parity of a channel that does not strip it) is cleared
// first. Text that arrives together with the port's hang-up is read, and a
// line it leaves unfinished is still parsed, before the hang-up counts.
#include <algorithm>

#include "seriallink/trace.h"
#include "telephony/hayes_call.h"

namespace zentrel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

int Millis(Clock::duration d) {
  auto ms = std::chrono::duration_cast<milliseconds>(d).count();
  return ms < 0 ? 0 : static_cast<int>(ms);
}

}  // namespace

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

HayesCall::Wait HayesCall::AwaitResult(milliseconds limit, bool stop_ends,
                                       HayesResponse* result) {
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
      default:
        return Wait::kLine;
    }
  }
}

HayesCall::Wait HayesCall::AwaitLine(milliseconds limit, bool stop_ends, HayesResponse* line) {
  const auto deadline = Clock::now() + limit;
  const bool seven_bit = port_.format().data_bits == 7;
  for (;;) {
    const bool after_cr = splitter_.AwaitingLineFeed();
    milliseconds wait(Millis(deadline - Clock::now()));
    if (wait.count() == 0 && !after_cr) return Wait::kTimeout;
    if (after_cr) wait = std::min(wait, timings_.line_end_grace);
    const auto waited_until = Clock::now() + wait;
    char byte = 0;
    std::size_t got = 0;
    switch (port_.Read(&byte, 1, &got, wait, stop_ends ? wake_fd_ : -1)) {
      case TtyPort::ReadResult::kWoken:
        return Wait::kStopped;
      case TtyPort::ReadResult::kTimeout:
        // A modem that ends its lines with CR alone: no LF came in time.
        if (after_cr && Clock::now() >= waited_until) return LineFrom(*splitter_.Flush(), line);
        continue;
      case TtyPort::ReadResult::kData:
        if (seven_bit) byte = static_cast<char>(byte & 0x7F);
        if (auto text = splitter_.Feed(byte)) return LineFrom(std::move(*text), line);
        continue;
      case TtyPort::ReadResult::kHangUp:
        // The port hung up: a result it cut short still counts.
        if (splitter_.HasPartial()) return LineFrom(*splitter_.Flush(), line);
        return Wait::kPortGone;
    }
  }
}

}  // namespace zentrel
