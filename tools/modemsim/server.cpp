// The poll() loop. Each turn: run what is due (dial delay, idle timeout,
// received bytes whose line time has passed), write what is due, finish an
// ending call, then sleep in poll() until the next due time or an event.
// SIGINT/SIGTERM arrive through a signalfd, so they end the loop cleanly.
#include "server.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "line_session.h"
#include "pty_port.h"
#include "session.h"

namespace zentrel::modemsim {
namespace {

constexpr int kLingerCheckMs = 10;

int MsUntil(Server::Clock::time_point now, Server::Clock::time_point when) {
  if (when <= now) return 0;
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when - now);
  return static_cast<int>((us.count() + 999) / 1000);
}

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)),
      log_(options_.log_path),
      rx_(options_.bits_per_second),
      tx_(options_.bits_per_second) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) ThrowErrno("sigprocmask");
  signal_fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signal_fd_ < 0) ThrowErrno("signalfd");
}

Server::~Server() {
  link_.reset();
  ::close(signal_fd_);
}

void Server::NewSession() {
  if (options_.direct || options_.listen) {
    session_ = std::make_unique<LineSession>(options_.scenario, options_.slow_wakeups);
  } else {
    // busy-twice: each session plays busy until two calls have been dialled.
    const bool busy_now = options_.scenario == Scenario::kBusyTwice && calls_dialled_ < 2;
    const Scenario scenario = options_.scenario != Scenario::kBusyTwice ? options_.scenario
                              : busy_now                                ? Scenario::kBusy
                                                                        : Scenario::kAccept;
    session_ = std::make_unique<Session>(scenario, options_.slow_wakeups);
  }
  rx_ = LinePacer(options_.bits_per_second);
  tx_ = LinePacer(options_.bits_per_second);
  unwritten_.clear();
  rx_log_.clear();
  dial_due_.reset();
  in_call_ = false;
  heard_ = false;
  ending_.reset();
  linger_until_.reset();
}

void Server::Announce() {
  std::printf("ready %s\n", link_->Where().c_str());
  std::fflush(stdout);
  log_.Ready(link_->Where());
}

// The line is dropped and a fresh one waits for the next caller.
void Server::DropLine() {
  link_->Drop();
  NewSession();
  if (link_->AnnounceAfterDrop()) Announce();
}

bool Server::LineUp() {
  if (in_call_ || !(options_.direct || options_.listen)) return false;
  in_call_ = true;
  log_.Call("");
  return true;
}

void Server::Carry(const Actions& actions) {
  const auto now = Clock::now();
  for (const Action& action : actions) {
    if (const auto* send = std::get_if<SendBytes>(&action)) {
      tx_.Push(send->bytes, now);
      log_.Tx(send->bytes);
    } else if (const auto* dial = std::get_if<DialStarted>(&action)) {
      log_.Call(dial->number);
      in_call_ = true;
      ++calls_dialled_;
      dial_due_ = now + std::chrono::milliseconds(options_.connect_delay_ms);
    } else if (const auto* block = std::get_if<BlockReceived>(&action)) {
      log_.Block(*block);
    } else if (const auto* end = std::get_if<CallEnded>(&action)) {
      ending_ = *end;
    }
  }
}

void Server::RunTimers(Clock::time_point now) {
  if (dial_due_ && now >= *dial_due_) {
    dial_due_.reset();
    last_seen_ = now;
    guard_told_ = false;
    Carry(session_->DialDone());
  }
  if (session_->GuardTimed() && !guard_told_ &&
      now - last_seen_ >= std::chrono::milliseconds(options_.escape_guard_ms)) {
    guard_told_ = true;
    Carry(session_->GuardSilence());
  }
  if (session_->IdleTimerRunning() &&
      now - last_seen_ >= std::chrono::milliseconds(options_.idle_timeout_ms)) {
    Carry(session_->IdleTimeout());
  }
  const std::string seen = rx_.TakeDue(now);
  if (seen.empty()) return;
  last_seen_ = now;
  guard_told_ = false;
  rx_log_ += seen;
  const Actions actions = session_->Receive(seen);
  // One rx line per burst (paced bytes trickle in), written before the
  // answers it caused.
  if (rx_.empty() || !actions.empty()) {
    log_.Rx(rx_log_);
    rx_log_.clear();
  }
  Carry(actions);
}

