// The OpenSSL client: context, verification set-up, the non-blocking
// handshake with its deadline, and the reasons a handshake is refused in the
// user's words. A peer that closes without close_notify (some servers do so
// right after the log-off) reads as an ordinary close.
#include "seriallink/tls_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr off_t kCaFileLimit = 4 * 1024 * 1024;
constexpr const char* kNoHandshake = "no TLS handshake within the connect time-out";

bool IsAddressLiteral(const std::string& name) {
  unsigned char buf[16];
  return inet_pton(AF_INET, name.c_str(), buf) == 1 || inet_pton(AF_INET6, name.c_str(), buf) == 1;
}

std::string LibraryError(const char* fallback) {
  const unsigned long e = ERR_get_error();
  if (e == 0) return fallback;
  char text[256];
  ERR_error_string_n(e, text, sizeof text);
  return text;
}

}  // namespace

// A CA file must be a regular file of a sane size: a FIFO or a device would
// block the handshake's set-up (or fill memory) before any time limit runs.
std::string TlsCaFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return "cannot use the CA file " + path + ": " + std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "the CA file " + path + " is not a regular file";
  if (st.st_size > kCaFileLimit)
    return "the CA file " + path + " is larger than " + std::to_string(kCaFileLimit / 1024) +
           " KiB";
  return {};
}

namespace {

SSL_CTX* MakeContext(const TlsClientOptions& o, std::string* error) {
  if (!o.ca_file.empty() && !o.insecure) {
    *error = TlsCaFileProblem(o.ca_file);
    if (!error->empty()) return nullptr;
  }
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr) return *error = LibraryError("cannot create a TLS context"), nullptr;
  // The floor is set here, never left to the machine's OpenSSL defaults.
  if (SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1) {
    SSL_CTX_free(ctx);
    return *error = LibraryError("cannot require TLS 1.2 or newer"), nullptr;
  }
  SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_verify(ctx, o.insecure ? SSL_VERIFY_NONE : SSL_VERIFY_PEER, nullptr);
  // With `insecure` the CA file is never read: nothing would be checked.
  const bool loaded = (o.insecure || o.ca_file.empty())
                          ? SSL_CTX_set_default_verify_paths(ctx) == 1
                          : SSL_CTX_load_verify_locations(ctx, o.ca_file.c_str(), nullptr) == 1;
  if (!loaded && !o.insecure) {
    *error = o.ca_file.empty() ? "cannot load the system's trusted certificates"
                               : "cannot load the CA file " + o.ca_file;
    SSL_CTX_free(ctx);
    return nullptr;
  }
  return ctx;
}

// The name to check and send: name= if given, else the host connected to.
bool SetUpName(SSL* ssl, const TlsClientOptions& o) {
  const std::string& name = o.server_name.empty() ? o.host : o.server_name;
  if (!IsAddressLiteral(name) && SSL_set_tlsext_host_name(ssl, name.c_str()) != 1) return false;
  if (o.insecure) return true;
  if (IsAddressLiteral(name))
    return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str()) == 1;
  return SSL_set1_host(ssl, name.c_str()) == 1;
}

bool IsVersionRefusal(unsigned long e) {
  const int reason = ERR_GET_REASON(e);
  return reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION ||
         reason == SSL_R_NO_PROTOCOLS_AVAILABLE;
}

std::string RefusalReason(SSL* ssl, const TlsClientOptions& o, TlsFailure* failure) {
  const long verify = SSL_get_verify_result(ssl);
  const std::string& name = o.server_name.empty() ? o.host : o.server_name;
  if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
    *failure = TlsFailure::kWrongName;
    return "the server's certificate is not for " + name;
  }
  if (verify != X509_V_OK) {
    *failure = TlsFailure::kUntrusted;
    return std::string("the server's certificate is not trusted (") +
           X509_verify_cert_error_string(verify) + ")";
  }
  *failure = IsVersionRefusal(ERR_peek_error()) ? TlsFailure::kVersion : TlsFailure::kOther;
  const std::string words = LibraryError("the server closed the connection");
  return *failure == TlsFailure::kVersion
             ? "the server speaks no TLS version from 1.2 up (" + words + ")"
             : "TLS handshake failed: " + words;
}

