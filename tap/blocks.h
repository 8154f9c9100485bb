// A page as the terminal takes it: its fields (PIN, message), each ended by
// CR, carried in blocks of at most 250 characters between STX and the
// block's end: ETX after the page's last field, ETB after a whole field
// with more to come, US when a field goes on in the next block. Control
// characters inside a field go out as SUB and the character plus 0x40 when
// the terminal allows it; otherwise they become spaces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::tap {

inline constexpr std::size_t kMaxBlockData = 250;  // STX, end and checksum not counted

// One field's characters as they go out. `transparent`: SUB escapes;
// otherwise each control character becomes a space.
std::string EncodeField(std::string_view text, bool transparent);

// The blocks of one page (its fields already encoded), each framed and
// checksummed: STX data end c c c CR. A SUB pair is never cut in two.
std::vector<std::string> PageBlocks(const std::vector<std::string>& encoded_fields,
                                    std::size_t max_data = kMaxBlockData);

// One framed block: STX, `data`, `end`, checksum, CR.
std::string FrameBlock(std::string_view data, char end);

// True when `text` holds a control character (that transparency or a space
// must stand in for).
bool HasControlChars(std::string_view text);

}  // namespace zentrel::tap
