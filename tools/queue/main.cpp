// zentrel-queue: looks at and acts on the gateway's queue through its socket:
// list the pages, show one, cancel, retry now, hold or release one. Each
// command is one request to zentrel-gateway; the daemon decides, this program
// only shows its answer (as text, or as the daemon's JSON with --json).
// Exit status: 0 done, 1 gateway not reachable, 2 usage, 3 no such page,
// 4 the gateway refused the action.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "base/terminal_text.h"
#include "tools/program_cli.h"
#include "tools/queue/gateway_client.h"
#include "tools/queue/queue_format.h"

namespace {

using nlohmann::json;

constexpr int kExitDone = 0;
constexpr int kExitUnreachable = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoSuchPage = 3;
constexpr int kExitRefused = 4;

struct Command {
  std::string op;
  long long id = 0;
  bool json = false;
};

double Now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace); }

// What a successful action says: "Page 12 cancelled." and its state now.
std::string Done(const Command& c, const json& page) {
  const std::string id = std::to_string(c.id);
  const auto it = page.is_object() ? page.find("state") : page.end();
  const std::string state =
      it != page.end() && it->is_string() ? zentrel::TerminalSafe(it->get<std::string>()) : "";
  const std::string said = c.op == "cancel"  ? "cancelled"
                           : c.op == "retry" ? "to be tried now"
                           : c.op == "hold"  ? "held"
                                             : "released";
  return "Page " + id + " " + said + (state.empty() ? "" : " (" + state + ")") + ".\n";
}

int Show(const Command& c, const zentrel::GatewayReply& reply) {
  const json& body = reply.body;
  if (c.op == "list") {
    const json pages = body.value("pages", json::array());
    std::cout << (c.json ? Dump(pages) + "\n" : zentrel::QueueTable(pages, Now()));
  } else {
    const json page = body.value("page", json::object());
    if (c.json) {
      std::cout << Dump(page) << "\n";
    } else {
      std::cout << (c.op == "show" ? zentrel::PageDetails(page, Now()) : Done(c, page));
    }
  }
  return kExitDone;
}

int Run(const std::string& socket, const Command& c) {
  try {
    zentrel::GatewayClient client(socket);
    json request = {{"op", c.op}};
    if (c.op != "list") request["id"] = c.id;
    const zentrel::GatewayReply reply = client.Ask(request);
    if (reply.ok) return Show(c, reply);
    std::fprintf(stderr, "zentrel-queue: %s\n", zentrel::TerminalSafe(reply.error).c_str());
    return reply.code == "no-such-page" ? kExitNoSuchPage : kExitRefused;
  } catch (const zentrel::GatewayError& e) {
    std::fprintf(stderr, "zentrel-queue: %s\n", zentrel::TerminalSafe(e.what()).c_str());
    return kExitUnreachable;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string socket = zentrel::DefaultGatewaySocket();
  Command command;
  CLI::App app{"Lists and acts on the pages queued in zentrel-gateway."};
  zentrel::UseProgramConventions(app, "zentrel-queue");
  app.add_option("--socket", socket, "the gateway's socket")->capture_default_str();
  app.add_flag("--json", command.json, "the gateway's answer as JSON");
  app.require_subcommand(1);
  app.fallthrough();
  app.add_subcommand("list", "list the pages: state, PIN, age, attempts, next try, last reason")
      ->callback([&] { command.op = "list"; });
  const std::pair<const char*, const char*> actions[] = {
      {"show", "show one page and its attempts"},
      {"cancel", "cancel a page that is not yet final"},
      {"retry", "try a queued page now"},
      {"hold", "keep a queued page from being delivered"},
      {"release", "let a held page be delivered"}};
  for (const auto& [name, what] : actions) {
    auto* sub = app.add_subcommand(name, what);
    sub->add_option("ID", command.id, "the page's id")->required()->check(CLI::PositiveNumber);
    sub->callback([&command, op = std::string(name)] { command.op = op; });
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitDone : kExitUsage;
  }
  return Run(socket, command);
}
