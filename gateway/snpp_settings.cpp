// The SNPP options through CLI11: the same names on the command line and in
// gateway.conf, where "snpp-user = NAME:HASH" lines name the users.
#include "gateway/snpp_settings.h"

#include <iostream>

#include "gateway/snpp_hold.h"

namespace zentrel::gateway {

void AddSnppOptions(CLI::App& app, SnppSettings& s) {
  app.add_option("--snpp", s.listen,
                 "the SNPP listener's [HOST:]PORT, or off (beyond loopback needs snpp-user)")
      ->capture_default_str();
  app.add_option("--snpp-idle", s.idle_s, "seconds a silent SNPP client is kept")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--snpp-clients", s.max_clients, "SNPP connections at once")
      ->capture_default_str()
      ->check(CLI::Range(1, 4096));
  app.add_option("--snpp-hold-zone", s.hold_zone,
                 "the time zone of HOLDuntil times given without an offset")
      ->capture_default_str();
  app.add_option("--snpp-user", s.user_entries,
                 "NAME:HASH of a user who may log in over SNPP (made by passwd)");
  s.passwd = app.add_subcommand("passwd", "print the snpp-user line for NAME's password");
  s.passwd->add_option("name", s.passwd_for, "the user's name")->required();
}

std::optional<int> FinishSnppSettings(SnppSettings& s) {
  const bool passwd = s.passwd && *s.passwd;
  s.passwd = nullptr;  // the command line it belongs to ends with the parse
  if (passwd) return RunPasswd(s.passwd_for);
  if (!KnownZone(s.hold_zone)) {
    std::cerr << "zentrel-gateway: --snpp-hold-zone: no time zone \"" << s.hold_zone
              << "\" (UTC, or a name like Europe/Berlin)\n";
    return 2;
  }
  std::string error;
  const auto users = ParseSnppUsers(s.user_entries, error);
  if (!users) {
    std::cerr << "zentrel-gateway: " << error << "\n";
    return 2;
  }
  s.users = *users;
  return std::nullopt;
}

}  // namespace zentrel::gateway
