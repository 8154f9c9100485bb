// TAP over TCP to a paging gateway: a call is up once its connection is
// made. No line settings, no line errors; the gateway closing the connection
// ends the call. The check makes the connection the first call pages over
// (net_line.cpp), so a gateway that is down is passed over for the next line.
// Its lines.conf line: tcp HOST:PORT
#include "telephony/direct_lines.h"
#include "telephony/line_words.h"

namespace zentrel {
namespace {

int BringUpTcp(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd, CommHandover*,
               LineProblem* problem) {
  return ConnectLine(line, limit, wake_fd, problem);
}

std::string Parse(LineWords& words, LineConfig* line) {
  auto tcp = std::make_shared<NetLineFields>();
  line->fields = tcp;
  const std::string address = words.Next();
  if (address.empty()) return "tcp without HOST:PORT";
  const std::string error = ReadAddress(address, &tcp->host, &tcp->service);
  return error.empty() ? NothingLeft(words) : error;
}

std::string Name(const LineConfig& line) { return "TAP over TCP to " + NetLineWhere(line); }

LineCheck Check(const LineConfig& line, const LineSettings& settings) {
  return CheckNetLine(line, settings, BringUpTcp);
}

std::unique_ptr<IOpenLine> Open(const LineConfig& line, const LineSettings& settings,
                                std::shared_ptr<LineReady> ready, LineOpenFailure*) {
  return OpenNetLine(line, settings, std::move(ready), BringUpTcp);
}

}  // namespace

extern const LineKindOps kTcpLineKind = {"tcp",        false, Parse, Name,
                                         NetLineWhere, Check, Open,  false};

}  // namespace zentrel
