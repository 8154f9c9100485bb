// The retry policy's arithmetic and its parsing from the settings' text.
#include "queue/retry_policy.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zentrel::queue {

double RetryPolicy::WaitAfter(int tries) const {
  if (waits.empty()) return 0;
  const auto index = static_cast<std::size_t>(std::max(tries, 1) - 1);
  return waits[std::min(index, waits.size() - 1)];
}

std::optional<std::vector<double>> ParseWaits(std::string_view text) {
  std::vector<double> waits;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',') {
      ++pos;
      continue;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (ec != std::errc() || !std::isfinite(value) || value < 0) return std::nullopt;
    waits.push_back(value);
    pos = static_cast<std::size_t>(end - text.data());
  }
  if (waits.empty()) return std::nullopt;
  return waits;
}

bool IsFinalReason(std::string_view reason) {
  return reason == "terminal refused" || reason == "refused number";
}

bool IsLineReason(std::string_view reason) {
  return reason == "line unusable" || reason == "line in use";
}

}  // namespace zentrel::queue
