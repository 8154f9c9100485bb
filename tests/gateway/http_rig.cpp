// The rig of http_rig.h.
#include "tests/gateway/http_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "gateway/http_tokens.h"

namespace zentrel::gateway::testing {

void HttpRig::StartHttp(const std::vector<std::string>& extra, bool with_token) {
  std::vector<std::string> args{"--http", "127.0.0.1:0"};
  if (with_token) args.insert(args.end(), {"--http-token", TokenValue(kTokenName, kToken)});
  args.insert(args.end(), extra.begin(), extra.end());
  tls_ = std::find(extra.begin(), extra.end(), "--http-cert") != extra.end();
  Start(args);
  std::smatch found;
  const std::string& log = Daemon().ErrSoFar();
  if (!std::regex_search(log, found, std::regex("HTTP on https?://127\\.0\\.0\\.1:(\\d+)"))) {
    ADD_FAILURE() << "no HTTP address in the log: " << log;
    return;
  }
  port_ = std::stoi(found[1]);
}

std::unique_ptr<httplib::Client> HttpRig::Client(const std::string& ca) const {
  const std::string scheme = tls_ ? "https://" : "http://";
  auto client = std::make_unique<httplib::Client>(scheme + "127.0.0.1:" + std::to_string(port_));
  if (!ca.empty()) client->set_ca_cert_path(ca.c_str());
  client->set_connection_timeout(10);
  client->set_read_timeout(10);
  return client;
}

std::map<std::string, double> ParsedMetrics(const GatewayRig& rig, const std::string& text) {
  std::ofstream(rig.Path("metrics.txt")) << text;
  const char* script =
      "import sys\n"
      "from prometheus_client.parser import text_string_to_metric_families\n"
      "for family in text_string_to_metric_families(open(sys.argv[1]).read()):\n"
      "    for s in family.samples:\n"
      "        labels = ','.join(k + '=' + v for k, v in sorted(s.labels.items()))\n"
      "        print('%s{%s}\\t%r' % (s.name, labels, s.value))\n";
  const auto ran =
      e2e::RunProgram({"/usr/bin/python3", "-c", script, rig.Path("metrics.txt")}, {}, 30s);
  EXPECT_EQ(ran.status, 0) << ran.err << text;
  std::map<std::string, double> samples;
  std::istringstream lines(ran.out);
  for (std::string line; std::getline(lines, line);) {
    const auto tab = line.find('\t');
    samples[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
  }
  return samples;
}

void MakeCertificate(const std::string& cert, const std::string& key) {
  const auto made = e2e::RunProgram(
      {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
       "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj", "/CN=localhost", "-addext",
       "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", key, "-out", cert},
      {}, 30s);
  ASSERT_EQ(made.status, 0) << made.err;
}

}  // namespace zentrel::gateway::testing
