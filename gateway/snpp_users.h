// The SNPP users of gateway.conf ("snpp-user = NAME:HASH" lines) and their
// password hashes: made by `zentrel-gateway passwd NAME` with the system's
// crypt (yescrypt), checked with it at LOGIn. No password is ever stored or
// compared in plain text.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zentrel::gateway {

using SnppUsers = std::map<std::string, std::string>;  // name -> hash

// The users from "NAME:HASH" entries, or a sentence naming the bad entry.
std::optional<SnppUsers> ParseSnppUsers(const std::vector<std::string>& entries,
                                        std::string& error);

// True when `password` matches `hash` (a crypt hash such as "$y$...").
bool PasswordMatches(const std::string& hash, const std::string& password);

// A new yescrypt hash of `password` with a random salt; "" when the system's
// crypt cannot make one.
std::string HashPassword(const std::string& password);

// `zentrel-gateway passwd NAME`: reads the password (twice, without echo, on
// a terminal; one line otherwise) and prints the gateway.conf line. The
// process's exit status.
int RunPasswd(const std::string& name);

}  // namespace zentrel::gateway
