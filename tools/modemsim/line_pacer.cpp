// Character times and due bytes; see line_pacer.h.
#include "line_pacer.h"

#include <algorithm>

namespace zentrel::modemsim {

LinePacer::LinePacer(int bits_per_second) {
  if (bits_per_second > 0) {
    char_time_ = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(10'000'000'000LL / bits_per_second));
  }
}

void LinePacer::Push(std::string_view bytes, Clock::time_point now) {
  for (char byte : bytes) {
    line_free_ = std::max(line_free_, now) + char_time_;
    queue_.push_back({byte, line_free_});
  }
}

std::string LinePacer::TakeDue(Clock::time_point now) {
  std::string due;
  while (!queue_.empty() && queue_.front().due <= now) {
    due += queue_.front().byte;
    queue_.pop_front();
  }
  return due;
}

std::optional<LinePacer::Clock::time_point> LinePacer::NextDue() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.front().due;
}

}  // namespace zentrel::modemsim
