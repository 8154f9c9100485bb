// Senders that share a line take turns in the order they asked for it, across
// users and programs (the gateway runs as a user of its own). The turn is
// taken in a folder where they all meet and no one can lay traps: /run/lock
// (root's, sticky, writable by all) unless ZENTREL_LOCK_DIR names another.
// Each sender takes a numbered ticket there: a file of its own that it holds
// under an exclusive flock for as long as it lives, so a sender that was
// killed leaves a ticket nobody holds, which does not count (and is swept
// when its owner or root looks). A sender's turn comes when no earlier ticket
// is held.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/owned_folder.h"

namespace zentrel {

class LineQueueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The folder where the line's turn is taken: ZENTREL_LOCK_DIR, else
// /run/lock.
std::string DefaultLockFolder();

class LineTicket {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kLookInterval{50};
  // How long another sender may hold the line's turn file while it numbers
  // or looks at the tickets (microseconds when all is well).
  static constexpr std::chrono::seconds kTurnFileWait{10};

  // Takes the next ticket for `line` (any text naming the line) in
  // `lock_folder`. Throws LineQueueError naming the folder or file when they
  // can't be used safely.
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
  bool LockTurnFile(Clock::time_point deadline);
  void OpenTurnFile();
  void TakeNumber();
  int HeldAhead();  // earlier tickets still held; sweeps the others

  std::string shown_;   // the folder, for messages
  std::string prefix_;  // "zentrel-line-<line>."
  UniqueFd folder_;
  UniqueFd turn_;    // the line's turn file, flocked while tickets are numbered or looked at
  UniqueFd ticket_;  // ours, flocked for as long as we live
  std::string ticket_name_;
  std::uint64_t number_ = 0;
};

}  // namespace zentrel
