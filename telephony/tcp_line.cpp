// TAP over TCP to a paging gateway: nothing is held between calls; a call
// is up once its connection is made within the connect time-out. No line
// settings, no line errors; the gateway closing the connection ends the call.
// The line check connects and closes at once, so a gateway that is down is
// passed over for the next line.
#include <unistd.h>

#include "seriallink/net_connect.h"
#include "telephony/direct_lines.h"

namespace zentrel {

int ConnectLine(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
                std::string* error) {
  return ConnectTcp(line.host, line.service, limit, wake_fd, error);
}

std::string CheckGateway(const LineConfig& line, const LineSettings& settings) {
  std::string error;
  const int fd = ConnectLine(line, settings.direct.check_timeout, -1, &error);
  if (fd < 0) return "the gateway cannot be reached: " + error;
  close(fd);
  return {};
}

std::string CheckTcpLine(const LineConfig& line, const LineSettings& settings) {
  return CheckGateway(line, settings);
}

std::unique_ptr<IOpenLine> OpenTcpLine(const LineConfig& line, const LineSettings& settings,
                                       LineOpenFailure*) {
  LineOpener opener = [line](std::chrono::milliseconds limit, int wake_fd, CommHandover*,
                             std::string* error) { return ConnectLine(line, limit, wake_fd, error); };
  return MakeDirectOpenLine(line.LineName(), std::move(opener), settings.direct);
}

}  // namespace zentrel
