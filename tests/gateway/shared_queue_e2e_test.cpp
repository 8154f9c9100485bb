// Two gateways on one PostgreSQL database, end to end: two "hosts" (each its
// own folder, recipients, socket, name and two emulated modems, calls run by
// the real `zentrel-send --worker`) share the queue of the tests' own
// server. Pages submitted to both are delivered once and by both; one host
// killed mid-call leaves its pages (one of them handed in by SNPP) to the
// other after its lease; the server
// stopped and started again loses and doubles nothing; each host's
// /api/v1/lines and /metrics show both hosts' lines, and a killed host's as
// not seen. What reached the terminals is read from the emulators' logs.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>

#include "queue/page_queue.h"
#include "tests/gateway/gateway_rig.h"
#include "tests/gateway/http_rig.h"
#include "tests/gateway/snpp_client.h"
#include "tests/queue/pg_server.h"

namespace zentrel::gateway::testing {
namespace {

const auto* const pg_environment =
    ::testing::AddGlobalTestEnvironment(new zentrel::testing::PgEnvironment);

constexpr const char* kLease = "1";  // seconds: a dead host's pages wait this long

// One host: its rig, two emulated modems as its lines.
class Host {
 public:
  Host(const std::string& name, const std::string& queue, const std::string& bps = "19200")
      : name_(name) {
    std::ofstream lines(rig_.Path("lines.conf"));
    for (int n = 0; n < 2; ++n) {
      const std::string modem = "modem" + std::to_string(n);
      sims_.push_back(std::make_unique<e2e::Process>(std::vector<std::string>{
          ZENTREL_MODEMSIM, "--link", rig_.Path(modem), "--scenario", "accept",
          "--connect-delay-ms", "20", "--bits-per-second", bps, "--log", rig_.Path(modem + ".log"),
          "--idle-timeout-ms", "2000"}));
      EXPECT_NE(sims_.back()->WaitForLine("ready ", 10s), "") << modem << " did not start";
      lines << "modem " << rig_.Path(modem) << " ATZ\n";
    }
    rig_.UseWorker(ZENTREL_SEND);
    rig_.UseQueue(queue);
  }
  void Start(std::vector<std::string> extra = {}) { rig_.Start(Options(extra)); }
  void StartHttp(std::vector<std::string> extra = {}) { rig_.StartHttp(Options(extra)); }
  HttpRig& rig() { return rig_; }
  // Each page text its terminals accepted, with how many times.
  void CountAccepted(std::map<std::string, int>& texts) const {
    for (int n = 0; n < 2; ++n) {
      std::ifstream log(rig_.Path("modem" + std::to_string(n) + ".log"));
      for (std::string line; std::getline(log, line);) {
        const json event = json::parse(line, nullptr, false);
        if (event.value("event", "") == "block" && event.value("valid", false) &&
            event.contains("message")) {
          ++texts[event["message"].get<std::string>()];
        }
      }
    }
  }

