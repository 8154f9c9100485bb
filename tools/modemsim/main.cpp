// zentrel-modemsim: a Hayes modem with a paging terminal behind it, on a pty
// whose slave --link names, so a lines.conf line "modem PATH" dials it; with
// --direct the terminal alone on the pty (a "serial PATH ..." line), with
// --listen the terminal alone over TCP, or TLS with --tls CERT KEY.
// Prints "ready /dev/pts/N" (flushed) whenever a pty is up behind the link,
// "ready HOST:PORT" once the listener is up.
// Hang-up: a pty can't drop carrier, so once "NO CARRIER" has been read the
// master is closed (the client sees POLLHUP, its reads end) and a fresh pty
// is linked in (a temporary symlink renamed over the link). See server.h.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "pty_port.h"
#include "scenario.h"
#include "server.h"
#include "tools/program_cli.h"

int main(int argc, char** argv) {
  using namespace zentrel::modemsim;
  ServerOptions options;
  std::string scenario = "accept";
  std::vector<std::string> names;
  for (auto name : ScenarioNames()) names.emplace_back(name);

  CLI::App app{"Emulates a Hayes modem with a paging terminal behind it, on a pseudo-terminal."};
  zentrel::UseProgramConventions(app, "zentrel-modemsim");
  std::string listen;
  std::vector<std::string> tls;
  auto* link = app.add_option("--link", options.link, "symlink to create to the pty's slave");
  app.add_flag("--direct", options.direct, "the terminal alone on the pty, with no modem")
      ->needs(link);
  auto* listen_opt =
      app.add_option(
             "--listen", listen,
             "serve the terminal over TCP on HOST:PORT (host 127.0.0.1 if left out; port 0: any)")
          ->excludes(link);
  app.add_option("--tls", tls, "with --listen: serve TLS with this certificate (PEM) and key")
      ->expected(2)
      ->needs(listen_opt);
  app.add_option("--scenario", scenario, "how the modem and terminal behave")
      ->check(CLI::IsMember(names));
  app.add_option("--connect-delay-ms", options.connect_delay_ms,
                 "time from ATD to CONNECT (or the failure)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--bits-per-second", options.bits_per_second,
                 "pace both directions as a line at N bit/s, 10 bits a character (0: off)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--log", options.log_path, "write one JSON line per event to FILE");
  app.add_flag("--once", options.once, "serve one call, then exit");
  app.add_option("--slow-wakeups", options.slow_wakeups,
                 "scenario slow: wake-up CRs left unanswered")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--idle-timeout-ms", options.idle_timeout_ms,
                 "after the log-on, the terminal disconnects after this long without input")
      ->check(CLI::PositiveNumber);
  app.add_option("--escape-guard-ms", options.escape_guard_ms,
                 "silence before and after +++ that returns the modem to commands")
      ->check(CLI::PositiveNumber);
  app.add_option("--linger-ms", options.linger_ms,
                 "before a hang-up, wait at most this long for the client to read")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--max-connections", options.listen_on.max_connections,
                 "with --listen: accept this many connections in all, then refuse every caller")
      ->check(CLI::PositiveNumber)
      ->needs(listen_opt);
  CLI11_PARSE(app, argc, argv);
  options.scenario = *ParseScenario(scenario);
  options.listen = !listen.empty();
  if (options.listen && !ParseListenAddress(listen, &options.listen_on)) {
    std::fprintf(stderr, "zentrel-modemsim: --listen: expected HOST:PORT, got %s\n",
                 listen.c_str());
    return 2;
  }
  if (!options.listen && options.link.empty()) {
    std::fprintf(stderr, "zentrel-modemsim: --link or --listen is required\n");
    return 2;
  }
  if (tls.size() == 2) {
    options.listen_on.cert = tls[0];
    options.listen_on.key = tls[1];
    options.listen_on.handshake = options.scenario != Scenario::kSilent;
  }
  options.listen_on.linger_ms = options.linger_ms;

  try {
    Server server(std::move(options));
    return server.Run();
  } catch (const ModemSimError& e) {
    std::fprintf(stderr, "zentrel-modemsim: %s\n", e.what());
    return 1;
  }
}
