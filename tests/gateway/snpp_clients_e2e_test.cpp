// Real SNPP clients against the real daemon, its real worker and emulated
// modems: Perl's Net::SNPP (send() and data(), two pagers each) and the fax
// package's sendpage, unpacked by scripts/setup into SENDPAGE_DIR. Each page
// reaches the emulated terminal byte for byte, once. Then the daemon is
// killed right after SEND's 250 with no line to send on: the pages go out
// once it is restarted with one.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>

#include "tests/gateway/emulated_modems.h"
#include "tests/gateway/gateway_rig.h"
#include "tests/gateway/snpp_client.h"

namespace zentrel::gateway::testing {
namespace {

// Sends two pages with send() and two with data() (its text has a line
// break and a line that starts with a dot); prints SEND's replies.
constexpr const char* kNetSnpp = R"perl(
use strict; use Net::SNPP;
my $snpp = Net::SNPP->new("127.0.0.1", Port => $ARGV[0], Timeout => 20)
  or die "cannot connect: $@\n";
$snpp->send(Pager => ["1001", "1002"], Message => "Disk /var 97% on db1")
  or die "send: " . $snpp->message;
print $snpp->message;
$snpp->pager_id("1003") or die "page: " . $snpp->message;
$snpp->pager_id("1004") or die "page: " . $snpp->message;
$snpp->data("CRITICAL: web3 down\n", ".since 10:42\n") or die "data: " . $snpp->message;
$snpp->send() or die "send: " . $snpp->message;
print $snpp->message;
$snpp->quit;
)perl";

std::vector<long> QueuedIds(const std::string& replies) {
  std::vector<long> ids;
  for (std::size_t at = replies.find("queued as "); at != std::string::npos;
       at = replies.find("queued as ", at + 1)) {
    const char* p = replies.c_str() + at + 10;
    char* end = nullptr;
    for (long id = std::strtol(p, &end, 10); end != p; id = std::strtol(p, &end, 10)) {
      ids.push_back(id);
      p = end;
    }
  }
  return ids;
}

class SnppClientsEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.UseWorker(ZENTREL_SEND);
    port_ = FreePort();
  }
  void Start() { rig_.Start({"--snpp", "127.0.0.1:" + std::to_string(port_)}); }
  void ExpectAcceptedOnce(const Modems& modems, const std::vector<long>& ids,
                          const std::map<std::string, int>& texts) {
    const auto pages = rig_.WatchAll(ids, 60s);
    for (long id : ids) {
      ASSERT_EQ(pages.count(id), 1u) << "page " << id;
      EXPECT_EQ(pages.at(id)["state"], "accepted") << "page " << id;
      EXPECT_EQ(pages.at(id)["via"], "snpp") << "page " << id;
    }
    EXPECT_EQ(modems.Accepted(), texts);
  }
  GatewayRig rig_;
  int port_ = 0;
};

TEST_F(SnppClientsEndToEnd, NetSnppSendAndDataReachTheTerminalOnceEach) {
  Modems modems(rig_, {"accept", "accept"});
  Start();
  const e2e::Finished perl =
      e2e::RunProgram({"/usr/bin/perl", "-e", kNetSnpp, std::to_string(port_)}, {}, 60s);
  ASSERT_EQ(perl.status, 0) << perl.err;
  const std::vector<long> ids = QueuedIds(perl.out);
  ASSERT_EQ(ids.size(), 4u) << perl.out;
  SocketClient socket(rig_.socket());
  EXPECT_EQ(socket.Ask({{"op", "show"}, {"id", ids[2]}})["page"]["text"],
            "CRITICAL: web3 down\n.since 10:42");
  // The line break goes out as the TAP engine sends one: CR LF.
  ExpectAcceptedOnce(modems, ids,
                     {{"Disk /var 97% on db1", 2}, {"CRITICAL: web3 down\r\n.since 10:42", 2}});
}

TEST_F(SnppClientsEndToEnd, SendpageReachesTheTerminal) {
  const std::string sendpage = std::string(SENDPAGE_DIR) + "/usr/bin/sendpage";
  ASSERT_EQ(access(sendpage.c_str(), X_OK), 0)
      << sendpage << " is missing: scripts/setup unpacks it (hylafax-client)";
  Modems modems(rig_, {"accept"});
  Start();
  const e2e::Finished sent = e2e::RunProgram(
      {sendpage, "-h", "127.0.0.1:" + std::to_string(port_), "-p", "1005", "Backup failed: tape 7"},
      {"LD_LIBRARY_PATH=" + std::string(SENDPAGE_DIR) + "/usr/lib/hylafax"}, 60s);
  ASSERT_EQ(sent.status, 0) << sent.out << sent.err;
  SocketClient socket(rig_.socket());
  const json listed = socket.Ask({{"op", "list"}});
  ASSERT_EQ(listed["pages"].size(), 1u) << listed.dump();
  ExpectAcceptedOnce(modems, {listed["pages"][0]["id"].get<long>()},
                     {{"Backup failed: tape 7", 1}});
}

TEST_F(SnppClientsEndToEnd, KilledRightAfterThe250ThePagesGoOutAfterTheRestart) {
  std::ofstream(rig_.Path("lines.conf")) << "# no line yet\n";
  Start();
  std::vector<long> ids;
  {
    SnppClient client(port_);
    ASSERT_EQ(client.Reply().substr(0, 3), "220");
    ASSERT_EQ(client.Ask("PAGE 1007").substr(0, 3), "250");
    ASSERT_EQ(client.Ask("PAGE 1008").substr(0, 3), "250");
    ASSERT_EQ(client.Ask("MESS killed after the 250").substr(0, 3), "250");
    const std::string sent = client.Ask("SEND");
    rig_.Daemon().Signal(SIGKILL);
    ASSERT_EQ(sent.substr(0, 3), "250") << sent;
    ids = QueuedIds(sent);
  }
  rig_.Daemon().Wait(20s);
  ASSERT_EQ(ids.size(), 2u);
  Modems modems(rig_, {"accept"});
  Start();
  ExpectAcceptedOnce(modems, ids, {{"killed after the 250", 2}});
}

}  // namespace
}  // namespace zentrel::gateway::testing
