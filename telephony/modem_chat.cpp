// Talking to a modem one command at a time: the lines come from the reader
// the dialler uses (modem_reader.h) and go through its response parser. The
// whole exchange keeps to one deadline.
#include "telephony/modem_chat.h"

#include <algorithm>

#include "telephony/hayes_call.h"
#include "telephony/modem_reader.h"

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool IsFinal(HayesKind kind) {
  return kind != HayesKind::kEcho && kind != HayesKind::kEmpty && kind != HayesKind::kUnknown &&
         kind != HayesKind::kRing;
}

// Takes one complete line into `answer`; true when it was the final one.
bool Take(const std::string& line, ChatAnswer* answer) {
  const HayesResponse parsed = ParseHayesLine(line);
  if (IsFinal(parsed.kind)) {
    answer->end = ChatAnswer::End::kResult;
    answer->result = parsed.kind;
    answer->result_text = PrintableModemText(line);
    return true;
  }
  if (parsed.kind == HayesKind::kUnknown) answer->lines.push_back(PrintableModemText(line));
  return false;
}

}  // namespace

ChatAnswer Chat(TtyPort& port, const std::string& command, milliseconds limit,
                milliseconds line_end_grace) {
  ChatAnswer answer;
  const auto deadline = Clock::now() + limit;
  port.FlushInput();
  if (!port.WriteAll(command + "\r", limit)) {
    answer.end = ChatAnswer::End::kPortFailed;
    return answer;
  }
  ModemLineReader reader(port, line_end_grace);
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    std::string line;
    switch (reader.Next(std::max(left, milliseconds(0)), -1, &line)) {
      case ModemLineReader::Wait::kLine:
        if (Take(line, &answer)) return answer;
        continue;
      case ModemLineReader::Wait::kTimeout: return answer;
      case ModemLineReader::Wait::kWoken:
      case ModemLineReader::Wait::kHangUp: break;
    }
    answer.end = ChatAnswer::End::kPortFailed;
    return answer;
  }
}

std::string ChatEndText(const ChatAnswer& answer, milliseconds limit) {
  switch (answer.end) {
    case ChatAnswer::End::kResult: return answer.result_text;
    case ChatAnswer::End::kTimeout:
      return "no answer within " + std::to_string(limit.count()) + " ms";
    case ChatAnswer::End::kPortFailed: break;
  }
  return "the port failed";
}

}  // namespace zentrel
