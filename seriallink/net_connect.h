// Connecting a TCP socket for a line with no modem: every address the host
// name gives is tried in turn, non-blocking, all within one time limit that
// a wake-up descriptor can cut short. The socket comes back connected and
// non-blocking, ready for the link (or for a TLS handshake first).
#pragma once

#include <chrono>
#include <string>

namespace zentrel {

// "HOST:PORT" (or "[V6]:PORT") split; false when malformed.
bool SplitHostPort(const std::string& text, std::string* host, std::string* port);

// The connected socket, or -1 with the reason in `error` ("connection
// refused", "no answer within 10 s", "unknown host") and, where given, the
// errno in `error_number` (ETIMEDOUT, ECANCELED on wake-up, EHOSTUNREACH
// for a host name that gives no address).
int ConnectTcp(const std::string& host, const std::string& port, std::chrono::milliseconds limit,
               int wake_fd, std::string* error, int* error_number = nullptr);

}  // namespace zentrel
