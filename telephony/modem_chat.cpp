// Talking to a modem one command at a time: every byte goes through the
// line splitter and the response parser the dialler uses, with bit 7
// cleared on a 7-bit line. The whole exchange keeps to one deadline; a
// line ended by CR alone counts once no LF has followed within a grace.
#include "telephony/modem_chat.h"

#include <algorithm>

#include "telephony/hayes_call.h"

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
  const bool seven_bit = port.format().data_bits == 7;
  HayesLineSplitter splitter;
  char buffer[256];
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return answer;
    const bool after_cr = splitter.AwaitingLineFeed();
    if (after_cr) left = std::min(left, line_end_grace);
    std::size_t got = 0;
    const auto read = port.Read(buffer, sizeof buffer, &got, left, -1);
    if (read == TtyPort::ReadResult::kHangUp) {
      if (splitter.HasPartial() && Take(*splitter.Flush(), &answer)) return answer;
      answer.end = ChatAnswer::End::kPortFailed;
      return answer;
    }
    if (read == TtyPort::ReadResult::kTimeout && after_cr) {
      if (Take(*splitter.Flush(), &answer)) return answer;  // a modem ending lines with CR
    }
    if (read != TtyPort::ReadResult::kData) continue;
    for (std::size_t i = 0; i < got; ++i) {
      const char byte = seven_bit ? static_cast<char>(buffer[i] & 0x7f) : buffer[i];
      if (auto line = splitter.Feed(byte); line && Take(*line, &answer)) return answer;
    }
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
