// Makes a pty behave like a serial line at N bit/s with 10 bits a character:
// each byte becomes due one character time after the previous one (or after
// it was queued, if the line was idle). With 0 bit/s everything is due at
// once. One pacer per direction: bytes to send, bytes received but not "seen".
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace zentrel::modemsim {

class LinePacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit LinePacer(int bits_per_second);

  void Push(std::string_view bytes, Clock::time_point now);
  // Removes and returns the bytes whose line time has passed by `now`.
  std::string TakeDue(Clock::time_point now);
  std::optional<Clock::time_point> NextDue() const;
  bool empty() const { return queue_.empty(); }

 private:
  struct Pending {
    char byte;
    Clock::time_point due;
  };
  Clock::duration char_time_{};
  Clock::time_point line_free_{};
  std::deque<Pending> queue_;
};

}  // namespace zentrel::modemsim
