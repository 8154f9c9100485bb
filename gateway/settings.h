// zentrel-gateway's settings: the command line and gateway.conf (the same
// keys, "key = value" lines; the command line wins). Defaults follow the
// XDG folders of the user running it; the service passes its own paths.
#pragma once

#include <cstddef>
#include <string>
#include <variant>

#include "gateway/http_settings.h"
#include "gateway/snpp_settings.h"
#include "queue/retry_policy.h"

namespace zentrel::gateway {

struct GatewaySettings {
  std::string queue_path;          // the queue's SQLite file, or a postgresql:// address
  std::string name;                // this gateway among those sharing a database (host name)
  double lease_seconds = 30;       // a shared queue's hold on a call's pages, renewed meanwhile
  double reconnect_max_s = 5;      // the longest wait between tries to reach a shared queue
  double lines_heartbeat_s = 5;    // this gateway's lines are written to the queue this often
  std::string lines_path;          // lines.conf
  std::string db_path = "vp.mdb";  // the recipients
  std::string socket_path;
  std::string worker_program;  // runs one call: "zentrel-send" beside this program
  queue::RetryPolicy policy;
  std::size_t max_pages_per_call = 20;
  int call_timeout_s = 120;      // given to each worker
  double call_margin_s = 30;     // past the time-out, a worker is stopped
  double client_timeout_s = 60;  // a socket client that says nothing
  double stop_grace_s = 10;      // SIGTERM: a call's time to end before it is killed
  SnppSettings snpp;
  HttpSettings http;
};

// The settings, or the process's exit status when the command line asked for
// --help or --version (0) or was wrong (2, with the message on stderr).
std::variant<GatewaySettings, int> ParseSettings(int argc, char** argv);

// $XDG_CONFIG_HOME/zentrel/gateway.conf (~/.config when unset).
std::string DefaultConfigPath();

// $XDG_RUNTIME_DIR/zentrel/gateway.sock; "" when XDG_RUNTIME_DIR is unset.
std::string DefaultSocketPath();

}  // namespace zentrel::gateway
