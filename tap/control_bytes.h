// The protocol's control bytes and their ASCII names, in one place: the
// form's readable text, the full session engine and the emulator all spell
// them from here ("<STX>", "<CR>", "<NAK>").
#pragma once

#include <string>
#include <string_view>

namespace zentrel::tap {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kEot = 0x04;
inline constexpr char kAck = 0x06;
inline constexpr char kLf = 0x0A;
inline constexpr char kCr = 0x0D;
inline constexpr char kNak = 0x15;
inline constexpr char kEtb = 0x17;
inline constexpr char kSub = 0x1A;
inline constexpr char kEsc = 0x1B;
inline constexpr char kRs = 0x1E;
inline constexpr char kUs = 0x1F;

// The ASCII name of a byte 00-1F ("NUL", "STX", ... "US"); empty otherwise.
std::string_view ControlName(unsigned char byte);

// "<" name ">" for a byte 00-1F; empty otherwise.
std::string ControlToken(unsigned char byte);

}  // namespace zentrel::tap
