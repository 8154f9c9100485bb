// The message block handed to the terminal when it says "<ESC>[p<CR>":
// STX, the PIN (at most 7 characters), CR, the message (at most 199
// characters, line breaks as the box holds them), CR, ETX, three checksum
// characters, CR. The checksum is the sum of the bytes from STX through ETX,
// each taken as a signed 8-bit value, written as three characters 0x30 + a
// 4-bit part of the sum, most significant first.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tap/checksum.h"

namespace zentrel {

inline constexpr std::size_t kMaxPinChars = 7;
inline constexpr std::size_t kMaxMessageChars = 199;

// The checksum's arithmetic is the protocol core's: the signed byte sum and
// its three characters (a negative sum gives characters below 0x30).
using tap::ChecksumChars;
using tap::SignedByteSum;

// The message as the block carries it: the box text up to its first NUL
// byte, at most 199 bytes, cut before a UTF-8 character that would not fit
// whole (so the pager never gets a lone lead byte).
std::string_view MessageField(std::string_view message_box);

// The whole block for the texts of the PIN box and the message box. Each box
// text ends at its first NUL byte and is cut to its limit (the message as
// MessageField cuts it). The block holds no NUL byte.
std::string ComposeMessageBlock(std::string_view pin_box, std::string_view message_box);

}  // namespace zentrel
