// One connection does it all: a submit request (all pages or none), the ids
// printed as soon as the gateway says they are committed, then with --follow
// a watch request on the same connection, each final page reported as it
// comes. Whatever the gateway sends is shown through TerminalSafe.
#include "tools/send/gateway_submit.h"

#include "base/terminal_text.h"
#include "tools/queue/gateway_client.h"

namespace zentrel {
namespace {

using nlohmann::json;

constexpr std::size_t kRequestMaxBytes = 1u << 20;  // the gateway reads no longer line

std::string Dump(const json& j, int indent = -1) {
  return j.dump(indent, ' ', false, json::error_handler_t::replace);
}

json SubmitRequest(const SendOptions& options, const std::vector<GatewayPage>& pages) {
  json list = json::array();
  for (const GatewayPage& p : pages) list.push_back({{"pin", p.pin}, {"text", p.text}});
  return {{"op", "submit"},
          {"pages", list},
          {"split", options.split},
          {"max_chars", options.max_chars},
          {"via", "zentrel-send"}};
}

std::string Field(const json& page, const char* key) {
  const auto it = page.find(key);
  if (it == page.end() || it->is_null()) return "";
  return TerminalSafe(it->is_string() ? it->get<std::string>() : Dump(*it));
}

// "Page 12 (PIN 1001): refused (terminal refused; the terminal said "...")"
std::string FinalLine(const json& page) {
  std::string line =
      "Page " + Field(page, "id") + " (PIN " + Field(page, "pin") + "): " + Field(page, "state");
  const bool accepted = Field(page, "state") == "accepted";
  std::string why = accepted ? "" : Field(page, "last_reason");
  const auto attempts = page.find("attempts");
  if (attempts != page.end() && attempts->is_array() && !attempts->empty() &&
      attempts->back().is_object()) {
    const std::string words = Field(attempts->back(), "words");
    if (!words.empty()) why += (why.empty() ? "" : "; ") + ("the terminal said \"" + words + "\"");
  }
  if (!why.empty()) line += " (" + why + ")";
  return line + "\n";
}

// Waits for every page's final state; returns the exit status.
int Follow(GatewayClient& client, const json& ids, bool as_json, json& finals, std::FILE* out) {
  client.Send({{"op", "watch"}, {"ids", ids}});
  bool all_accepted = true;
  for (;;) {
    const GatewayReply reply = client.Next(std::nullopt);
    if (!reply.ok) throw GatewayError("the gateway stopped the watch: " + reply.error);
    if (const auto done = reply.body.find("done"); done != reply.body.end() && *done == true) break;
    const json page = reply.body.value("page", json::object());
    all_accepted = all_accepted && page.is_object() && page.value("state", json()) == "accepted";
    finals.push_back(page);
    if (!as_json) std::fprintf(out, "%s", FinalLine(page).c_str());
    std::fflush(out);
  }
  if (finals.size() < ids.size()) all_accepted = false;  // a page the watch never reported
  return all_accepted ? kExitSent : kExitNotSent;
}

std::string IdList(const json& ids) {
  std::string text;
  for (const json& id : ids) text += (text.empty() ? "" : " ") + Dump(id);
  return text;
}

}  // namespace

void AddGatewayOptions(CLI::App& app, GatewayArgs& args) {
  args.gateway =
      app.add_option("--gateway", args.socket,
                     "queue the pages in zentrel-gateway (at this socket) instead of dialling")
          ->expected(0, 1);
  args.follow_opt = app.add_flag("--follow", args.follow,
                                 "with --gateway: wait until every page is accepted or not")
                        ->needs(args.gateway);
}

bool UsesGateway(const GatewayArgs& args) { return args.gateway != nullptr && *args.gateway; }

void CheckGatewayOptions(const CLI::App& app, const GatewayArgs& args) {
  if (!UsesGateway(args)) return;
  for (const char* name : {"--phone", "--db"}) {
    if (app.count(name) > 0) {
      throw CLI::ValidationError(name,
                                 std::string("cannot be used with --gateway: the gateway pages "
                                             "from its own recipients and their numbers"));
    }
  }
}

int SubmitToGateway(const GatewayArgs& args, const SendOptions& options,
                    const std::vector<GatewayPage>& pages, std::FILE* out, std::FILE* err) {
  const std::string socket = args.socket.empty() ? DefaultGatewaySocket() : args.socket;
  const json request = SubmitRequest(options, pages);
  if (Dump(request).size() >= kRequestMaxBytes) {
    std::fprintf(err,
                 "zentrel-send: the pages come to more than the 1 MiB the gateway takes at once\n");
    return kExitUsage;
  }
  json ids = json::array();
  try {
    GatewayClient client(socket);
    const GatewayReply reply = client.Ask(request);
    if (!reply.ok) {
      std::fprintf(err, "zentrel-send: %s\n", TerminalSafe(reply.error).c_str());
      return kExitUsage;
    }
    ids = reply.body.value("ids", json::array());
    if (!options.json) std::fprintf(out, "%s\n", TerminalSafe(IdList(ids)).c_str());
    std::fflush(out);
    json finals = json::array();
    const int status = args.follow ? Follow(client, ids, options.json, finals, out) : kExitSent;
    if (options.json) {
      json result = {{"ids", ids}};
      if (args.follow) result["pages"] = finals;
      std::fprintf(out, "%s\n", Dump(result, 2).c_str());
    }
    return status;
  } catch (const GatewayError& e) {
    std::fprintf(err, "zentrel-send: %s\n", TerminalSafe(e.what()).c_str());
    if (!ids.empty()) {
      std::fprintf(err,
                   "zentrel-send: pages %s were queued; zentrel-queue show ID tells their state\n",
                   TerminalSafe(IdList(ids)).c_str());
    }
    return kExitNotSent;
  }
}

}  // namespace zentrel
