// The emulator's single-threaded poll() loop: one caller at a time on a link
// end (a pty, or a TCP/TLS listener), the modem session on a pty or the bare
// terminal on a direct line or connection, pacing both ways, the dial delay
// and the terminal's idle timeout. When a call ends with a hang-up, or the
// client leaves, the line is dropped (a pty is replaced by a fresh one behind
// the same link; a connection is closed), so no stale bytes reach the next
// caller.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "event_log.h"
#include "line_pacer.h"
#include "link_end.h"
#include "scenario.h"
#include "session_base.h"

namespace zentrel::modemsim {

struct ServerOptions {
  std::string link;     // the pty's symlink (modem or --direct)
  bool direct = false;  // the terminal on the pty with no modem
  bool listen = false;  // serve over TCP (TLS with listen_on.cert)
  ListenOptions listen_on;
  Scenario scenario = Scenario::kAccept;
  int connect_delay_ms = 500;
  int bits_per_second = 0;  // 0: no pacing
  int slow_wakeups = 2;
  int idle_timeout_ms = 10000;  // the terminal's patience after the log-on
  int escape_guard_ms = 1000;   // silence needed before and after "+++"
  int linger_ms = 2000;         // at most this long for the client to read
  std::string log_path;
  bool once = false;
};

class Server {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Server(ServerOptions options);
  ~Server();
  // Serves until SIGINT/SIGTERM (or one call with `once`); returns the exit
  // status. The link is removed on the way out.
  int Run();

 private:
  void NewSession();
  void Announce();
  void DropLine();
  bool LineUp();  // a caller reached a line with no modem
  void Carry(const Actions& actions);
  void RunTimers(Clock::time_point now);
  void FlushOutput(Clock::time_point now);
  bool ReadClient(Clock::time_point now);  // false: the client left
  // These three return true when serving should stop (`once`).
  bool EndCall(std::string_view by, bool drop_line);
  bool FinishEnding(Clock::time_point now);
  bool ClientLeft();
  int PollTimeoutMs(Clock::time_point now) const;

  ServerOptions options_;
  EventLog log_;
  std::unique_ptr<LinkEnd> link_;
  std::unique_ptr<ISession> session_;
  LinePacer rx_;
  LinePacer tx_;
  std::string unwritten_;
  std::string rx_log_;  // bytes seen, not yet logged
  std::optional<Clock::time_point> dial_due_;
  int calls_dialled_ = 0;  // in this run, for busy-twice
  Clock::time_point last_seen_{};
  bool guard_told_ = false;  // the session heard of this quiet spell
  bool in_call_ = false;
  int connections_ = 0;  // TCP connections logged so far
  bool heard_ = false;   // the caller sent something: a connect-and-close is not the one call
  std::optional<CallEnded> ending_;
  std::optional<Clock::time_point> linger_until_;
  int signal_fd_ = -1;
};

}  // namespace zentrel::modemsim
