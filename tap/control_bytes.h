// The protocol's control bytes, their ASCII names and the fixed sequences
// made of them, in one place: the form's transaction and readable text, the
// full session engine, the call's log-off watch and the emulator all spell
// them from here ("<STX>", "<CR>", "<NAK>", ESC "PG1" CR).
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

namespace sequence_bytes {
inline constexpr char kLogOn[] = {kEsc, 'P', 'G', '1', kCr};
inline constexpr char kLogOff[] = {kEot, kCr};
inline constexpr char kGoAhead[] = {kEsc, '[', 'p'};
inline constexpr char kDisconnect[] = {kEsc, kEot};
inline constexpr char kGoodbye[] = {kEsc, kEot, kCr};
}  // namespace sequence_bytes

// What the caller sends: CR to wake the terminal (it answers "ID="), the
// log-on, and the log-off.
inline constexpr std::string_view kWakeUp{&kCr, 1};
inline constexpr std::string_view kLogOn{sequence_bytes::kLogOn, sizeof sequence_bytes::kLogOn};
inline constexpr std::string_view kLogOff{sequence_bytes::kLogOff, sizeof sequence_bytes::kLogOff};
// What the terminal sends: the go-ahead for the pages, and its hang-up
// (ESC EOT); each ends with CR, the goodbye being the hang-up with its CR.
inline constexpr std::string_view kGoAhead{sequence_bytes::kGoAhead,
                                           sizeof sequence_bytes::kGoAhead};
inline constexpr std::string_view kDisconnect{sequence_bytes::kDisconnect,
                                              sizeof sequence_bytes::kDisconnect};
inline constexpr std::string_view kGoodbye{sequence_bytes::kGoodbye,
                                           sizeof sequence_bytes::kGoodbye};

// The ASCII name of a byte 00-1F ("NUL", "STX", ... "US"); empty otherwise.
std::string_view ControlName(unsigned char byte);

// "<" name ">" for a byte 00-1F; empty otherwise.
std::string ControlToken(unsigned char byte);

}  // namespace zentrel::tap
