// ModemLineReader: one deadline for the whole wait; after a CR the wait is
// cut to the grace, and a grace that passes without an LF ends the line.
// Once the port has hung up an unfinished line is given first, and the
// hang-up on the next call.
#include "telephony/modem_reader.h"

#include <algorithm>

namespace zentrel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

milliseconds Left(Clock::time_point deadline) {
  const auto ms = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  return std::max(ms, milliseconds(0));
}

}  // namespace

ModemLineReader::Wait ModemLineReader::Next(milliseconds limit, int wake_fd, std::string* line) {
  const auto deadline = Clock::now() + limit;
  const bool seven_bit = port_.format().data_bits == 7;
  for (;;) {
    const bool after_cr = splitter_.AwaitingLineFeed();
    milliseconds wait = Left(deadline);
    if (wait.count() == 0 && !after_cr) return Wait::kTimeout;
    if (after_cr) wait = std::min(wait, line_end_grace_);
    const auto waited_until = Clock::now() + wait;
    char byte = 0;
    std::size_t got = 0;
    switch (port_.Read(&byte, 1, &got, wait, wake_fd)) {
      case TtyPort::ReadResult::kWoken: return Wait::kWoken;
      case TtyPort::ReadResult::kTimeout:
        // (A signal or a spurious wake-up ends a read early: wait again.)
        if (!after_cr || Clock::now() < waited_until) continue;
        *line = *splitter_.Flush();  // a modem that ends its lines with CR alone
        return Wait::kLine;
      case TtyPort::ReadResult::kData:
        if (seven_bit) byte = static_cast<char>(byte & 0x7F);
        if (auto text = splitter_.Feed(byte)) {
          *line = std::move(*text);
          return Wait::kLine;
        }
        continue;
      case TtyPort::ReadResult::kHangUp:
        if (!splitter_.HasPartial()) return Wait::kHangUp;
        *line = *splitter_.Flush();
        return Wait::kLine;
    }
  }
}

}  // namespace zentrel
