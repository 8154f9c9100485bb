// One command to a modem and its answer, for a person setting a line up: the
// command goes out with CR, the lines coming back are collected until the
// final result (OK, ERROR, ...) or a time limit. Echo and blank lines are
// left out, so what remains is what the modem said (ATI's identity).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "seriallink/tty_port.h"
#include "telephony/hayes_response.h"

namespace zentrel {

struct ChatAnswer {
  enum class End { kResult, kTimeout, kPortFailed };
  End end = End::kTimeout;
  HayesKind result = HayesKind::kUnknown;  // kResult: the final line's kind
  std::string result_text;                 // kResult: that line
  std::vector<std::string> lines;          // the other lines, printable
};

ChatAnswer Chat(TtyPort& port, const std::string& command, std::chrono::milliseconds limit,
                std::chrono::milliseconds line_end_grace = std::chrono::milliseconds(100));

// "OK", "ERROR", "no answer within 2000 ms", "the port failed".
std::string ChatEndText(const ChatAnswer& answer, std::chrono::milliseconds limit);

}  // namespace zentrel
