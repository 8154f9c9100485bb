// What a number may hold before it goes into a Hayes dial command. The number
// is dialled exactly as typed, but a byte that would end the command or start
// another (CR, LF, ';'), any other control or non-ASCII byte, or a number
// longer than a modem's command buffer takes, is refused before anything is
// sent, with a message naming the character.
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

inline constexpr std::size_t kMaxDialString = 40;

// "" when `number` can be dialled; else why not, for the user.
std::string DialStringProblem(std::string_view number);

}  // namespace zentrel
