// The words of one lines.conf line after its kind, and the readers the kinds
// share. A word runs to the next blank outside quotes; "..." quotes blanks
// and `#`, and inside quotes \" and \\ are the only escapes. Each kind's
// parse takes its words one by one from LineWords and answers an error text
// ("" when the line is sound); the first fault in the words themselves (a
// bad escape, a control character) is kept in `error` and wins over it.
#pragma once

#include <string>
#include <string_view>

#include "seriallink/line_format.h"

namespace zentrel {

// `s` without blanks (space, tab, carriage return) at either end.
std::string_view TrimBlanks(std::string_view s);

struct LineWords {
  std::string_view rest;
  std::string error;
  // The next word, quotes and escapes undone; "" at the end.
  std::string Next();
  // What is left of the line, trimmed.
  std::string_view Left() const { return TrimBlanks(rest); }
};

// `word` in quotes, for messages.
std::string QuotedWord(std::string_view word);
bool HasControl(std::string_view text);

// A speed word ("9600") or a frame word ("8N1") into `format`; an error text or "".
std::string ReadSpeed(std::string_view word, LineFormat* format);
std::string ReadFrame(std::string_view word, LineFormat* format);
// HOST:PORT, the host possibly an IPv6 address in brackets; an error text or "".
std::string ReadAddress(std::string_view word, std::string* host, std::string* service);
// "unexpected ..." when words are left over; "" when none are.
std::string NothingLeft(const LineWords& words);

}  // namespace zentrel
