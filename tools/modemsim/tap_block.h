// The paging terminal's view of a message block: STX PIN CR message CR ETX,
// three checksum characters, CR. The checksum is the sum of the bytes from STX
// through ETX, each as a signed 8-bit value, written as three characters 0x30
// plus a 4-bit group (high group first), from the protocol core. Also spells
// bytes out for the log and undoes transparency (SUB escapes).
#pragma once

#include <string>
#include <string_view>

#include "tap/control_bytes.h"

namespace zentrel::modemsim {

inline constexpr char kStx = tap::kStx;
inline constexpr char kEtx = tap::kEtx;
inline constexpr char kEot = tap::kEot;
inline constexpr char kAck = tap::kAck;
inline constexpr char kNak = tap::kNak;
inline constexpr char kEsc = tap::kEsc;
inline constexpr char kRs = tap::kRs;
inline constexpr char kCr = tap::kCr;

// The three checksum characters of `framed`, the bytes from STX through ETX.
std::string BlockChecksum(std::string_view framed);

struct BlockFields {
  std::string pin;
  std::string message;  // may hold CR LF line breaks
};

// A field as sent with transparency: SUB and the next byte stand for that
// byte minus 0x40.
std::string DecodeTransparency(std::string_view field);

// Splits the bytes from STX through ETX into the PIN (up to the first CR) and
// the message (up to the CR before ETX). Missing separators leave fields empty.
BlockFields SplitBlock(std::string_view framed);

// Control bytes as tokens ("<CR>", "<STX>", "<x01>"), printable ASCII as is,
// bytes 7F to FF as "<xHH>": always valid UTF-8, readable in a log.
std::string Readable(std::string_view bytes);

// Lower-case hex, two digits per byte, no separators.
std::string Hex(std::string_view bytes);

}  // namespace zentrel::modemsim