// Waits for `events` on fd, or the wake-up, until `deadline`; false on
// time-out, wake-up or failure, with `error` set.
bool AwaitSocket(int fd, short events, int wake_fd, Clock::time_point deadline,
                 std::string* error) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return *error = kNoHandshake, false;
    pollfd fds[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
    const int r = poll(fds, wake_fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return *error = "poll failed during the TLS handshake", false;
    if (wake_fd >= 0 && fds[1].revents != 0) return *error = "TLS handshake abandoned", false;
    if (r > 0) return true;
  }
}

}  // namespace

std::shared_ptr<TlsSession> TlsSession::Connect(int fd, const TlsClientOptions& o,
                                                std::chrono::milliseconds limit, int wake_fd,
                                                std::string* error, TlsFailure* failure) {
  TlsFailure ignored = TlsFailure::kNone;
  if (failure == nullptr) failure = &ignored;
  *failure = TlsFailure::kOther;
  ERR_clear_error();
  SSL_CTX* ctx = MakeContext(o, error);
  if (ctx == nullptr) return nullptr;
  SSL* ssl = SSL_new(ctx);
  std::shared_ptr<TlsSession> session(new TlsSession(ctx, ssl == nullptr ? nullptr : ssl));
  if (ssl == nullptr || SSL_set_fd(ssl, fd) != 1 || !SetUpName(ssl, o)) {
    *error = LibraryError("cannot set up the TLS session");
    return nullptr;
  }
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    const int r = SSL_connect(ssl);
    if (r == 1) return *failure = TlsFailure::kNone, session;
    const int e = SSL_get_error(ssl, r);
    if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
      *error = RefusalReason(ssl, o, failure);
      return nullptr;
    }
    if (!AwaitSocket(fd, e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, wake_fd, deadline, error)) {
      if (*error == kNoHandshake) *failure = TlsFailure::kTimeout;
      return nullptr;
    }
  }
}

TlsSession::~TlsSession() {
  if (ssl_ != nullptr) SSL_free(ssl_);
  SSL_CTX_free(ctx_);
}

SourceResult TlsSession::Outcome(int result, std::size_t* count) {
  if (result > 0) return {IoStatus::kDone, *count};
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ: return {IoStatus::kPending, 0, POLLIN};
    case SSL_ERROR_WANT_WRITE: return {IoStatus::kPending, 0, POLLOUT};
    case SSL_ERROR_ZERO_RETURN: return {IoStatus::kInvalidHandle};  // the server closed the session
    case SSL_ERROR_SYSCALL: return {errno == 0 ? IoStatus::kInvalidHandle : StatusFromErrno(errno)};
    default: return {IoStatus::kFailed};
  }
}

SourceResult TlsSession::Read(char* out, std::size_t room) {
  std::lock_guard lock(mutex_);
  ERR_clear_error();
  errno = 0;
  std::size_t count = 0;
  const int r = SSL_read_ex(ssl_, out, room, &count);
  return Outcome(r, &count);
}

SourceResult TlsSession::Write(const char* data, std::size_t length) {
  std::lock_guard lock(mutex_);
  if (shut_) return {IoStatus::kInvalidHandle};
  ERR_clear_error();
  errno = 0;
  std::size_t count = 0;
  const int r = SSL_write_ex(ssl_, data, length, &count);
  return Outcome(r, &count);
}

bool TlsSession::HasBuffered() {
  std::lock_guard lock(mutex_);
  return SSL_pending(ssl_) > 0;
}

void TlsSession::Shutdown() {
  std::lock_guard lock(mutex_);
  if (shut_) return;
  shut_ = true;
  ERR_clear_error();
  SSL_shutdown(ssl_);
}

namespace {

class TlsSource : public IByteSource {
 public:
  TlsSource(int fd, std::shared_ptr<TlsSession> session) : fd_(fd), session_(std::move(session)) {}
  int fd() const override { return fd_; }
  bool Configure(std::string*) override { return true; }
  void Restore() override { session_->Shutdown(); }
  SourceResult Read(char* out, std::size_t room, std::uint32_t*) override {
    return session_->Read(out, room);
  }
  SourceResult Write(const char* data, std::size_t length) override {
    return session_->Write(data, length);
  }
  bool HasBuffered() override { return session_->HasBuffered(); }
  void FlushInput() override {}
  void FlushOutput() override {}

 private:
  const int fd_;
  std::shared_ptr<TlsSession> session_;
};

}  // namespace

std::unique_ptr<IByteSource> MakeTlsSource(int fd, std::shared_ptr<TlsSession> session) {
  return std::make_unique<TlsSource>(fd, std::move(session));
}

}  // namespace zentrel
