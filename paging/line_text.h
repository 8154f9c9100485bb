// Text as a paging line carries it: 7-bit ASCII. A message typed in the form
// or given to zentrel-send is UTF-8; what the line cannot carry is written
// the way a reader expects (u for u-umlaut, ss for sharp s, EUR for the euro
// sign, plain quotes and dashes), anything without a reading becomes '?',
// and the user is told before the page goes. Line breaks go out as a space:
// a CR inside a field would end it, and the page transaction does not know
// whether the terminal takes the transparency that could carry one.
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

// `utf8` made 7-bit ASCII; CR and LF stay as they are. Bytes that are not
// valid UTF-8 are read as Latin-1 (each one a character).
std::string ToLineAscii(std::string_view utf8);

// `utf8` as a page's message field carries it: ToLineAscii, and every line
// break (CR LF, CR or LF) one space.
std::string PageMessageText(std::string_view utf8);

// What the user is told when ToLineAscii changes `utf8`: the characters and
// what they go as ("ü goes as u, € as EUR"); "" when nothing changes.
std::string LineAsciiNotice(std::string_view utf8);

}  // namespace zentrel
