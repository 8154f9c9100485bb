// The real thing end to end: zentrel-gateway runs each call through
// `zentrel-send --worker`, which dials emulated modems (zentrel-modemsim on
// pseudo-terminals) and speaks TAP to the emulated terminal behind them.
// What reached the terminal is read from the emulator's own log.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "tests/gateway/emulated_modems.h"
#include "tests/gateway/gateway_rig.h"

namespace zentrel::gateway::testing {
namespace {

TEST(GatewayEndToEnd, TenConcurrentSubmissionsOverTwoModemsEachArriveOnce) {
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems modems(rig, {"accept", "accept"});
  rig.Start();
  std::vector<long> ids(10);
  std::vector<std::thread> senders;
  for (int n = 0; n < 10; ++n) {
    senders.emplace_back([&rig, &ids, n] {
      ids[n] = rig.Submit(std::to_string(1001 + n), "page " + std::to_string(n));
    });
  }
  for (auto& t : senders) t.join();
  const auto pages = rig.WatchAll(ids, 60s);
  const auto accepted = modems.Accepted();
  for (int n = 0; n < 10; ++n) {
    const std::string text = "page " + std::to_string(n);
    ASSERT_EQ(pages.count(ids[n]), 1u) << text;
    EXPECT_EQ(pages.at(ids[n])["state"], "accepted") << text;
    EXPECT_EQ(accepted.count(text) ? accepted.at(text) : 0, 1) << text;
  }
  EXPECT_EQ(rig.Stop(), 0);
}

// Ten pages, five a call: both lines take a call at once, neither waiting
// for the other to end.
TEST(GatewayEndToEnd, TwoLinesCallAtOnce) {
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems modems(rig, {"accept", "accept"}, {"--bits-per-second", "4800"});
  rig.Start({"--max-pages-per-call", "5"});
  json pages = json::array();
  for (int n = 0; n < 10; ++n)
    pages.push_back({{"pin", "1003"}, {"text", "both " + std::to_string(n)}});
  SocketClient sender(rig.socket());
  const json answer = sender.Ask({{"op", "submit"}, {"pages", pages}});
  std::vector<long> ids;
  for (const json& id : answer["ids"]) ids.push_back(id.get<long>());
  ASSERT_EQ(ids.size(), 10u) << answer.dump();
  const auto final_pages = rig.WatchAll(ids, 60s);
  for (long id : ids) EXPECT_EQ(final_pages.at(id)["state"], "accepted") << "page " << id;
  rig.Daemon().Signal(SIGTERM);
  const e2e::Finished end = rig.Daemon().Wait(20s);
  EXPECT_EQ(end.status, 0);
  EXPECT_EQ(end.err.find("Waiting for the line"), std::string::npos) << end.err;
  EXPECT_EQ(modems.Accepted().size(), 10u);
}

TEST(GatewayEndToEnd, ATerminalBusyForTwoCallsGetsThePageOnTheThird) {
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems modems(rig, {"busy-twice"});
  rig.Start({"--retry-after", "0.05"});
  const long id = rig.Submit("1001", "third time");
  const json page = rig.WatchAll({id}, 60s).at(id);
  EXPECT_EQ(page["state"], "accepted");
  ASSERT_EQ(page["attempts"].size(), 3u) << page.dump();
  EXPECT_EQ(page["attempts"][0]["reason"], "busy");
  EXPECT_EQ(page["attempts"][1]["reason"], "busy");
  EXPECT_EQ(modems.Accepted().at("third time"), 1);
}

TEST(GatewayEndToEnd, AnInvalidPinIsRefusedOnceAndNeverTriedAgain) {
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems modems(rig, {"invalid-pin"});
  rig.Start({"--retry-after", "0.05"});
  const long id = rig.Submit("1001", "nobody");
  const json page = rig.WatchAll({id}, 60s).at(id);
  EXPECT_EQ(page["state"], "refused");
  ASSERT_EQ(page["attempts"].size(), 1u) << page.dump();
  EXPECT_EQ(page["attempts"][0]["reason"], "terminal refused");
}

// Killed during a call of 30 pages (after the 12th), then restarted: every
// page ends accepted, reaching the terminal once, or twice when the first
// time went unanswered (then the page is marked a possible duplicate).
TEST(GatewayEndToEnd, KilledMidBatchThenRestartedNoPageIsLost) {
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems modems(rig, {"accept"}, {"--bits-per-second", "9600"});
  const std::vector<std::string> options{"--max-pages-per-call", "30", "--retry-after", "0.05"};
  rig.Start(options);
  json pages = json::array();
  for (int n = 0; n < 30; ++n)
    pages.push_back({{"pin", "1002"}, {"text", "batch " + std::to_string(n)}});
  SocketClient sender(rig.socket());
  const json answer = sender.Ask({{"op", "submit"}, {"pages", pages}});
  ASSERT_EQ(answer["ids"].size(), 30u);
  const std::string twelfth = "page " + std::to_string(answer["ids"][11].get<long>()) + " accepted";
  ASSERT_TRUE(rig.Daemon().WaitForErrText(twelfth, 60s));
  rig.Daemon().Signal(SIGKILL);
  rig.Daemon().Wait(20s);
  rig.Start(options);
  std::vector<long> ids;
  for (const json& id : answer["ids"]) ids.push_back(id.get<long>());
  const auto final_pages = rig.WatchAll(ids, 120s);
  const auto accepted = modems.Accepted();
  for (int n = 0; n < 30; ++n) {
    const std::string text = "batch " + std::to_string(n);
    ASSERT_EQ(final_pages.count(ids[n]), 1u) << text;
    EXPECT_EQ(final_pages.at(ids[n])["state"], "accepted") << text;
    const int times = accepted.count(text) ? accepted.at(text) : 0;
    EXPECT_GE(times, 1) << text;
    EXPECT_LE(times, 2) << text;
    if (times == 2) {
      EXPECT_TRUE(final_pages.at(ids[n])["may_be_duplicate"]) << text << ": sent again unmarked";
    }
  }
}

// SIGTERM once the call has delivered a page: the worker finishes its block
// and logs off, the daemon exits 0.
TEST(GatewayEndToEnd, SigtermMidCallLogsOffAndExitsZero) {
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems modems(rig, {"accept"}, {"--bits-per-second", "2400"});
  rig.Start({"--max-pages-per-call", "30"});
  json pages = json::array();
  for (int n = 0; n < 10; ++n)
    pages.push_back({{"pin", "1002"}, {"text", "stop " + std::to_string(n)}});
  SocketClient sender(rig.socket());
  ASSERT_EQ(sender.Ask({{"op", "submit"}, {"pages", pages}})["ids"].size(), 10u);
  ASSERT_TRUE(rig.Daemon().WaitForErrText(" accepted", 30s)) << "no page got through";
  rig.Daemon().Signal(SIGTERM);
  const e2e::Finished end = rig.Daemon().Wait(30s);
  EXPECT_EQ(end.status, 0) << end.err;
  EXPECT_NE(end.err.find("call over"), std::string::npos) << end.err;
  std::ifstream log(rig.Path("modem0.log"));
  const std::string events((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  // The terminal answers the log-off before the worker hangs up, so the
  // emulator has logged it by the time the daemon is gone.
  EXPECT_NE(events.find("<EOT>"), std::string::npos) << "no log-off: " << events;
}

}  // namespace
}  // namespace zentrel::gateway::testing
