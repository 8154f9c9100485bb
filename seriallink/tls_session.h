// A TLS client session on a connected socket (OpenSSL): TLS 1.2 or newer,
// the server's certificate checked against the system's trusted store or a
// given CA file, the host name checked and sent (SNI). Skipping the check
// ("insecure") happens only when asked. The session is shared by the read
// and write threads: every call into the library is made under its mutex,
// never while waiting (the socket is non-blocking; the comm device waits).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "seriallink/byte_source.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace zentrel {

struct TlsClientOptions {
  std::string host;         // what was connected to
  std::string server_name;  // checked and sent instead of `host` when set
  std::string ca_file;      // trusted instead of the system store when set
  bool insecure = false;    // no certificate or name check at all
};

// Why `path` cannot serve as a CA file (not there, not a regular file - a
// FIFO would block - or too large); "" when it can.
std::string TlsCaFileProblem(const std::string& path);

// Why a handshake failed, for a caller that acts on it.
enum class TlsFailure { kNone, kUntrusted, kWrongName, kVersion, kTimeout, kOther };

class TlsSession {
 public:
  // The handshake on connected socket `fd` (left non-blocking), within
  // `limit`; `wake_fd` (or -1) turning readable gives up at once. Null, with
  // the reason in `error`, when the server is not trusted, is not the one
  // named, or the handshake fails or times out; `failure` (when given)
  // says which.
  static std::shared_ptr<TlsSession> Connect(int fd, const TlsClientOptions& options,
                                             std::chrono::milliseconds limit, int wake_fd,
                                             std::string* error, TlsFailure* failure = nullptr);
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  SourceResult Read(char* out, std::size_t room);
  SourceResult Write(const char* data, std::size_t length);
  bool HasBuffered();
  // Says goodbye (close_notify) without waiting for the answer.
  void Shutdown();

 private:
  TlsSession(SSL_CTX* ctx, SSL* ssl) : ctx_(ctx), ssl_(ssl) {}
  SourceResult Outcome(int result, std::size_t* count);  // under mutex_

  std::mutex mutex_;
  SSL_CTX* ctx_;
  SSL* ssl_;
  bool shut_ = false;
};

}  // namespace zentrel
