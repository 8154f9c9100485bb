// TAP over TCP to a paging gateway: nothing is held between calls; a call
// is up once its connection is made within the connect time-out. No line
// settings, no line errors; the gateway closing the connection ends the call.
#include "seriallink/net_connect.h"
#include "telephony/direct_lines.h"

namespace zentrel {

int ConnectLine(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
                std::string* error) {
  return ConnectTcp(line.host, line.service, limit, wake_fd, error);
}

std::string CheckTcpLine(const LineConfig&, const LineSettings&) {
  return {};  // a gateway can only be tried by calling it
}

std::unique_ptr<IOpenLine> OpenTcpLine(const LineConfig& line, const LineSettings& settings,
                                       LineOpenFailure*) {
  LineOpener opener = [line](std::chrono::milliseconds limit, int wake_fd, CommHandover*,
                             std::string* error) { return ConnectLine(line, limit, wake_fd, error); };
  return MakeDirectOpenLine(line.LineName(), std::move(opener), settings.direct);
}

}  // namespace zentrel