void Server::FlushOutput(Clock::time_point now) {
  unwritten_ += tx_.TakeDue(now);
  if (unwritten_.empty() || !link_->HasClient()) return;
  const ssize_t n = link_->Write(unwritten_.data(), unwritten_.size());
  if (n > 0) unwritten_.erase(0, static_cast<std::size_t>(n));
}

bool Server::ReadClient(Clock::time_point now) {
  char buf[512];
  for (;;) {
    const ssize_t n = link_->Read(buf, sizeof buf);
    if (n < 0) return true;
    if (n == 0) return false;
    heard_ = true;
    LineUp();
    rx_.Push(std::string_view(buf, static_cast<std::size_t>(n)), now);
  }
}

bool Server::EndCall(std::string_view by, bool drop_line) {
  const bool was_call = in_call_;
  if (drop_line) log_.Hangup(by);
  in_call_ = false;
  ending_.reset();
  linger_until_.reset();
  return options_.once && was_call && heard_;
}

bool Server::FinishEnding(Clock::time_point now) {
  if (!tx_.empty() || !unwritten_.empty()) return false;
  if (!linger_until_) linger_until_ = now + std::chrono::milliseconds(options_.linger_ms);
  if (now < *linger_until_ && link_->PendingForClient() > 0) return false;
  const bool drop_line = ending_->drop_line;
  if (EndCall("terminal", drop_line)) return true;
  if (drop_line) DropLine();
  return false;
}

bool Server::ClientLeft() {
  const bool stop = ending_ ? EndCall("terminal", ending_->drop_line) : EndCall("client", in_call_);
  if (stop) return true;
  DropLine();
  return false;
}

int Server::PollTimeoutMs(Clock::time_point now) const {
  std::optional<Clock::time_point> next;
  auto consider = [&next](std::optional<Clock::time_point> when) {
    if (when && (!next || *when < *next)) next = when;
  };
  consider(rx_.NextDue());
  consider(tx_.NextDue());
  consider(dial_due_);
  if (session_->IdleTimerRunning()) {
    consider(last_seen_ + std::chrono::milliseconds(options_.idle_timeout_ms));
  }
  if (session_->GuardTimed() && !guard_told_) {
    consider(last_seen_ + std::chrono::milliseconds(options_.escape_guard_ms));
  }
  int timeout = next ? MsUntil(now, *next) : -1;
  if (ending_ && (timeout < 0 || timeout > kLingerCheckMs)) timeout = kLingerCheckMs;
  return timeout;
}

int Server::Run() {
  link_ = options_.listen ? MakeTcpLinkEnd(options_.listen_on) : MakePtyLinkEnd(options_.link);
  NewSession();
  Announce();
  for (;;) {
    const auto now = Clock::now();
    RunTimers(now);
    FlushOutput(now);
    if (ending_ && FinishEnding(now)) return 0;
    pollfd fds[2] = {{link_->PollFd(), link_->PollEvents(!unwritten_.empty()), 0},
                     {signal_fd_, POLLIN, 0}};
    if (::poll(fds, 2, PollTimeoutMs(now)) < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("poll");
    }
    if (fds[1].revents != 0) return 0;
    const short revents = fds[0].revents;
    if (!link_->HasClient()) {
      const bool up = revents != 0 && link_->Progress(revents);
      for (; connections_ < link_->Accepted(); ++connections_) log_.Connection(connections_ + 1);
      if (up) {
        NewSession();
        LineUp();
      }
      continue;
    }
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
      const bool present = ReadClient(Clock::now());
      if ((!present || (revents & POLLHUP)) && ClientLeft()) return 0;
    }
  }
}

}  // namespace zentrel::modemsim
