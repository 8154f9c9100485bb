// What may go out in a page, checked before a number is dialled and again
// each time the block is built: a PIN that is not empty and fits its field
// whole, a number that is not empty and fits what a line can dial (never
// cut), a PIN and a number of plain ASCII (a PIN without a space), and a message whose
// only control characters are its line breaks. A refusal names the cause and
// the PIN or number for the user; a message longer than its field is not
// refused but cut, and the user is told how much of it goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "paging/field_fault.h"

namespace zentrel {

// "the control character <CR> (character 3)" for the first control character
// of `text` (CR and LF let through when `line_breaks_allowed`); "" if none.
std::string FirstControlCharacter(std::string_view text, bool line_breaks_allowed = false);

// Why the PIN and message box texts cannot go in a block; "" when they can.
// (An empty PIN box is the form's own affair once its call is under way.)
std::string BlockRefusal(std::string_view pin, std::string_view message);

// The one check of a recipient (field_fault.h), as a clause any caller can
// say in its own sentence ("the PIN is empty", "the phone number \"...\" has
// 32 characters, more than the 31 a line can dial"); "" when a page may go.
// The refusals below are these, said for a send.
std::string PinProblem(std::string_view pin);
std::string NumberProblem(std::string_view phone);

// Why a page cannot be sent to `pin`: empty, too long, a control character,
// a space or a character that is not ASCII; "" when it can.
std::string PinRefusal(std::string_view pin);

// Why `phone` cannot be dialled: empty, longer than kMaxPhoneChars, a
// control character or a character that is not ASCII; "" when it can.
std::string NumberRefusal(std::string_view phone);

// The one check of a recipient, for every sender and every importer: the
// PIN's refusal, else the number's; "" when a page may go to them.
std::string RecipientRefusal(std::string_view pin, std::string_view phone);

// What the user is told when the message is longer than the block's field;
// "" when it fits whole.
std::string MessageCutNotice(std::string_view message);

}  // namespace zentrel
