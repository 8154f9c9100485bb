// Text the program did not write itself (a terminal's or a gateway's words,
// a message, a name from a database, a path from a file) shown on a
// terminal: control characters would move the cursor, clear the screen or
// retitle the window, so they are written out as escapes (\n, \x1b, \u0085)
// and bytes that are not UTF-8 as \xHH. A backslash is doubled, so what is
// shown reads back unambiguously.
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

std::string TerminalSafe(std::string_view text);

}  // namespace zentrel
