// What a line driver hands the serial link beside the call's descriptor. The
// link's Attach takes a plain descriptor, so a driver that has more to say
// (a direct line's own format, a TLS session on the socket, a watcher of the
// call's traffic) registers it here under that descriptor before handing it
// over, and whoever closes the descriptor closes it with CloseCommHandle,
// which drops the registration. A descriptor with nothing registered is a
// modem line: a tty at 300 bit/s 7E1, or a plain socket.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "seriallink/line_format.h"

namespace zentrel {

class TlsSession;

// Sees every byte the link sends and receives on a call, on the link's
// threads; it must not block. Received bytes come as delivered (a 7-bit
// line's bit 7 already cleared), sent bytes as they went out.
class ITrafficWatcher {
 public:
  virtual ~ITrafficWatcher() = default;
  virtual void Sent(std::string_view bytes) = 0;
  virtual void Received(std::string_view bytes) = 0;
};

struct CommHandover {
  LineFormat format;                       // used when the descriptor is a tty
  std::shared_ptr<TlsSession> tls;         // set: the bytes go through TLS
  std::shared_ptr<ITrafficWatcher> watcher;  // may be null
};

// Registers `handover` for `fd`, replacing what was there.
void RegisterHandover(int fd, CommHandover handover);
// What was registered for `fd`, or the defaults (a modem line).
CommHandover FindHandover(int fd);
// Drops the registration of `fd` and closes it.
void CloseCommHandle(int fd);

}  // namespace zentrel
