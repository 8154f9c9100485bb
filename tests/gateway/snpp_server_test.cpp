// The real zentrel-gateway's SNPP listener on loopback, with the fake worker
// as every call: a transaction is queued with its sender and delivered; the
// idle time-out, the connection limit and a stuck client; LOGIn against a
// hash made by `zentrel-gateway passwd`; the refusals at start; socket
// activation through systemd-socket-activate. Time-outs are given short.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/gateway/gateway_rig.h"
#include "tests/gateway/snpp_client.h"

namespace zentrel::gateway::testing {
namespace {

std::string Code(const std::string& reply) { return reply.substr(0, 3); }

class SnppDaemon : public ::testing::Test {
 protected:
  void StartSnpp(std::vector<std::string> extra = {}) {
    port_ = FreePort();
    extra.insert(extra.begin(), {"--snpp", "127.0.0.1:" + std::to_string(port_)});
    rig_.Start(extra);
  }
  GatewayRig rig_;
  int port_ = 0;
};

TEST_F(SnppDaemon, ATransactionIsCommittedBeforeThe250AndDeliveredOnce) {
  StartSnpp();
  SnppClient client(port_);
  EXPECT_EQ(Code(client.Reply()), "220");
  EXPECT_EQ(Code(client.Ask("PAGE 1001")), "250");
  EXPECT_EQ(Code(client.Ask("PAGE 1002")), "250");
  EXPECT_EQ(Code(client.Ask("LEVE 0")), "250");
  EXPECT_EQ(Code(client.Ask("MESS pump 3 down")), "250");
  const std::string sent = client.Ask("SEND");
  ASSERT_EQ(Code(sent), "250") << sent;
  long first = 0, second = 0;
  ASSERT_EQ(std::sscanf(sent.c_str(), "%*[^(](queued as %ld %ld)", &first, &second), 2) << sent;
  SocketClient socket(rig_.socket());
  const json shown = socket.Ask({{"op", "show"}, {"id", first}});
  EXPECT_EQ(shown["page"]["via"], "snpp");
  EXPECT_EQ(shown["page"]["by"], "peer 127.0.0.1");
  EXPECT_EQ(shown["page"]["text"], "pump 3 down");
  const auto pages = rig_.WatchAll({first, second});
  EXPECT_EQ(pages.at(first)["state"], "accepted");
  EXPECT_EQ(pages.at(second)["state"], "accepted");
  const auto delivered = rig_.Delivered();
  EXPECT_EQ(delivered.size(), 2u);
  for (const auto& [id, times] : delivered) EXPECT_EQ(times.size(), 1u) << "page " << id;
  EXPECT_EQ(Code(client.Ask("QUIT")), "221");
  EXPECT_EQ(rig_.Stop(), 0);
}

TEST_F(SnppDaemon, AStuckClientDelaysNoOtherAndIdleOnesAreTold421) {
  StartSnpp({"--snpp-idle", "0.5", "--snpp-clients", "3"});
  SnppClient stuck(port_);  // half a line, then nothing; it never reads either
  stuck.SendRaw("PAGE 10");
  SnppClient flood(port_);  // commands it never reads the replies of
  std::string resets;
  for (int n = 0; n < 500000; ++n) resets += "RESE\r\n";
  flood.SendRaw(resets, false);
  SnppClient good(port_);
  EXPECT_EQ(Code(good.Reply()), "220");
  SnppClient refused(port_);
  EXPECT_EQ(Code(refused.Reply()), "421") << "past --snpp-clients";
  EXPECT_TRUE(refused.ClosedWithin(std::chrono::seconds(5)));
  EXPECT_EQ(Code(good.Ask("PAGE 1003")), "250");
  EXPECT_EQ(Code(good.Ask("MESS hi")), "250");
  EXPECT_EQ(Code(good.Ask("SEND")), "250");
  EXPECT_EQ(stuck.Reply(), "220 Zentrel SNPP gateway (levels 1, 2) ready");
  EXPECT_EQ(Code(stuck.Reply()), "421") << "idle past --snpp-idle";
  EXPECT_TRUE(stuck.ClosedWithin(std::chrono::seconds(5)));
  EXPECT_TRUE(flood.ClosedWithin(std::chrono::seconds(5)));
}

TEST_F(SnppDaemon, LogInChecksTheHashMadeByPasswd) {
  e2e::Process passwd({ZENTREL_GATEWAY, "passwd", "alice"}, {}, true);
  passwd.WriteInput("s3cret pass\n");
  passwd.CloseInput();
  const e2e::Finished made = passwd.Wait(std::chrono::seconds(30));
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_EQ(made.out.rfind("snpp-user = alice:$y$", 0), 0u) << made.out;
  EXPECT_EQ(made.out.find("s3cret"), std::string::npos);
  const std::string user = made.out.substr(12, made.out.find('\n') - 12);
  StartSnpp({"--snpp-user", user});
  SnppClient client(port_);
  EXPECT_EQ(Code(client.Reply()), "220");
  EXPECT_EQ(Code(client.Ask("LOGI alice wrong")), "550");
  EXPECT_EQ(Code(client.Ask("LOGI bob s3cret pass")), "550");
  EXPECT_EQ(Code(client.Ask("LOGI alice s3cret pass")), "250");
  EXPECT_EQ(Code(client.Ask("PAGE 1001")), "250");
  EXPECT_EQ(Code(client.Ask("MESS hi")), "250");
  const std::string sent = client.Ask("SEND");
  long id = 0;
  ASSERT_EQ(std::sscanf(sent.c_str(), "250 %*[^(](queued as %ld)", &id), 1) << sent;
  SocketClient socket(rig_.socket());
  EXPECT_EQ(socket.Ask({{"op", "show"}, {"id", id}})["page"]["by"], "user alice");
}

TEST(SnppStart, TheDaemonRefusesWhatIsUnsafeOrWrong) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* says;
    const char* conf = "";
  };
  const Row rows[] = {
      {"beyond loopback with no user", {"--snpp", "0.0.0.0:0"}, 1, "no snpp-user"},
      {"an unknown hold zone", {"--snpp-hold-zone", "Mars/Olympus"}, 2, "Mars/Olympus"},
      {"a user without a hash", {"--snpp-user", "alice:secret"}, 2, "NAME:HASH"},
      {"the same in gateway.conf", {}, 2, "NAME:HASH", "snpp-user = bob:plain\n"},
      {"a port that is none", {"--snpp", "127.0.0.1:99999"}, 1, "cannot listen"},
  };
  for (const Row& row : rows) {
    GatewayRig rig;
    std::ofstream(rig.Path("none.conf")) << row.conf;
    std::vector<std::string> argv{ZENTREL_GATEWAY,
                                  "--db",
                                  rig.Path("vp.mdb"),
                                  "--queue",
                                  rig.Path("q.db"),
                                  "--socket",
                                  rig.Path("s.sock"),
                                  "--config",
                                  rig.Path("none.conf"),
                                  "--http",
                                  "off"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const e2e::Finished done = e2e::RunProgram(argv, {}, std::chrono::seconds(30));
    EXPECT_EQ(done.status, row.status) << row.name << ": " << done.err;
    EXPECT_NE(done.err.find(row.says), std::string::npos) << row.name << ": " << done.err;
  }
}

// systemd hands the listening socket over (FileDescriptorName=snpp): the
// daemon binds nothing itself.
TEST(SnppStart, TakesTheSocketSystemdHandsOver) {
  GatewayRig rig;
  const int port = FreePort();
  std::ofstream(rig.Path("none.conf")) << "# nothing\n";
  e2e::Process activator(
      {"/usr/bin/systemd-socket-activate", "-l", "127.0.0.1:" + std::to_string(port),
       "--fdname=snpp", ZENTREL_GATEWAY, "--db", rig.Path("vp.mdb"), "--queue", rig.Path("q.db"),
       "--socket", rig.Path("s.sock"), "--lines", rig.Path("lines.conf"), "--config",
       rig.Path("none.conf"), "--snpp", "off", "--http", "off"},
      {rig.LockEnv()});
  ASSERT_TRUE(activator.WaitForErrText("Listening on", std::chrono::seconds(10)));
  SnppClient client(port);  // the first connection starts the daemon
  EXPECT_EQ(Code(client.Reply()), "220");
  EXPECT_EQ(Code(client.Ask("QUIT")), "221");
}

}  // namespace
}  // namespace zentrel::gateway::testing
