// zentrel-lines: setting up the lines a page goes out on. With no command
// (or `list`) it lists the serial ports and what answered AT and ATI on
// each; `check` tries every configured line; `add PORT` writes a modem line
// for a port. Exit 0 when done (check: every line usable), 1 when not, 2
// for bad usage.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "base/terminal_text.h"
#include "telephony/lines_config.h"
#include "tools/lines/line_check.h"
#include "tools/lines/lines_add.h"
#include "tools/lines/port_probe.h"
#include "tools/program_cli.h"

namespace {

using namespace zentrel;

int List(const std::string& dev, const ProbeOptions& options) {
  const auto ports = CandidatePorts(dev);
  if (ports.empty()) std::cout << "no serial ports under " << dev << "\n";
  for (const std::string& port : ports) {
    std::cout << TerminalSafe(ProbeLine(ProbePort(port, options))) << std::endl;
  }
  return 0;
}

int Check(const CheckOptions& options) {
  const std::string path = LinesConfigPath();
  const LinesConfig config = LoadLinesConfig(path);
  if (!config.error.empty()) {
    std::fprintf(stderr, "zentrel-lines: %s %s\n", TerminalSafe(path).c_str(),
                 TerminalSafe(config.error).c_str());
    return 1;
  }
  if (config.lines.empty()) {
    std::fprintf(stderr, "zentrel-lines: %s\n", TerminalSafe(config.why_none).c_str());
    return 1;
  }
  bool all = true;
  for (const LineConfig& line : config.lines) {
    const LineReport check = CheckLine(line, options);
    std::cout << (check.usable ? "ok    " : "FAILED ") << TerminalSafe(check.text) << std::endl;
    all = all && check.usable;
  }
  return all ? 0 : 1;
}

int Add(const AddRequest& request) {
  const std::string path = LinesConfigPath();
  const std::string error = AddModemLine(path, request);
  if (!error.empty()) {
    std::fprintf(stderr, "zentrel-lines: %s\n", TerminalSafe(error).c_str());
    return 1;
  }
  std::cout << "added to " << path << ": " << ModemLineText(request) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dev = "/dev";
  int timeout_ms = 2000;
  AddRequest request;
  CLI::App app{
      "Lists the serial ports and what answers on them, checks the configured lines, adds a modem "
      "line."};
  UseProgramConventions(app, "zentrel-lines");
  app.fallthrough();
  app.add_option("--dev", dev, "the device folder to look for ports in")->capture_default_str();
  app.add_option("--probe-timeout-ms", timeout_ms, "how long to wait for each answer")
      ->capture_default_str()
      ->check(CLI::Range(1, 600000));
  auto* list =
      app.add_subcommand("list", "list the ports and probe each with AT and ATI (the default)");
  auto* check =
      app.add_subcommand("check", "open and initialise every configured line and report each");
  auto* add = app.add_subcommand("add", "append a modem line for PORT to the line configuration");
  add->add_option("PORT", request.port, "the modem's port")->required();
  add->add_option("--speed", request.speed, "the line's speed in bit/s");
  add->add_option("INIT", request.init, "the modem's init string (default ATZ)");
  app.require_subcommand(0, 1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  const std::chrono::milliseconds limit{timeout_ms};
  if (*check) return Check({limit, {}});
  if (*add) return Add(request);
  (void)list;
  ProbeOptions options;
  options.limit = limit;
  return List(dev, options);
}
