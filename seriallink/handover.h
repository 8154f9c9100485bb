// What a line driver hands the serial link beside the call's descriptor: a
// direct line's own format, a TLS session on the socket, a watcher of the
// call's traffic. It travels with the descriptor, from the driver's GetID
// through the telephony object to the link's Attach; the default is a modem
// line: a tty at 300 bit/s 7E1, or a plain socket.
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
  LineFormat format;                         // used when the descriptor is a tty
  std::shared_ptr<TlsSession> tls;           // set: the bytes go through TLS
  std::shared_ptr<ITrafficWatcher> watcher;  // may be null
};

}  // namespace zentrel
