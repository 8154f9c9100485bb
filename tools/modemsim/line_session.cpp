// Bytes straight to the terminal; its end is the end of the line.
#include "line_session.h"

namespace zentrel::modemsim {

Actions LineSession::Receive(std::string_view bytes) {
  Actions out;
  for (char byte : bytes) {
    if (ended_) break;
    terminal_.Feed(byte, out);
    EndIfTerminalGone(out);
  }
  return out;
}

Actions LineSession::IdleTimeout() {
  Actions out;
  if (ended_) return out;
  terminal_.IdleTimeout(out);
  EndIfTerminalGone(out);
  return out;
}

void LineSession::EndIfTerminalGone(Actions& out) {
  if (ended_ || !terminal_.gone()) return;
  ended_ = true;
  out.push_back(CallEnded{true});
}

}  // namespace zentrel::modemsim
