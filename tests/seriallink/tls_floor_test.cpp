// The TLS client's floor (TLS 1.2) must hold by itself, not because this
// machine's OpenSSL configuration happens to forbid older versions. So the
// program runs under its own OPENSSL_CONF that allows TLS 1.0 at security
// level 0, and a local server allowed only TLS 1.1 must be refused with a
// message naming the version; the same server allowed TLS 1.2 is accepted,
// which shows the set-up itself works. Its own program: the configuration
// is read once, when OpenSSL starts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "seriallink/tls_session.h"

namespace zentrel {
namespace {

using namespace std::chrono_literals;

// A server context with a fresh self-signed certificate, speaking only the
// versions from `oldest` to `newest`.
SSL_CTX* ServerContext(int oldest, int newest) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  X509_sign(cert, key, EVP_sha256());
  SSL_CTX_use_certificate(ctx, cert);
  SSL_CTX_use_PrivateKey(ctx, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  SSL_CTX_set_security_level(ctx, 0);
  SSL_CTX_set_min_proto_version(ctx, oldest);
  SSL_CTX_set_max_proto_version(ctx, newest);
  return ctx;
}

TEST(TlsFloor, AServerOlderThanTls12IsRefusedByName) {
  struct Row {
    const char* name;
    int server_newest;
    bool connects;
    std::string error;
  };
  const Row rows[] = {
      {"TLS 1.1 only", TLS1_1_VERSION, false, "the server speaks no TLS version from 1.2 up"},
      {"up to TLS 1.2", TLS1_2_VERSION, true, ""},
  };
  for (const Row& row : rows) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    ASSERT_EQ(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    SSL_CTX* ctx = ServerContext(TLS1_1_VERSION, row.server_newest);
    std::thread server([ctx, fd = fds[1]] {
      SSL* ssl = SSL_new(ctx);
      SSL_set_fd(ssl, fd);
      if (SSL_accept(ssl) == 1) SSL_shutdown(ssl);
      SSL_free(ssl);
      ::shutdown(fd, SHUT_RDWR);
    });
    std::string error;
    TlsFailure failure = TlsFailure::kNone;
    TlsClientOptions options;
    options.host = "localhost";
    options.insecure = true;
    const auto session = TlsSession::Connect(fds[0], options, 10s, -1, &error, &failure);
    server.join();
    EXPECT_EQ(session != nullptr, row.connects) << row.name << ": " << error;
    EXPECT_EQ(error.substr(0, row.error.size()), row.error) << row.name;
    EXPECT_EQ(failure, row.connects ? TlsFailure::kNone : TlsFailure::kVersion) << row.name;
    SSL_CTX_free(ctx);
    ::close(fds[0]);
    ::close(fds[1]);
  }
}

}  // namespace
}  // namespace zentrel

// OpenSSL reads its configuration when it starts: before any test runs.
int main(int argc, char** argv) {
  const auto conf = std::filesystem::temp_directory_path() /
                    ("zt_tls_floor_" + std::to_string(::getpid()) + ".cnf");
  std::ofstream(conf) << "openssl_conf = init\n[init]\nssl_conf = ssl\n[ssl]\n"
                         "system_default = defaults\n[defaults]\nMinProtocol = TLSv1\n"
                         "CipherString = DEFAULT@SECLEVEL=0\n";
  ::setenv("OPENSSL_CONF", conf.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove(conf);
  return result;
}
