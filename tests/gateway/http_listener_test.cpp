// The HTTP listener of the real daemon: who gets in (tokens as bearer or
// basic auth, none configured), what makes it refuse to start (beyond
// loopback without TLS or a token, a bad address), HTTPS with a
// certificate, and `token add` writing only the hash.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "gateway/http_tokens.h"
#include "tests/gateway/http_rig.h"

namespace zentrel::gateway::testing {
namespace {

std::string Base64(const std::string& text) {
  std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

TEST(HttpListener, EveryRouteButHealthNeedsAKnownToken) {
  HttpRig rig;
  rig.StartHttp();
  httplib::Headers many;
  for (int n = 0; n < 70; ++n) many.emplace("X-Filler-" + std::to_string(n), "x");
  const std::string token = HttpRig::kToken;
  struct Row {
    const char* name;
    std::string path;
    httplib::Headers headers;
    int status;
  };
  const Row rows[] = {
      {"health, no token", "/healthz", {}, 200},
      {"no token", "/api/v1/pages/1", {}, 401},
      {"a wrong bearer token", "/api/v1/pages/1", {{"Authorization", "Bearer nope"}}, 401},
      {"the token (no such page)", "/api/v1/pages/1", HttpRig::Auth(), 404},
      {"the scheme in lower case", "/api/v1/pages/1", {{"Authorization", "bearer " + token}}, 404},
      {"basic auth under its name",
       "/api/v1/pages/1",
       {{"Authorization", "Basic " + Base64("ci:" + token)}},
       404},
      {"basic auth under another name",
       "/api/v1/pages/1",
       {{"Authorization", "Basic " + Base64("bob:" + token)}},
       401},
      {"basic auth that is not base64", "/api/v1/pages/1", {{"Authorization", "Basic ***"}}, 401},
      {"too many header lines", "/healthz", many, 431},
      {"nothing there", "/nothing", HttpRig::Auth(), 404},
  };
  for (const Row& row : rows) {
    const auto got = rig.Client()->Get(row.path, row.headers);
    ASSERT_TRUE(got) << row.name;
    EXPECT_EQ(got->status, row.status) << row.name << ": " << got->body;
  }
  EXPECT_EQ(rig.Stop(), 0);
}

TEST(HttpListener, WithNoTokenConfiguredOnlyHealthAnswers) {
  HttpRig rig;
  rig.StartHttp({}, false);
  EXPECT_EQ(rig.Client()->Get("/healthz")->status, 200);
  const auto refused = rig.Client()->Get("/api/v1/pages/1", HttpRig::Auth());
  EXPECT_EQ(refused->status, 403);
  EXPECT_NE(refused->body.find("token add"), std::string::npos) << refused->body;
}

TEST(HttpListener, RefusesToStartWhereItWouldBeOpenOrCannotListen) {
  const std::string token = "--http-token=ci:sha256:" + std::string(64, 'a');
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* says;
  };
  const Row rows[] = {
      {"all addresses without TLS", {"--http", "0.0.0.0:8444", token}, "without TLS"},
      {"all addresses with TLS but no token",
       {"--http", "0.0.0.0:8444", "--http-cert", "c.pem", "--http-key", "k.pem"},
       "with no token"},
      {"a certificate without its key", {"--http-cert", "c.pem"}, "both --http-cert"},
      {"a port out of range", {"--http", "127.0.0.1:70000"}, "[HOST:]PORT"},
      {"an IPv6 address without brackets", {"--http", "::1:8444"}, "[HOST:]PORT"},
      {"a token line without its hash", {"--http-token", "ci:sha256:12"}, "NAME:sha256:HEX"},
  };
  GatewayRig files;
  std::ofstream(files.Path("empty.conf")) << "";
  for (const Row& row : rows) {
    std::vector<std::string> argv{ZENTREL_GATEWAY, "--socket", files.Path("s.sock"), "--config",
                                  files.Path("empty.conf")};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto ran = e2e::RunProgram(argv, {}, 10s);
    EXPECT_EQ(ran.status, 2) << row.name;
    EXPECT_NE(ran.err.find(row.says), std::string::npos) << row.name << ": " << ran.err;
  }
  GatewayRig busy;
  busy.Start({"--http", "127.0.0.1:0"});
  std::smatch port;
  const std::string& log = busy.Daemon().ErrSoFar();
  ASSERT_TRUE(std::regex_search(log, port, std::regex("127\\.0\\.0\\.1:\\d+")));
  GatewayRig second;
  const auto ran =
      e2e::RunProgram({ZENTREL_GATEWAY, "--socket", second.Path("s.sock"), "--db",
                       second.Path("vp.mdb"), "--queue", second.Path("q.db"), "--config",
                       files.Path("empty.conf"), "--snpp", "off", "--http", port.str()},
                      {}, 10s);
  EXPECT_EQ(ran.status, 1) << "a port in use";
  EXPECT_NE(ran.err.find("cannot listen for HTTP on http://" + port.str()), std::string::npos)
      << ran.err;
}

TEST(HttpListener, ServesHttpsWithItsCertificate) {
  HttpRig rig;
  MakeCertificate(rig.Path("cert.pem"), rig.Path("key.pem"));
  rig.StartHttp({"--http-cert", rig.Path("cert.pem"), "--http-key", rig.Path("key.pem")});
  const auto got = rig.Client(rig.Path("cert.pem"))->Get("/api/v1/pages/1", HttpRig::Auth());
  ASSERT_TRUE(got) << httplib::to_string(got.error());
  EXPECT_EQ(got->status, 404);
  httplib::Client plain("http://127.0.0.1:" + std::to_string(rig.port()));
  plain.set_read_timeout(5);
  const auto refused = plain.Get("/healthz");
  EXPECT_TRUE(!refused || refused->status != 200) << "plain HTTP on the HTTPS port";
}

TEST(HttpListener, TokenAddPrintsItOnceAndKeepsOnlyItsHash) {
  HttpRig rig;
  const std::string conf = rig.Path("etc/gateway.conf");
  const auto added =
      e2e::RunProgram({ZENTREL_GATEWAY, "token", "add", "pager-bot", "--config", conf}, {}, 10s);
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string token = added.out.substr(0, added.out.find('\n'));
  EXPECT_EQ(token.size(), 43u);
  std::ifstream in(conf);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "http-token = " + TokenValue("pager-bot", token) + "\n");
  EXPECT_EQ(text.str().find(token), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(conf.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const auto again =
      e2e::RunProgram({ZENTREL_GATEWAY, "token", "add", "pager-bot", "--config", conf}, {}, 10s);
  EXPECT_EQ(again.status, 2) << "a name in use";
  EXPECT_EQ(std::filesystem::file_size(conf), text.str().size());

  rig.StartHttp({"--http-token", TokenValue("pager-bot", token)});
  const auto got = rig.Client()->Get("/api/v1/pages/1",
                                     {{"Authorization", "Basic " + Base64("pager-bot:" + token)}});
  EXPECT_EQ(got->status, 404);
}

}  // namespace
}  // namespace zentrel::gateway::testing
