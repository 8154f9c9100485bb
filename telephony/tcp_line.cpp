// TAP over TCP to a paging gateway: a call is up once its connection is
// made. No line settings, no line errors; the gateway closing the connection
// ends the call. The check makes the connection the first call pages over
// (net_line.cpp), so a gateway that is down is passed over for the next line.
#include "telephony/direct_lines.h"

namespace zentrel {
namespace {

int BringUpTcp(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd, CommHandover*,
               LineProblem* problem) {
  return ConnectLine(line, limit, wake_fd, problem);
}

}  // namespace

LineCheck CheckTcpLine(const LineConfig& line, const LineSettings& settings) {
  return CheckNetLine(line, settings, BringUpTcp);
}

std::unique_ptr<IOpenLine> OpenTcpLine(const LineConfig& line, const LineSettings& settings,
                                       std::shared_ptr<LineReady> ready, LineOpenFailure*) {
  return OpenNetLine(line, settings, std::move(ready), BringUpTcp);
}

}  // namespace zentrel
