// The settings through CLI11, whose configuration file reader takes the
// "key = value" lines of gateway.conf for the options of the same names.
#include "gateway/settings.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "queue/page_queue.h"
#include "telephony/lines_config.h"
#include "tools/program_cli.h"

namespace zentrel::gateway {

std::string DefaultConfigPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return std::string(config) + "/zentrel/gateway.conf";
  const char* home = std::getenv("HOME");
  return home ? std::string(home) + "/.config/zentrel/gateway.conf" : "";
}

namespace {

// zentrel-send in this program's own folder when it is there, else on PATH.
std::string DefaultWorker() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const auto beside = self.parent_path() / "zentrel-send";
    if (std::filesystem::exists(beside, ec)) return beside.string();
  }
  return "zentrel-send";
}

void AddOptions(CLI::App& app, GatewaySettings& s, std::vector<std::string>& waits) {
  app.add_option("--queue", s.queue_path,
                 "the queue's file (default $XDG_STATE_HOME/zentrel/queue.db), or a database "
                 "shared with other gateways: postgresql://...");
  app.add_option("--name", s.name, "this gateway's name in a shared queue (default the host name)");
  app.add_option("--lease-seconds", s.lease_seconds,
                 "seconds after which another gateway takes over the pages of a call this one "
                 "stopped renewing (shared queue)")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--reconnect-max", s.reconnect_max_s,
                 "seconds at most between tries to reach a shared queue's database again")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--lines-heartbeat", s.lines_heartbeat_s,
                 "seconds between writes of this gateway's lines to the queue, for every "
                 "gateway's view; after three missed it shows as not seen")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--lines", s.lines_path, "the lines file (default as zentrel-send finds it)");
  app.add_option("--db", s.db_path, "the recipients' database")->capture_default_str();
  app.add_option("--socket", s.socket_path,
                 "the local socket (default $XDG_RUNTIME_DIR/zentrel/gateway.sock)");
  app.add_option("--retry-after", waits, "seconds before each new try, the last repeating")
      ->capture_default_str();
  app.add_option("--expire-after", s.policy.expire_after, "seconds after which a page is given up")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--dedupe-window", s.policy.dedupe_window,
                 "seconds within which the same text to the same PIN is sent once")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--max-pages-per-call", s.max_pages_per_call, "pages one call takes at most")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  app.add_option("--call-timeout", s.call_timeout_s, "seconds one call may take")
      ->capture_default_str()
      ->check(CLI::Range(1, 86400));
  app.add_option("--call-margin", s.call_margin_s,
                 "seconds past a call's time-out before its worker is stopped")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--client-timeout", s.client_timeout_s, "seconds a silent socket client is kept")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--stop-grace", s.stop_grace_s,
                 "seconds a call has to end after SIGTERM before it is killed")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--worker", s.worker_program, "the program that runs one call (zentrel-send)");
  AddHttpOptions(app, s.http);
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || !*name) return "gateway";
  return name;
}

}  // namespace

std::string DefaultSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && *runtime ? std::string(runtime) + "/zentrel/gateway.sock" : "";
}

std::variant<GatewaySettings, int> ParseSettings(int argc, char** argv) {
  CLI::App app("Queues pages durably and delivers them over every configured line.");
  UseProgramConventions(app, "zentrel-gateway");
  GatewaySettings s;
  // One value ("30 60 120") or several (gateway.conf's unquoted list).
  std::vector<std::string> waits{"30 60 120 300 600"};
  AddOptions(app, s, waits);
  AddSnppOptions(app, s.snpp);
  app.set_config("--config", DefaultConfigPath(), "the settings file (gateway.conf)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (const auto status = FinishSnppSettings(s.snpp)) return *status;
  std::string joined;
  for (const std::string& w : waits) joined += w + " ";
  const auto parsed = queue::ParseWaits(joined);
  if (!parsed) {
    std::cerr << "zentrel-gateway: --retry-after takes seconds, like \"30 60 120 300 600\"\n";
    return 2;
  }
  s.policy.waits = *parsed;
  if (s.queue_path.empty()) s.queue_path = queue::DefaultQueuePath();
  if (s.name.empty()) s.name = HostName();
  if (s.lines_path.empty()) s.lines_path = LinesConfigPath();
  if (s.socket_path.empty()) s.socket_path = DefaultSocketPath();
  if (s.worker_program.empty()) s.worker_program = DefaultWorker();
  if (s.socket_path.empty()) {
    std::cerr << "zentrel-gateway: XDG_RUNTIME_DIR is not set: name the socket with --socket\n";
    return 2;
  }
  if (const std::string why = FinishHttpSettings(s.http); !why.empty()) {
    std::cerr << "zentrel-gateway: " << why << "\n";
    return 2;
  }
  return s;
}

}  // namespace zentrel::gateway
