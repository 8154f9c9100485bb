// The two WCTP documents a wctp line deals in: the wctp-SubmitRequest it
// posts for one page, and the carrier's answer read back into its kind
// (success, failure with the carrier's code, or not a WCTP answer at all).
// Pure: no I/O. The answer is read without any DTD and with no entity of
// its own, as every XML from outside is.
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

struct WctpPage {
  std::string sender;         // senderID
  std::string security_code;  // securityCode (left out when empty)
  std::string recipient;      // the PIN
  std::string text;
  std::string timestamp;  // submitTimestamp, like 2026-12-07T14:00:00
};

std::string WctpSubmitRequest(const WctpPage& page);

struct WctpAnswer {
  enum class Kind { kSuccess, kFailure, kUnreadable };
  Kind kind = Kind::kUnreadable;
  int code = 0;      // successCode or errorCode
  std::string text;  // successText or errorText, or why it is unreadable
};

WctpAnswer ReadWctpAnswer(std::string_view body);

}  // namespace zentrel
