// `zentrel-gateway token add NAME [--config FILE]`: makes a new token, adds
// its hash to gateway.conf and prints the token once on standard output (it
// is stored nowhere else, so it cannot be shown again).
#pragma once

namespace zentrel::gateway {

// True when the command line is a token command (its first word "token").
bool IsTokenCommand(int argc, char** argv);
// The process's exit status: 0 done, 1 the file could not be written, 2 a
// wrong command line or a name already in use.
int RunTokenCommand(int argc, char** argv);

}  // namespace zentrel::gateway
