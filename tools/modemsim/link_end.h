// The caller's end of the emulator: a pty (behind a modem, or a direct
// cable with --direct) or a TCP listener with one connection at a time,
// optionally TLS. The server polls what PollFd names, brings a client up
// through Progress, moves bytes with Read/Write and ends the line with Drop:
// a pty hangs up and a fresh one takes its place behind the link; a
// connection is shut down and closed, and the listener waits for the next.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace zentrel::modemsim {

class LinkEnd {
 public:
  virtual ~LinkEnd() = default;
  virtual int PollFd() const = 0;
  virtual short PollEvents(bool want_write) const = 0;
  // A caller is on the line (a pty always is).
  virtual bool HasClient() const = 0;
  // Readiness while no caller is up (accept, handshake); true when one just came up.
  virtual bool Progress(short revents) = 0;
  // Bytes read; 0 when the caller has left; -1 when there is nothing now.
  virtual ssize_t Read(char* buf, std::size_t n) = 0;
  // Bytes written; -1 when nothing can be written now.
  virtual ssize_t Write(const char* data, std::size_t n) = 0;
  // Bytes sent that the caller has not read yet, where that can be told.
  virtual int PendingForClient() const = 0;
  virtual void Drop() = 0;
  // What "ready" names: the pty's slave, or HOST:PORT.
  virtual std::string Where() const = 0;
  // A dropped pty is a new one to announce; a listener is the same.
  virtual bool AnnounceAfterDrop() const = 0;
  // Connections accepted so far (a pty has none).
  virtual int Accepted() const { return 0; }
};

std::unique_ptr<LinkEnd> MakePtyLinkEnd(const std::string& link);

struct ListenOptions {
  std::string host = "127.0.0.1";
  int port = 0;      // 0: any free port (the ready line says which)
  std::string cert;  // with key: TLS
  std::string key;
  bool handshake = true;    // false: accept TLS callers but never answer them
  int linger_ms = 2000;     // after our shutdown, at most this long for the caller to close
  int max_connections = 0;  // > 0: the listener closes after this many (later callers are refused)
};
std::unique_ptr<LinkEnd> MakeTcpLinkEnd(const ListenOptions& options);

// "HOST:PORT", ":PORT" or "PORT" (host 127.0.0.1); [v6]:PORT too. False when malformed.
bool ParseListenAddress(const std::string& text, ListenOptions* options);

}  // namespace zentrel::modemsim
