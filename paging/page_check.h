// What may go out in a page, checked before a number is dialled and again
// each time the block is built: a PIN that fits its field whole, a PIN and a
// number without control characters, and a message whose only control
// characters are its line breaks. A refusal names the cause for the user;
// a message longer than its field is not refused but cut, and the user is
// told how much of it goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentrel {

// The phone number is read with room for this many characters; a longer
// number is dialled as its first kMaxPhoneChars.
inline constexpr std::size_t kMaxPhoneChars = 31;

// "the control character <CR> (character 3)" for the first control character
// of `text` (CR and LF let through when `line_breaks_allowed`); "" if none.
std::string FirstControlCharacter(std::string_view text, bool line_breaks_allowed = false);

// Why the PIN and message box texts cannot go in a block; "" when they can.
std::string BlockRefusal(std::string_view pin, std::string_view message);

// Why `phone` cannot be dialled; "" when it can.
std::string NumberRefusal(std::string_view phone);

// The number as it is dialled: its first kMaxPhoneChars characters.
std::string DialledNumber(std::string_view phone);

// What the user is told when the message is longer than the block's field;
// "" when it fits whole.
std::string MessageCutNotice(std::string_view message);

}  // namespace zentrel
