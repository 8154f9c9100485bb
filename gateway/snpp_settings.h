// The SNPP listener's settings (--snpp, --snpp-idle, --snpp-clients,
// --snpp-hold-zone, the snpp-user entries) and the `passwd` subcommand that
// makes a user's entry, added to the gateway's command line and gateway.conf.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "gateway/snpp_users.h"

namespace zentrel::gateway {

struct SnppSettings {
  std::string listen = "127.0.0.1:4444";  // [HOST:]PORT, or "off"
  double idle_s = 60;
  std::size_t max_clients = 64;
  std::string hold_zone = "UTC";
  std::vector<std::string> user_entries;  // NAME:HASH
  SnppUsers users;
  std::string passwd_for;  // the passwd subcommand's user
  CLI::App* passwd = nullptr;
  bool Enabled() const { return listen != "off"; }
};

void AddSnppOptions(CLI::App& app, SnppSettings& s);

// After parsing: runs `passwd` when asked, checks the zone and the users.
// The process's exit status when it should end now (with a message), else
// nullopt.
std::optional<int> FinishSnppSettings(SnppSettings& s);

}  // namespace zentrel::gateway
