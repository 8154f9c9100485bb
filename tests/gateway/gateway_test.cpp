// The real zentrel-gateway through its socket, with the fake worker as every
// call: concurrent submissions, retries after BUSY, refusals at submission,
// holds and cancels, bad clients, and the daemon killed or stopped mid-call.
// Retry waits are given short by option; every wait is on an event.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/gateway/gateway_rig.h"

namespace zentrel::gateway::testing {
namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(Gateway, TenConcurrentSubmissionsEachArriveOnce) {
  GatewayRig rig;
  rig.Start();
  std::vector<long> ids(10);
  std::vector<std::thread> senders;
  for (int n = 0; n < 10; ++n) {
    senders.emplace_back([&rig, &ids, n] {
      ids[n] = rig.Submit(std::to_string(1001 + n), "page " + std::to_string(n));
    });
  }
  for (auto& t : senders) t.join();
  const auto pages = rig.WatchAll(ids);
  for (int n = 0; n < 10; ++n) {
    ASSERT_GT(ids[n], 0) << "submission " << n;
    EXPECT_EQ(pages.at(ids[n])["state"], "accepted") << "submission " << n;
    EXPECT_EQ(pages.at(ids[n])["by"], "uid " + std::to_string(getuid()));
  }
  const auto delivered = rig.Delivered();
  EXPECT_EQ(delivered.size(), 10u);
  for (const auto& [id, times] : delivered) EXPECT_EQ(times.size(), 1u) << "page " << id;
  EXPECT_EQ(rig.Stop(), 0);
}

TEST(Gateway, ATerminalBusyForTwoCallsGetsThePageOnTheThird) {
  GatewayRig rig;
  rig.Plan({"busy", "busy"});
  rig.Start({"--retry-after", "0.05 0.1"});
  const long id = rig.Submit("1001", "third time");
  const json page = rig.WatchAll({id}).at(id);
  EXPECT_EQ(page["state"], "accepted");
  ASSERT_EQ(page["attempts"].size(), 3u);
  EXPECT_EQ(page["attempts"][0]["reason"], "busy");
  EXPECT_EQ(page["attempts"][1]["reason"], "busy");
  EXPECT_EQ(page["attempts"][2]["outcome"], "accepted");
  EXPECT_EQ(rig.Delivered().at(id).size(), 1u);
}

TEST(Gateway, AnUnknownPinRefusesTheWholeSubmissionAndNothingIsQueued) {
  GatewayRig rig;
  rig.Start();
  SocketClient client(rig.socket());
  const json answer =
      client.Ask({{"op", "submit"},
                  {"pages", {{{"pin", "1001"}, {"text", "a"}}, {{"pin", "99"}, {"text", "b"}}}}});
  EXPECT_EQ(answer["code"], "unknown-pin");
  EXPECT_NE(answer["error"].get<std::string>().find("\"99\""), std::string::npos);
  const json bad_text =
      client.Ask({{"op", "submit"}, {"pages", {{{"pin", "1001"}, {"text", "a\x03"}}}}});
  EXPECT_EQ(bad_text["code"], "refused");
  EXPECT_TRUE(client.Ask({{"op", "list"}})["pages"].empty());
  EXPECT_EQ(rig.Stop(), 0);
  EXPECT_TRUE(rig.Delivered().empty());
}

TEST(Gateway, APageHeldUntilATimeIsNotSentBefore) {
  GatewayRig rig;
  rig.Start();
  const double hold = Now() + 0.4;
  const long id = rig.Submit("1002", "later", {{"hold_until", hold}});
  const json page = rig.WatchAll({id}).at(id);
  EXPECT_EQ(page["state"], "accepted");
  EXPECT_GE(page["attempts"][0]["at"].get<double>(), hold);
}

TEST(Gateway, ACancelledPageIsNeverSent) {
  GatewayRig rig;
  rig.Start();
  const long id = rig.Submit("1003", "never", {{"hold_until", Now() + 3600}});
  SocketClient client(rig.socket());
  EXPECT_EQ(client.Ask({{"op", "cancel"}, {"id", id}})["page"]["state"], "cancelled");
  EXPECT_EQ(client.Ask({{"op", "release"}, {"id", id}})["code"], "final");
  const long other = rig.Submit("1004", "goes");
  EXPECT_EQ(rig.WatchAll({id, other}).at(other)["state"], "accepted");
  EXPECT_EQ(rig.Delivered().count(id), 0u);
}

TEST(Gateway, BadClientsNeverStopTheDaemonOrOthers) {
  GatewayRig rig;
  rig.Start({"--client-timeout", "0.3"});
  SocketClient garbage(rig.socket());
  EXPECT_EQ(garbage.Ask(json("not an object"))["code"], "bad-request");
  garbage.SendRaw("{\"op\":\"list\"\n");
  EXPECT_EQ(garbage.Read()["code"], "bad-request");
  EXPECT_EQ(garbage.Ask({{"op", "list"}})["ok"], true) << "the connection stays after a bad line";

  SocketClient huge(rig.socket());
  huge.SendRaw(std::string(10 << 20, 'x'));
  EXPECT_EQ(huge.Read()["code"], "bad-request");
  EXPECT_TRUE(huge.ClosedWithin(5s));

  SocketClient half(rig.socket());
  half.SendRaw("{\"op\":\"sub");
  SocketClient silent(rig.socket());
  EXPECT_TRUE(half.ClosedWithin(5s)) << "a half message is dropped at the time-out";
  EXPECT_TRUE(silent.ClosedWithin(5s)) << "a client that never speaks is dropped";

  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
  setrlimit(RLIMIT_NOFILE, &limit);
  std::vector<std::unique_ptr<SocketClient>> crowd;
  for (int n = 0; n < 1000 && n + 64 < static_cast<int>(limit.rlim_cur); ++n) {
    crowd.push_back(std::make_unique<SocketClient>(rig.socket()));
  }
  const long id = rig.Submit("1005", "through the crowd");
  EXPECT_GT(id, 0);
  crowd.clear();
  EXPECT_EQ(rig.WatchAll({id}).at(id)["state"], "accepted");
  EXPECT_EQ(rig.Stop(), 0);
}

// Each row: after which delivery the daemon is killed (0: before the call,
// with the pages queued while no line was configured). After the restart
// every page is accepted, having reached the terminal once, or twice with
// the second marked as a possible duplicate.
TEST(Gateway, KilledAtAnyPointOfABatchNoPageIsLostOrSentTwiceUnmarked) {
  for (int kill_after : {0, 1, 13, 30}) {
    const std::string row = "killed after " + std::to_string(kill_after);
    GatewayRig rig;
    std::ofstream(rig.Path("lines.conf")) << (kill_after == 0 ? "" : "tcp 127.0.0.1:1\n");
    const std::vector<std::string> options{"--max-pages-per-call", "30"};
    rig.Start(options);
    json pages = json::array();
    for (int n = 0; n < 30; ++n) {
      pages.push_back({{"pin", "1002"}, {"text", "batch " + std::to_string(n)}});
    }
    SocketClient sender(rig.socket());
    const json answer = sender.Ask({{"op", "submit"}, {"pages", pages}});
    ASSERT_EQ(answer["ids"].size(), 30u) << row;
    std::vector<long> ids;
    for (const json& id : answer["ids"]) ids.push_back(id.get<long>());
    if (kill_after > 0) {
      const std::string text = "delivered " + std::to_string(ids[kill_after - 1]) + "\n";
      ASSERT_TRUE(rig.Daemon().WaitForErrText(text, 20s)) << row;
    }
    rig.Daemon().Signal(SIGKILL);
    rig.Daemon().Wait(10s);
    std::ofstream(rig.Path("lines.conf")) << "tcp 127.0.0.1:1\n";
    rig.Start(options);
    const auto final_pages = rig.WatchAll(ids);
    const auto delivered = rig.Delivered();
    for (long id : ids) {
      const std::string page = row + ", page " + std::to_string(id);
      EXPECT_EQ(final_pages.at(id)["state"], "accepted") << page;
      ASSERT_EQ(delivered.count(id), 1u) << page;
      const std::vector<bool>& times = delivered.at(id);
      ASSERT_LE(times.size(), 2u) << page;
      EXPECT_FALSE(times[0]) << page;
      if (times.size() == 2) {
        EXPECT_TRUE(times[1]) << page << ": sent again unmarked";
      }
    }
  }
}

TEST(Gateway, SigtermMidCallLetsTheCallEndAndKeepsThePage) {
  GatewayRig rig;
  rig.Plan({"hang"});
  rig.Start();
  const long id = rig.Submit("1006", "interrupted");
  ASSERT_TRUE(rig.Daemon().WaitForErrText("hanging on", 10s));
  EXPECT_EQ(rig.Stop(), 0);
  rig.Start();
  const json page = rig.WatchAll({id}).at(id);
  EXPECT_EQ(page["state"], "accepted");
  EXPECT_EQ(page["attempts"][0]["reason"], "interrupted");
  EXPECT_TRUE(page["may_be_duplicate"]) << "its block had gone out unanswered";
}

TEST(Gateway, AWorkerPastItsTimeOutIsStoppedThenKilled) {
  GatewayRig rig;
  rig.Plan({"deaf"});
  rig.Start({"--call-timeout", "1", "--call-margin", "0", "--stop-grace", "0.2", "--retry-after",
             "0.05"});
  const long id = rig.Submit("1008", "stuck");
  const json page = rig.WatchAll({id}).at(id);
  EXPECT_EQ(page["state"], "accepted");
  EXPECT_EQ(page["attempts"][0]["words"], "the call took longer than its time-out");
  EXPECT_TRUE(page["may_be_duplicate"]);
  EXPECT_EQ(rig.Stop(), 0);
}

// systemd's side of Type=notify: a datagram socket the daemon reports to.
TEST(Gateway, TellsTheServiceManagerReadyWatchdogAndStopping) {
  GatewayRig rig;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = rig.Path("notify");
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const auto next = [fd] {
    pollfd p{fd, POLLIN, 0};
    char text[512] = {};
    if (poll(&p, 1, 10000) <= 0) return std::string("(nothing)");
    return std::string(
        text, static_cast<std::size_t>(std::max<ssize_t>(0, recv(fd, text, sizeof text, 0))));
  };
  rig.Start({}, {"NOTIFY_SOCKET=" + path, "WATCHDOG_USEC=100000"});
  EXPECT_EQ(next().rfind("READY=1", 0), 0u);
  EXPECT_EQ(next(), "WATCHDOG=1");
  EXPECT_EQ(next(), "WATCHDOG=1") << "the watchdog is fed while the daemon idles";
  rig.Daemon().Signal(SIGTERM);
  std::string said;
  while (said.rfind("STOPPING=1", 0) != 0 && said != "(nothing)") said = next();
  EXPECT_EQ(said.rfind("STOPPING=1", 0), 0u);
  EXPECT_EQ(rig.Stop(), 0);
  close(fd);
}

TEST(Gateway, AWorkerThatDiesCostsOneCallNotThePage) {
  GatewayRig rig;
  rig.Plan({"crash", "line unusable"});
  rig.Start({"--retry-after", "0.05"});
  const long id = rig.Submit("1007", "survives");
  const json page = rig.WatchAll({id}).at(id);
  EXPECT_EQ(page["state"], "accepted");
  EXPECT_EQ(page["attempts"][0]["reason"], "interrupted");
  EXPECT_EQ(rig.Stop(), 0);
}

}  // namespace
}  // namespace zentrel::gateway::testing
