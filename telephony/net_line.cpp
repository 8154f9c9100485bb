// What the network kinds (TCP, TLS) share: the check brings the line up
// (connection, handshake) and keeps it; the first call takes it over, so the
// gateway sees one connection per call and a failure to reach it is the
// reason the line is skipped for the next. A later call on the same open
// line connects anew. A connection nobody took is closed with its holder.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "seriallink/net_connect.h"
#include "telephony/direct_lines.h"

namespace zentrel {
namespace {

class NetConnection : public LineReady {
 public:
  NetConnection(int fd, CommHandover handover) : fd_(fd), handover_(std::move(handover)) {}
  ~NetConnection() override {
    handover_ = {};  // a TLS session goes before its socket
    if (fd_ >= 0) close(fd_);
  }
  // The connection, once; -1 after that.
  int Take(CommHandover* handover) {
    std::lock_guard lock(mutex_);
    const int fd = fd_;
    fd_ = -1;
    *handover = std::move(handover_);
    handover_ = {};
    return fd;
  }

 private:
  std::mutex mutex_;
  int fd_;
  CommHandover handover_;
};

LineProblemKind ConnectProblemKind(int error_number) {
  switch (error_number) {
    case ECONNREFUSED: return LineProblemKind::kRefused;
    case ETIMEDOUT: return LineProblemKind::kNoAnswer;
    case ECANCELED: return LineProblemKind::kOther;
    default: return LineProblemKind::kUnreachable;
  }
}

}  // namespace

std::string NetLineWhere(const LineConfig& line) {
  const NetLineFields& net = *line.As<NetLineFields>();
  return net.host + ":" + net.service;
}

int ConnectLine(const LineConfig& line, std::chrono::milliseconds limit, int wake_fd,
                LineProblem* problem) {
  const NetLineFields& net = *line.As<NetLineFields>();
  std::string error;
  int error_number = 0;
  const int fd = ConnectTcp(net.host, net.service, limit, wake_fd, &error, &error_number);
  if (fd >= 0) return fd;
  problem->kind = ConnectProblemKind(error_number);
  problem->cause = "the gateway cannot be reached: " + error;
  if (error_number != ETIMEDOUT && error_number != ECANCELED) problem->system = error;
  return -1;
}

LineCheck CheckNetLine(const LineConfig& line, const LineSettings& settings, NetBringUp bring_up) {
  LineCheck check;
  CommHandover handover;
  const int fd = bring_up(line, settings.direct.check_timeout, -1, &handover, &check.problem);
  if (fd < 0) {
    check.usable = false;
    return check;
  }
  check.ready = std::make_shared<NetConnection>(fd, std::move(handover));
  return check;
}

std::unique_ptr<IOpenLine> OpenNetLine(const LineConfig& line, const LineSettings& settings,
                                       std::shared_ptr<LineReady> ready, NetBringUp bring_up) {
  std::shared_ptr<NetConnection> held = std::dynamic_pointer_cast<NetConnection>(ready);
  LineOpener opener = [line, held, bring_up](std::chrono::milliseconds limit, int wake_fd,
                                             CommHandover* handover, LineProblem* problem) {
    const int fd = held ? held->Take(handover) : -1;
    if (fd >= 0) return fd;
    return bring_up(line, limit, wake_fd, handover, problem);
  };
  return MakeDirectOpenLine(line.LineName(), std::move(opener), settings.direct);
}

}  // namespace zentrel
