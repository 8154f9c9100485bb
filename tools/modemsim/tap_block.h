// The paging terminal's view of a message block: STX PIN CR message CR ETX,
// three checksum characters, CR. The checksum is the sum of the bytes from STX
// through ETX, each as a signed 8-bit value, written as three characters 0x30
// plus a 4-bit group (high group first). Also spells bytes out for the log.
#pragma once

#include <string>
#include <string_view>

namespace zentrel::modemsim {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kEot = '\x04';
inline constexpr char kAck = '\x06';
inline constexpr char kNak = '\x15';
inline constexpr char kEsc = '\x1b';
inline constexpr char kRs = '\x1e';
inline constexpr char kCr = '\r';

// The three checksum characters of `framed`, the bytes from STX through ETX.
std::string BlockChecksum(std::string_view framed);

struct BlockFields {
  std::string pin;
  std::string message;  // may hold CR LF line breaks
};

// Splits the bytes from STX through ETX into the PIN (up to the first CR) and
// the message (up to the CR before ETX). Missing separators leave fields empty.
BlockFields SplitBlock(std::string_view framed);

// Control bytes as tokens ("<CR>", "<STX>", "<x01>"), printable ASCII as is,
// bytes 7F to FF as "<xHH>": always valid UTF-8, readable in a log.
std::string Readable(std::string_view bytes);

// Lower-case hex, two digits per byte, no separators.
std::string Hex(std::string_view bytes);

}  // namespace zentrel::modemsim
