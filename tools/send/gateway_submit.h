// zentrel-send --gateway: instead of dialling, hands the pages to
// zentrel-gateway over its socket and prints the ids it gave them (exit 0
// once they are queued); with --follow it then waits for each page's final
// state and exits as a direct send would: 0 all accepted, 1 some not. A
// refusal by the gateway exits 2 with the gateway's own sentence.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "delivery/send_options.h"

namespace zentrel {

struct GatewayArgs {
  CLI::Option* gateway = nullptr;  // --gateway [SOCKET]
  CLI::Option* follow_opt = nullptr;
  std::string socket;
  bool follow = false;
};

struct GatewayPage {
  std::string pin;
  std::string text;  // as the message box would hold it
};

// Adds --gateway [SOCKET] and --follow.
void AddGatewayOptions(CLI::App& app, GatewayArgs& args);

bool UsesGateway(const GatewayArgs& args);

// The gateway pages each PIN from its own recipients and number: --phone and
// --db would name another, so they are refused with --gateway (CLI error).
void CheckGatewayOptions(const CLI::App& app, const GatewayArgs& args);

// Returns the exit status.
int SubmitToGateway(const GatewayArgs& args, const SendOptions& options,
                    const std::vector<GatewayPage>& pages, std::FILE* out, std::FILE* err);

}  // namespace zentrel