 private:
  std::vector<std::string> Options(std::vector<std::string> extra) const {
    extra.insert(extra.end(), {"--name", name_, "--lease-seconds", kLease, "--retry-after", "0.05",
                               "--max-pages-per-call", "5", "--reconnect-max", "0.5"});
    return extra;
  }
  std::string name_;
  HttpRig rig_;
  std::vector<std::unique_ptr<e2e::Process>> sims_;
};

// `count` pages, every other one to each host, in one request per host.
std::vector<long> SubmitToBoth(Host& a, Host& b, const std::string& prefix, int count) {
  json to[2] = {json::array(), json::array()};
  for (int n = 0; n < count; ++n) {
    to[n % 2].push_back(
        {{"pin", std::to_string(1001 + n % 40)}, {"text", prefix + std::to_string(n)}});
  }
  std::vector<long> ids;
  Host* hosts[2] = {&a, &b};
  for (int h = 0; h < 2; ++h) {
    SocketClient client(hosts[h]->rig().socket());
    const json answer = client.Ask({{"op", "submit"}, {"pages", to[h]}});
    EXPECT_EQ(answer["ids"].size(), to[h].size()) << answer.dump();
    if (!answer.value("ok", false)) continue;
    for (const json& id : answer["ids"]) ids.push_back(id.get<long>());
  }
  return ids;
}

// Every page accepted; each text reached a terminal once, or twice only when
// the page is marked a possible duplicate.
void ExpectEachOnce(const std::map<long, json>& pages, const std::map<std::string, int>& accepted,
                    std::size_t count) {
  ASSERT_EQ(pages.size(), count);
  for (const auto& [id, page] : pages) {
    const std::string text = page["text"];
    EXPECT_EQ(page["state"], "accepted") << text;
    const int times = accepted.count(text) ? accepted.at(text) : 0;
    EXPECT_GE(times, 1) << text;
    EXPECT_LE(times, page["may_be_duplicate"].get<bool>() ? 2 : 1) << text << " sent again";
  }
}

class SharedQueueEndToEnd : public ::testing::Test {
 protected:
  std::string queue_ = zentrel::testing::TestPg().NewDatabase();
};

TEST_F(SharedQueueEndToEnd, PagesSubmittedToBothAreDeliveredOnceByBoth) {
  Host a("alpha", queue_), b("beta", queue_);
  a.Start();
  b.Start();
  const auto ids = SubmitToBoth(a, b, "both ", 40);
  const auto pages = a.rig().WatchAll(ids, 60s);
  std::map<std::string, int> by_a, all;
  a.CountAccepted(by_a);
  a.CountAccepted(all);
  b.CountAccepted(all);
  ExpectEachOnce(pages, all, ids.size());
  EXPECT_GT(by_a.size(), 0u) << "alpha delivered nothing";
  EXPECT_LT(by_a.size(), ids.size()) << "beta delivered nothing";
  EXPECT_EQ(a.rig().Stop(), 0);
  EXPECT_EQ(b.rig().Stop(), 0);
}

// One page handed to `port` by SNPP; its id, or 0.
long SubmitBySnpp(int port, const std::string& pin, const std::string& text) {
  SnppClient snpp(port);
  if (snpp.Reply().substr(0, 3) != "220" || snpp.Ask("PAGE " + pin).substr(0, 3) != "250" ||
      snpp.Ask("MESS " + text).substr(0, 3) != "250") {
    return 0;
  }
  const std::string sent = snpp.Ask("SEND");
  const std::size_t at = sent.find("queued as ");
  return sent.substr(0, 3) == "250" && at != std::string::npos
             ? std::strtol(sent.c_str() + at + 10, nullptr, 10)
             : 0;
}

// alpha, given a page by SNPP and 20 through its socket, is killed once its
// first page is accepted; beta, slow to start its own calls, ends every page
// within the lease and a few calls.
TEST_F(SharedQueueEndToEnd, AHostKilledMidCallLeavesItsPagesToTheOther) {
  Host a("alpha", queue_, "2400"), b("beta", queue_);
  const int port = FreePort();
  a.Start({"--snpp", "127.0.0.1:" + std::to_string(port)});
  const long by_snpp = SubmitBySnpp(port, "1003", "kill by snpp");
  ASSERT_NE(by_snpp, 0) << "alpha did not queue the SNPP page";
  SocketClient client(a.rig().socket());
  json pages = json::array();
  for (int n = 0; n < 20; ++n)
    pages.push_back({{"pin", "1002"}, {"text", "kill " + std::to_string(n)}});
  const json answer = client.Ask({{"op", "submit"}, {"pages", pages}});
  ASSERT_EQ(answer["ids"].size(), 20u);
  ASSERT_TRUE(a.rig().Daemon().WaitForErrText(" accepted", 30s)) << "alpha delivered nothing";
  a.rig().Daemon().Signal(SIGKILL);
  a.rig().Daemon().Wait(10s);
  b.Start();
  std::vector<long> ids = {by_snpp};
  for (const json& id : answer["ids"]) ids.push_back(id.get<long>());
  const auto final_pages = b.rig().WatchAll(ids, 30s);
  std::map<std::string, int> all;
  a.CountAccepted(all);
  b.CountAccepted(all);
  ExpectEachOnce(final_pages, all, ids.size());
  ASSERT_EQ(final_pages.count(by_snpp), 1u);
  EXPECT_EQ(final_pages.at(by_snpp)["via"], "snpp");
  EXPECT_EQ(b.rig().Stop(), 0);
}

// The server goes away while both deliver: submitters are told the queue is
// unreachable, and once it is back both go on with nothing lost or doubled.
TEST_F(SharedQueueEndToEnd, TheDatabaseStoppedAndStartedAgainLosesNothing) {
  Host a("alpha", queue_, "2400"), b("beta", queue_, "2400");
  a.Start();
  b.Start();
  auto ids = SubmitToBoth(a, b, "outage ", 20);
  ASSERT_TRUE(a.rig().Daemon().WaitForErrText(" accepted", 30s)) << "alpha delivered nothing";
  zentrel::testing::TestPg().Stop();
  json refused;
  EXPECT_EQ(a.rig().Submit("1001", "while down", json::object(), &refused), 0);
  EXPECT_EQ(refused["code"], "unavailable") << refused.dump();
  EXPECT_NE(refused.dump().find("unreachable"), std::string::npos) << refused.dump();
  zentrel::testing::TestPg().Start();
  for (Host* host : {&a, &b}) {
    EXPECT_TRUE(host->rig().Daemon().WaitForErrText("the queue works again", 20s));
  }
  const auto after = SubmitToBoth(a, b, "after ", 4);
  ids.insert(ids.end(), after.begin(), after.end());
  const auto pages = b.rig().WatchAll(ids, 60s);
  std::map<std::string, int> all;
  a.CountAccepted(all);
  b.CountAccepted(all);
  ExpectEachOnce(pages, all, ids.size());
  EXPECT_EQ(all.count("while down"), 0u);
  EXPECT_EQ(a.rig().Stop(), 0);
  EXPECT_EQ(b.rig().Stop(), 0);
}

// GET /api/v1/lines of `host`, asked again until `done` holds for the
// lines or `limit` passes; the lines last read.
json LinesUntil(Host& host, const std::function<bool(const json&)>& done,
                std::chrono::seconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto client = host.rig().Client();
  json lines = json::array();
  do {
    const auto got = client->Get("/api/v1/lines", HttpRig::Auth());
    if (!got || got->status != 200) continue;
    lines = json::parse(got->body, nullptr, false).value("lines", json::array());
    if (done(lines)) break;
  } while (std::chrono::steady_clock::now() < deadline);
  return lines;
}

// How many of `gateway`'s lines are listed, and how many of them are seen.
std::pair<int, int> Count(const json& lines, const std::string& gateway) {
  std::pair<int, int> count{0, 0};
  for (const json& line : lines) {
    if (line.value("gateway", "") != gateway) continue;
    ++count.first;
    count.second += line.value("seen", false) ? 1 : 0;
  }
  return count;
}

// The sum of `family`'s samples for `gateway`'s lines in /metrics of
// `host`, read by the Prometheus client's parser; -1 when there is none.
double LineMetric(Host& host, const std::string& family, const std::string& gateway) {
  const auto got = host.rig().Client()->Get("/metrics", HttpRig::Auth());
  if (!got || got->status != 200) return -1;
  const std::string prefix = family + "{gateway=" + gateway + ",line=";
  double sum = -1;
  for (const auto& [sample, value] : ParsedMetrics(host.rig(), got->body)) {
    if (sample.rfind(prefix, 0) == 0) sum = (sum < 0 ? 0 : sum) + value;
  }
  return sum;
}

TEST_F(SharedQueueEndToEnd, EachHostShowsBothHostsLinesAndAKilledOneAsNotSeen) {
  Host a("alpha", queue_), b("beta", queue_);
  const std::vector<std::string> fast{"--lines-heartbeat", "0.2"};  // not seen after 0.6 s
  a.StartHttp(fast);
  b.StartHttp(fast);
  const auto both_seen = [](const json& lines) {
    return Count(lines, "alpha") == std::pair{2, 2} && Count(lines, "beta") == std::pair{2, 2};
  };
  for (Host* host : {&a, &b}) {
    const json lines = LinesUntil(*host, both_seen);
    EXPECT_TRUE(both_seen(lines)) << lines.dump();
  }
  EXPECT_EQ(LineMetric(a, "zentrel_line_seen", "beta"), 2);
  EXPECT_EQ(LineMetric(a, "zentrel_line_calls_total", "beta"), 0);
  EXPECT_EQ(LineMetric(b, "zentrel_line_seen", "alpha"), 2);

  b.rig().Daemon().Signal(SIGKILL);
  b.rig().Daemon().Wait(10s);
  const json after =
      LinesUntil(a, [](const json& lines) { return Count(lines, "beta").second == 0; });
  EXPECT_EQ(Count(after, "beta"), (std::pair{2, 0})) << "kept, marked not seen: " << after.dump();
  EXPECT_EQ(Count(after, "alpha"), (std::pair{2, 2})) << after.dump();
  for (const json& line : after) {
    if (line["gateway"] == "beta") {
      EXPECT_GT(line["age_s"].get<double>(), 0.6) << line.dump();
    }
  }
  EXPECT_EQ(LineMetric(a, "zentrel_line_seen", "beta"), 0);
  EXPECT_EQ(LineMetric(a, "zentrel_line_in_call", "beta"), 0);

  EXPECT_EQ(a.rig().Stop(), 0);
  std::multiset<std::string> left;
  for (const auto& line : queue::OpenQueue(queue_, {}, {"reader"})->AllLines()) {
    left.insert(line.gateway);
  }
  EXPECT_EQ(left, (std::multiset<std::string>{"beta", "beta"}))
      << "a clean stop removes its lines; a killed host's stay";
}

}  // namespace
}  // namespace zentrel::gateway::testing
