// What the comm device engine reads from and writes to: a tty, a connected
// socket, or a TLS session on one. A source does one non-blocking transfer
// at a time and says what it would wait for; the engine does all waiting
// (poll on the close event, the source's descriptor and a purge wake-up) and
// times the silence that ends a read. Reads run on the read thread, writes on
// the write thread, flushes on any thread.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "seriallink/comm_device.h"
#include "seriallink/handover.h"

namespace zentrel {

struct SourceResult {
  IoStatus status = IoStatus::kDone;  // kPending: nothing now, wait for `wants`
  std::size_t count = 0;
  short wants = POLLIN;
};

class IByteSource {
 public:
  virtual ~IByteSource() = default;
  virtual int fd() const = 0;
  // The line's settings (a tty's format); false with the reason in `error`.
  virtual bool Configure(std::string* error) = 0;
  // Puts back what Configure changed; ends a session cleanly.
  virtual void Restore() = 0;
  // Up to `room` bytes as the link delivers them; line errors seen on the
  // way are ORed into *errors as CE_* bits.
  virtual SourceResult Read(char* out, std::size_t room, std::uint32_t* errors) = 0;
  virtual SourceResult Write(const char* data, std::size_t length) = 0;
  // Bytes already taken from the descriptor and held inside the source (a
  // TLS record decrypted but not yet read): readable without a poll.
  virtual bool HasBuffered() = 0;
  virtual void FlushInput() = 0;
  virtual void FlushOutput() = 0;
};

// errno as the layer's status: a descriptor that is gone, a line that has
// hung up, a peer that reset the connection are the invalid-handle case.
IoStatus StatusFromErrno(int error);

std::unique_ptr<IByteSource> MakeTtySource(int fd, const LineFormat& format);
std::unique_ptr<IByteSource> MakeSocketSource(int fd);
std::unique_ptr<IByteSource> MakeTlsSource(int fd, std::shared_ptr<TlsSession> session);

}  // namespace zentrel
