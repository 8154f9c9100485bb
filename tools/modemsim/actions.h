// What the modem and terminal logic asks of the I/O around it. The logic only
// consumes bytes and returns these in order; the server carries them out
// (writes bytes, starts the dial delay, logs a block, ends the call).
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace zentrel::modemsim {

struct SendBytes {
  std::string bytes;
  bool operator==(const SendBytes&) const = default;
};

// The modem starts dialling; the server calls Session::DialDone after the
// connect delay.
struct DialStarted {
  std::string number;
  bool operator==(const DialStarted&) const = default;
};

struct BlockReceived {
  std::string pin;
  std::string message;
  std::string checksum;  // the three characters as received
  bool valid = false;
  // How the block ended: "ETX" (the page's last block; pin and message are
  // the whole page's), "ETB" or "US" (more blocks follow; fields empty).
  std::string end = "ETX";
  bool operator==(const BlockReceived&) const = default;
};

// The call is over. `drop_line`: the terminal hung up and carrier is lost,
// so the server makes the client's side see a hang-up once it has read
// everything sent before. Without it the modem merely reports a failed dial.
struct CallEnded {
  bool drop_line = false;
  bool operator==(const CallEnded&) const = default;
};

using Action = std::variant<SendBytes, DialStarted, BlockReceived, CallEnded>;
using Actions = std::vector<Action>;

}  // namespace zentrel::modemsim
