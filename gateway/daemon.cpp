// The loop of daemon.h. Signals arrive through a signalfd (blocked for the
// whole process, unblocked again in each worker), so nothing runs in a
// signal handler and the loop sees them in order with everything else.
#include "gateway/daemon.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>

#include "gateway/handler.h"
#include "gateway/http_front.h"
#include "gateway/line_board.h"
#include "gateway/line_calls.h"
#include "gateway/log.h"
#include "gateway/recipients.h"
#include "gateway/service_notify.h"
#include "gateway/snpp_backend.h"
#include "gateway/socket_server.h"

namespace zentrel::gateway {

namespace {

constexpr rlim_t kMaxClients = 4096;

int OpenSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

// Many clients at once need descriptors: take what the system allows, and
// keep some for the queue, the lines and the workers' pipes.
std::size_t RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 256;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) getrlimit(RLIMIT_NOFILE, &limit);
  }
  const rlim_t usable = limit.rlim_cur > 512 ? limit.rlim_cur - 256 : limit.rlim_cur / 2;
  return static_cast<std::size_t>(std::min<rlim_t>(usable, kMaxClients));
}

std::vector<LineConfig> ReadLines(const std::string& path) {
  LinesConfig config = LoadLinesConfig(path);
  if (!config.error.empty()) Log(path + ": " + config.error);
  if (config.lines.empty()) {
    Log("no line to send on (" + (config.why_none.empty() ? path : config.why_none) +
        "): pages are queued until SIGHUP brings lines");
  }
  for (const LineConfig& line : config.lines) Log("line: " + line.LineName());
  return config.lines;
}

struct Stop {
  bool stopping = false;
  double killed_at = 0;  // when the workers are killed if still running
};

class Loop {
 public:
  Loop(const GatewaySettings& s, const Clock& clock, queue::PageQueue& queue, Recipients& r,
       int signals, std::size_t max_clients)
      : s_(s),
        clock_(clock),
        queue_(queue),
        recipients_(r),
        signals_(signals),
        handler_(queue, r),
        snpp_(OpenSnpp(s.snpp, handler_, r, clock)),
        server_(s.socket_path, {s.client_timeout_s, max_clients, 1 << 20}, handler_),
        calls_(s, queue, [this] { server_.PagesChanged(); }),
        board_(queue, s.name, s.lines_heartbeat_s),
        http_(s, [this] {
          return DaemonState{
              handler_, queue_, recipients_, calls_, server_.Accepting(), clock_(), [this] {
                server_.PagesChanged();
              }};
        }) {
    calls_.SetLines(ReadLines(s.lines_path));
  }

  int Run() {
    Log("listening on " + s_.socket_path + "; queue " + queue::ShownAddress(s_.queue_path));
    notify_.Ready("Listening on " + s_.socket_path);
    for (;;) {
      double now = clock_();
      watchdog_due_ = notify_.Watchdog(now);
      if (!stop_.stopping) calls_.Dispatch(now);
      board_.Update(calls_.States(now), now);
      if (stop_.stopping && !calls_.Busy()) break;
      std::vector<pollfd> fds{{signals_, POLLIN, 0}, {queue_.WakeFd(), POLLIN, 0}};
      calls_.AddFds(fds);
      http_.AddFds(fds);
      const std::size_t first_client = fds.size();
      server_.AddFds(fds, now);
      const std::size_t first_snpp = fds.size();
      if (snpp_) snpp_->AddFds(fds, now);
      poll(fds.data(), fds.size(), WaitMs(now));
      now = clock_();
      if (fds[0].revents) ReadSignals(now);
      calls_.Serve(fds, now);
      http_.Serve(fds);
      server_.Serve(fds, first_client, now);
      if (snpp_) snpp_->Serve(fds, first_snpp, now);
      calls_.EndOverdue(now);
      if (stop_.stopping && now >= stop_.killed_at) calls_.Signal(SIGKILL);
    }
    board_.Withdraw();
    Log("stopped");
    return 0;
  }

 private:
  int WaitMs(double now) {
    // A shared queue's upkeep; "now" when pages changed elsewhere, which
    // may end what clients watch here.
    const double upkeep = queue_.Tick(now);
    if (upkeep <= now) server_.PagesChanged();
    double next = std::min({server_.NextDeadline(), calls_.NextDeadline(), watchdog_due_, upkeep,
                            board_.NextDue(), snpp_ ? snpp_->NextDeadline() : watchdog_due_});
    if (!stop_.stopping) {
      try {
        // Due pages wake the loop only when a line could take them; else it
        // would spin while every line is busy (or none is configured). A
        // call's end, a rest's end and the 60 s bound wake it meanwhile.
        if (auto due = queue_.NextDue(); due && calls_.CanStart(now)) next = std::min(next, *due);
      } catch (const queue::QueueError& e) {
        Log(e.what());
      }
    } else {
      next = std::min(next, stop_.killed_at);
    }
    if (!std::isfinite(next)) return 60000;
    return static_cast<int>(std::clamp(std::ceil((next - now) * 1000), 0.0, 60000.0));
  }

  void ReadSignals(double now) {
    signalfd_siginfo info{};
    while (read(signals_, &info, sizeof info) == sizeof info) {
      switch (info.ssi_signo) {
        case SIGCHLD: calls_.ChildExited(now); break;
        case SIGHUP: Reload(); break;
        default: StopTaking(now); break;
      }
    }
  }

  void StopTaking(double now) {
    if (stop_.stopping) return;
    Log("stopping: no more pages are taken; calls under way end first");
    stop_ = {true, now + s_.stop_grace_s};
    notify_.Stopping();
    server_.StopAccepting();
    if (snpp_) snpp_->StopAccepting();
    http_.StopAccepting();
    calls_.Stopping();
    calls_.Signal(SIGTERM);
  }

  void Reload() {
    Log("SIGHUP: reading the lines and the recipients again");
    notify_.Reloading();
    calls_.SetLines(ReadLines(s_.lines_path));
    try {
      recipients_ = LoadRecipients(s_.db_path);
    } catch (const std::exception& e) {
      Log(std::string(e.what()) + " (the recipients read before are kept)");
    }
    notify_.Ready("Listening on " + s_.socket_path);
  }

  const GatewaySettings& s_;
  const Clock& clock_;
  queue::PageQueue& queue_;
  Recipients& recipients_;
  int signals_;
  Handler handler_;
  std::unique_ptr<SnppServer> snpp_;
  SocketServer server_;
  LineCalls calls_;
  LineBoard board_;
  HttpFront http_;  // last: its requests under way end before the rest goes
  Stop stop_;
  ServiceNotify notify_;
  double watchdog_due_ = 0;
};

}  // namespace

double SystemSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

int RunDaemon(const GatewaySettings& settings, const Clock& clock) {
  const int signals = OpenSignals();
  if (signals < 0) {
    Log("cannot read signals");
    return 1;
  }
  const std::size_t max_clients = RaiseDescriptorLimit();
  try {
    Recipients recipients = LoadRecipients(settings.db_path);
    auto queue =
        queue::OpenQueue(settings.queue_path, settings.policy,
                         {settings.name, settings.lease_seconds, settings.reconnect_max_s});
    if (const int back = queue->Recover(clock()); back > 0) {
      Log(std::to_string(back) + " page(s) left on the line by the last run are queued again");
    }
    Loop loop(settings, clock, *queue, recipients, signals, max_clients);
    return loop.Run();
  } catch (const std::exception& e) {
    Log(e.what());
    return 1;
  }
}

}  // namespace zentrel::gateway
