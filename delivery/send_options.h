// What one run of the command-line sender was asked to do.
#pragma once

#include <optional>
#include <string>

#include "tap/session.h"

namespace zentrel {

struct SendOptions {
  std::string pin;
  std::string message;               // as the message box would hold it (CR LF)
  std::string typed;                 // the message as given (UTF-8), for the page log
  std::optional<std::string> phone;  // overrides the recipient's number
  std::string db = "vp.mdb";
  int timeout_seconds = 120;
  bool trace = false;
  int timer_interval_ms = 4000;
  int wait_seconds = 300;  // how long to wait for a line that other senders hold
  // --full-tap only
  bool split = false;           // a long message as several numbered pages
  std::size_t max_chars = 199;  // a page's limit
  bool json = false;            // outcomes as JSON
  tap::SessionTimings tap_timings;
};

// Exit statuses.
inline constexpr int kExitSent = 0;
inline constexpr int kExitNotSent = 1;
inline constexpr int kExitUsage = 2;

// Turns text as read from a file or a command line into what the message box
// would hold: line breaks become CR LF, one final line break is dropped.
std::string AsMessageBoxText(const std::string& text);

}  // namespace zentrel
