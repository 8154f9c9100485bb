// The terminal's replies and what the transaction does about them: seven
// case-sensitive searches in the readable text of one received block, always
// all seven, always in the same order. Each test that fires changes its flag,
// hands its text to the link and updates the status box, so several can fire
// for one block and the last one's status text stays in the box. A block the
// boxes cannot make is not sent: its reason goes to the status box instead.
#pragma once

#include <string>
#include <string_view>

#include "tap/control_bytes.h"

namespace zentrel {

// The fixed texts sent to the terminal.
inline constexpr std::string_view kWakeUpText = tap::kWakeUp;  // CR
inline constexpr std::string_view kLogOnText = tap::kLogOn;    // ESC "PG1" CR
inline constexpr std::string_view kLogOffText = tap::kLogOff;  // EOT CR

// The status texts of the transaction.
inline constexpr std::string_view kStatusPreparing = "Preparing to send message...";
inline constexpr std::string_view kStatusInvalidPin = "Invalid PIN Number";
inline constexpr std::string_view kStatusCheckPin = "Error, check PIN and try again!";
inline constexpr std::string_view kStatusLogOnSent = "Sending Message.";
inline constexpr std::string_view kStatusBlockSent = "Sending Message...";
inline constexpr std::string_view kStatusMessageSent = "Message Sent!";
inline constexpr std::string_view kStatusErrorPageSent = "Error, but page sent.";
inline constexpr std::string_view kStatusErrorNotSent = "Error, page not sent, check PIN number.";

// What the rules act on. The transaction implements it over the form and
// the current link.
class IReplyActions {
 public:
  virtual ~IReplyActions() = default;
  // Hands a copy of `bytes` to the current link's write thread, if it takes it.
  virtual void Post(std::string_view bytes) = 0;
  // Replaces the status box's text, then scrolls it one line.
  virtual void Status(std::string_view text) = 0;
  // The message block built from the boxes as they are now; an empty block
  // and the reason, for the user, when the boxes hold what no block may
  // carry (a PIN that would be cut, a control character).
  struct Block {
    std::string bytes;
    std::string refusal;
  };
  virtual Block MessageBlock() = 0;
};

// Runs the seven tests on `readable` against the process-wide flags.
void RunReplyRules(std::string_view readable, IReplyActions& actions);

}  // namespace zentrel
