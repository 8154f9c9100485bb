// Senders that share a line take turns in the order they asked for it. Each
// takes a numbered ticket: a file in the line's lock folder that it holds
// under an exclusive flock for as long as it lives, so a sender that was
// killed leaves a ticket nobody holds, which the next look sweeps away. A
// sender's turn comes when no earlier ticket is held.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zentrel {

class LineQueueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The folder for the lock folders: ZENTREL_LOCK_DIR, else
// $XDG_RUNTIME_DIR/zentrel, else /tmp/zentrel-UID.
std::string DefaultLockFolder();

class LineTicket {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kLookInterval{50};

  // Takes the next ticket for `line` (any text naming the line) under
  // `lock_folder`. Throws LineQueueError when the folder can't be used.
  LineTicket(const std::string& lock_folder, std::string_view line);
  ~LineTicket();  // gives the ticket back
  LineTicket(const LineTicket&) = delete;
  LineTicket& operator=(const LineTicket&) = delete;

  // Waits until no earlier ticket is held, looking every `interval`; calls
  // `on_wait` once if it has to wait. False when `deadline` came first.
  bool AwaitTurn(Clock::time_point deadline, const std::function<void()>& on_wait,
                 std::chrono::milliseconds interval = kLookInterval);

  std::uint64_t number() const { return number_; }

 private:
  int HeldAhead() const;  // earlier tickets still held; sweeps the others

  std::string folder_;
  std::string path_;
  std::uint64_t number_ = 0;
  int fd_ = -1;
  int queue_fd_ = -1;
};

}  // namespace zentrel
