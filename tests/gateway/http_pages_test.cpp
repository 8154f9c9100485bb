// Pages over HTTP through the real daemon (the fake worker plays each call):
// the alerting tools' documented payloads posted with curl, their re-posts
// paging nobody twice, send-resolved per receiver, the JSON API, and a table
// of requests that must be refused with their status and queue nothing.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/gateway/http_rig.h"

namespace zentrel::gateway::testing {
namespace {

const std::string kPayloads = PAYLOADS;

struct Posted {
  int status = 0;
  json body;
};

// curl, as an alerting tool's webhook would post: the token, JSON, a file.
Posted Curl(const HttpRig& rig, const std::string& path, const std::string& file) {
  const std::string out = rig.Path("curl.out");
  const auto ran = e2e::RunProgram({"/usr/bin/curl", "-sS", "-o", out, "-w", "%{http_code}", "-H",
                                    std::string("Authorization: Bearer ") + HttpRig::kToken, "-H",
                                    "Content-Type: application/json", "--data-binary", "@" + file,
                                    "http://127.0.0.1:" + std::to_string(rig.port()) + path},
                                   {}, 20s);
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  return {ran.status == 0 ? std::stoi(ran.out) : -1, json::parse(text.str(), nullptr, false)};
}

std::vector<long> Ids(const json& answer) {
  return answer.contains("ids") ? answer["ids"].get<std::vector<long>>() : std::vector<long>{};
}

json Queued(const HttpRig& rig) {
  SocketClient client(rig.socket());
  return client.Ask({{"op", "list"}})["pages"];
}

TEST(HttpPages, AlertmanagerAndGrafanaPostsPageEachPinOnceAndRepostsNobody) {
  HttpRig rig;
  rig.StartHttp({"--alert-receiver", "sms:1002", "--dedupe-window", "600"});
  const std::string path = "/alertmanager?pin=1001,1002";  // 1002 is the receiver's too
  const Posted first = Curl(rig, path, kPayloads + "/alertmanager_v4.json");
  ASSERT_EQ(first.status, 200) << first.body;
  const std::vector<long> ids = Ids(first.body);
  ASSERT_EQ(ids.size(), 2u) << "one page for each PIN, however often it is named";
  const Posted again = Curl(rig, path, kPayloads + "/alertmanager_v4.json");
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(Ids(again.body), ids) << "a re-post pages nobody and names the first post's pages";
  const Posted grafana = Curl(rig, "/alertmanager?pin=1003,1004", kPayloads + "/grafana.json");
  ASSERT_EQ(grafana.status, 200) << grafana.body;
  std::vector<long> all = ids;
  for (long id : Ids(grafana.body)) all.push_back(id);
  ASSERT_EQ(all.size(), 4u);
  const auto pages = rig.WatchAll(all);
  EXPECT_EQ(pages.at(ids[0])["pin"], "1001");
  EXPECT_EQ(pages.at(ids[1])["pin"], "1002");
  EXPECT_EQ(pages.at(ids[0])["text"],
            "FIRING ProbeFailure critical: BlackBox Probe Failure: https://server.example.org");
  EXPECT_EQ(pages.at(all[2])["text"],
            "FIRING High memory usage: This alert was triggered for zone us-1 (+1 more)");
  EXPECT_EQ(pages.at(all[3])["by"], "token ci");
  const auto delivered = rig.Delivered();
  EXPECT_EQ(delivered.size(), 4u);
  for (const auto& [id, times] : delivered) EXPECT_EQ(times.size(), 1u) << "page " << id;
  EXPECT_EQ(rig.Stop(), 0);
}

TEST(HttpPages, AResolvedGroupPagesOnlyWhereTheReceiverAsksForIt) {
  HttpRig rig;
  rig.StartHttp({"--alert-receiver", "sms:1002:send-resolved=no"});
  std::ifstream in(kPayloads + "/alertmanager_v4.json");
  std::stringstream text;
  text << in.rdbuf();
  json resolved = json::parse(text.str());
  resolved["status"] = "resolved";
  resolved["alerts"][0]["status"] = "resolved";
  std::ofstream(rig.Path("resolved.json")) << resolved.dump();
  const Posted quiet = Curl(rig, "/alertmanager", rig.Path("resolved.json"));
  EXPECT_EQ(quiet.status, 200) << quiet.body;
  EXPECT_TRUE(Ids(quiet.body).empty());
  const Posted asked = Curl(rig, "/alertmanager?pin=1001", rig.Path("resolved.json"));
  ASSERT_EQ(Ids(asked.body).size(), 1u) << "only the query's PIN asks for the resolved page";
  const json page = rig.WatchAll({Ids(asked.body)[0]}).begin()->second;
  EXPECT_EQ(page["pin"], "1001") << page;
  EXPECT_EQ(page["text"].get<std::string>().rfind("RESOLVED ProbeFailure", 0), 0u) << page;
}

TEST(HttpPages, TheJsonApiQueuesShowsCancelsAndListsTheLines) {
  HttpRig rig;
  rig.StartHttp();
  auto client = rig.Client();
  const double later = 4.0e9;  // held: it stays queued until cancelled
  const auto posted = client->Post(
      "/api/v1/pages", HttpRig::Auth(),
      json({{"pins", {"1001", "1002"}}, {"text", "pump 3"}, {"hold_until", later}}).dump(),
      "application/json");
  ASSERT_EQ(posted->status, 202) << posted->body;
  const std::vector<long> ids = Ids(json::parse(posted->body));
  ASSERT_EQ(ids.size(), 2u);
  const std::string page = "/api/v1/pages/" + std::to_string(ids[0]);
  EXPECT_EQ(json::parse(client->Get(page, HttpRig::Auth())->body)["page"]["state"], "queued");
  const auto cancelled = client->Delete(page, HttpRig::Auth());
  EXPECT_EQ(cancelled->status, 200) << cancelled->body;
  EXPECT_EQ(json::parse(cancelled->body)["page"]["state"], "cancelled");
  EXPECT_EQ(client->Delete(page, HttpRig::Auth())->status, 409) << "final already";
  EXPECT_EQ(client->Delete("/api/v1/pages/999", HttpRig::Auth())->status, 404);
  const json listed = json::parse(client->Get("/api/v1/pages", HttpRig::Auth())->body);
  EXPECT_EQ(listed["pages"].size(), 2u);
  const json lines = json::parse(client->Get("/api/v1/lines", HttpRig::Auth())->body)["lines"];
  ASSERT_EQ(lines.size(), 2u) << lines;
  EXPECT_EQ(lines[0]["name"], "TAP over TCP to 127.0.0.1:1") << lines;
  EXPECT_TRUE(lines[0].contains("state")) << lines;
}

// A raw request: the head, then the body a byte each time `gap` passes
// without an answer (a client too slow for the gateway), or at once.
int RawStatus(int port, const std::string& head, const std::string& body,
              std::chrono::milliseconds gap) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  std::string out = head + (gap.count() ? "" : body);
  std::size_t next = 0;
  std::string answer;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (answer.find("\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    if (!out.empty()) (void)!send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    out = gap.count() && next < body.size() ? body.substr(next++, 1) : "";
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, gap.count() ? static_cast<int>(gap.count()) : 10000) <= 0) continue;
    char chunk[512];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    answer.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::stoi(answer.substr(9, 3)) : 0;
}

TEST(HttpPages, BadRequestsGetTheirStatusAndQueueNothing) {
  HttpRig rig;
  rig.StartHttp({"--http-max-body", "4096", "--http-timeout", "0.5"});
  std::ifstream in(kPayloads + "/alertmanager_v4.json");
  std::stringstream payload;
  payload << in.rdbuf();
  const std::string token = std::string("Authorization: Bearer ") + HttpRig::kToken + "\r\n";
  const auto head = [&](const std::string& auth, const std::string& type, std::size_t length,
                        const std::string& path = "/alertmanager?pin=1001") {
    return "POST " + path + " HTTP/1.1\r\nHost: x\r\n" + auth + "Content-Type: " + type +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
  };
  const std::string big(5000, ' ');
  struct Row {
    const char* name;
    std::string head;
    std::string body;
    std::chrono::milliseconds gap;
    int status;
  };
  const std::string am = payload.str();
  const std::string json_type = "application/json";
  const Row rows[] = {
      {"no token", head("", json_type, am.size()), am, 0ms, 401},
      {"a wrong token", head("Authorization: Bearer nope\r\n", json_type, am.size()), am, 0ms, 401},
      {"a body over the bound", head(token, json_type, big.size()), big, 0ms, 413},
      {"not JSON", head(token, json_type, 9), "{\"status\"", 0ms, 400},
      {"JSON but no alert group", head(token, json_type, 2), "{}", 0ms, 400},
      {"the wrong content type", head(token, "text/plain", am.size()), am, 0ms, 415},
      {"a PIN nobody has", head(token, json_type, am.size(), "/alertmanager?pin=99"), am, 0ms, 422},
      {"no PIN for the receiver", head(token, json_type, am.size(), "/alertmanager"), am, 0ms, 400},
      {"an empty PIN list", head(token, json_type, am.size(), "/alertmanager?pin=,"), am, 0ms, 400},
      {"a body that trickles in", head(token, json_type, am.size()), am, 50ms, 408},
      {"an API page without text", head(token, json_type, 14, "/api/v1/pages"), R"({"pin":"1001"})",
       0ms, 400},
      {"an API page to a PIN nobody has", head(token, json_type, 27, "/api/v1/pages"),
       R"({"pin":"99","text":"hello"})", 0ms, 422},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RawStatus(rig.port(), row.head, row.body, row.gap), row.status) << row.name;
  }
  EXPECT_TRUE(Queued(rig).empty()) << Queued(rig);
  EXPECT_EQ(rig.Stop(), 0);
}

}  // namespace
}  // namespace zentrel::gateway::testing
