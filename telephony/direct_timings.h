// How long a call on a line with no modem gives its line: to come up (the
// port to open, the connection and handshake to be made), and to answer the
// log-off before the call is ended anyway, and to bring a network line up
// (connection and handshake) when its line is checked; that connection is
// the first call's. Tests pass short ones.
#pragma once

#include <chrono>

namespace zentrel {

struct DirectTimings {
  std::chrono::milliseconds connect_timeout{10000};  // port open, connection and handshake
  std::chrono::milliseconds logoff_grace{3000};      // log-off out, no goodbye: the call ends
  std::chrono::milliseconds check_timeout{3000};     // a network line brought up by its check
};

}  // namespace zentrel
