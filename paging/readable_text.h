// Readable text: a received block with its protocol control bytes spelt out
// as tokens ("<CR>", "<ACK>", "<ESC>"), so that the terminal's replies can be
// matched as plain text and the block can be written to the trace. The text
// ends at its first NUL byte; an empty text reads as "<NUL>". Bytes that are
// not in the token table, 80-FF included, are copied unchanged.
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

// The token for `byte`, or an empty view when the byte is copied as it is.
std::string_view ControlToken(unsigned char byte);

// The readable text of `received` up to its first NUL byte. Any length.
std::string ReadableText(std::string_view received);

}  // namespace zentrel
