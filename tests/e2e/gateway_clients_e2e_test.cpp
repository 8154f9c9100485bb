// zentrel-send --gateway, zentrel-queue and zentrel-log against the real
// zentrel-gateway. With no line configured every page stays queued, so the
// queue's actions (hold, release, retry, cancel) and the clients' refusals
// are exact; with the emulated modem and the real worker, pages go out and
// --follow reports the terminal's answer.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/scratch.h"

namespace zentrel::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

class GatewayClientsEndToEnd : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(MakeDemoDb());
    Write("lines.conf", "");
  }
  void TearDown() override {
    gateway_.reset();
    modem_.reset();
    ScratchTest::TearDown();
  }
  std::vector<std::string> Env() const {
    return {"ZENTREL_LOCK_DIR=" + Path("locks"), "ZENTREL_PAGE_LOG=" + Path("pages.db"),
            "XDG_CONFIG_HOME=" + Path("config"), "XDG_STATE_HOME=" + Path("state")};
  }

  void StartGateway() {
    gateway_ = std::make_unique<Process>(
        std::vector<std::string>{ZENTREL_GATEWAY, "--queue", Path("queue.db"), "--lines",
                                 Path("lines.conf"), "--db", Path("vp.mdb"), "--socket",
                                 Path("gateway.sock"), "--retry-after", "3600", "--snpp", "off",
                                 "--http", "off"},
        Env());
    ASSERT_TRUE(gateway_->WaitForErrText("listening on", 30s)) << "the gateway did not start";
  }
  void StartModem(const std::string& scenario) {
    modem_ = StartEmulator({"--link", Path("modem"), "--scenario", scenario, "--connect-delay-ms",
                            "20", "--idle-timeout-ms", "500"});
    Write("lines.conf", "modem " + Path("modem") + " ATZ\n");
  }

  Finished Send(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv{ZENTREL_SEND, "--gateway", Path("gateway.sock")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return RunProgram(argv, Env(), 60s);
  }
  Finished Queue(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv{ZENTREL_QUEUE, "--socket", Path("gateway.sock")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return RunProgram(argv, Env(), 60s);
  }
  json Page(const std::string& id) const {
    const auto shown = Queue({"show", id, "--json"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    return json::parse(shown.out, nullptr, false);
  }

  std::unique_ptr<Process> gateway_;
  std::unique_ptr<Process> modem_;
};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST_F(GatewayClientsEndToEnd, QueueActionsAndRefusalsWithNoLine) {
  StartGateway();
  const auto sent = Send({"--pin", "1001", "--message", "Pump 3 pressure low"});
  ASSERT_EQ(sent.status, 0) << sent.err;
  const std::string id = FirstLine(sent.out);
  ASSERT_FALSE(id.empty());

  const struct {
    std::vector<std::string> args;
    int status;
    std::string says;   // on standard output, or standard error when the status is not 0
    std::string state;  // the page's state and hold afterwards
    bool held;
  } steps[] = {
      {{"list"}, 0, "queued", "queued", false},
      {{"hold", id}, 0, "Page " + id + " held", "queued", true},
      {{"list"}, 0, "queued (held)", "queued", true},
      {{"release", id}, 0, "Page " + id + " released", "queued", false},
      {{"retry", id}, 0, "Page " + id + " to be tried now", "queued", false},
      {{"show", id}, 0, "Text: Pump 3 pressure low\n", "queued", false},
      {{"cancel", id}, 0, "Page " + id + " cancelled", "cancelled", false},
      {{"cancel", id}, 4, "", "cancelled", false},
      {{"hold", id}, 4, "", "cancelled", false},
      {{"show", "999999"}, 3, "", "cancelled", false},
      {{"show", "x"}, 2, "", "cancelled", false},
      {{"list"}, 0, "cancelled", "cancelled", false},
  };
  for (const auto& step : steps) {
    const auto done = Queue(step.args);
    const std::string row = step.args[0] + (step.args.size() > 1 ? " " + step.args[1] : "");
    EXPECT_EQ(done.status, step.status) << row << ": " << done.out << done.err;
    EXPECT_NE((step.status == 0 ? done.out : done.err).find(step.says), std::string::npos)
        << row << ": " << done.out << done.err;
    const json page = Page(id);
    EXPECT_EQ(page.value("state", ""), step.state) << row;
    EXPECT_EQ(page.value("held", false), step.held) << row;
  }

  const auto logged =
      RunProgram({ZENTREL_LOG, "--gateway", "--queue", Path("queue.db")}, Env(), 30s);
  EXPECT_EQ(logged.status, 0) << logged.err;
  EXPECT_NE(logged.out.find("cancelled  1001 (Alice Moreno)  \"Pump 3 pressure low\""),
            std::string::npos)
      << logged.out;
}

TEST_F(GatewayClientsEndToEnd, SenderRefusalsAndAnUnreachableGateway) {
  StartGateway();
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string says;
  } rows[] = {
      {"unknown PIN", {"--pin", "4242", "--message", "hi"}, 2, "4242"},
      {"one bad page refuses all",
       {"--full-tap", "--pin", "1001", "--page", "4242=hi", "--message", "hi"},
       2,
       "4242"},
      {"another number",
       {"--pin", "1001", "--message", "hi", "--phone", "5550000"},
       2,
       "--phone: cannot be used with --gateway"},
  };
  for (const auto& row : rows) {
    const auto done = Send(row.args);
    EXPECT_EQ(done.status, row.status) << row.name << ": " << done.out << done.err;
    EXPECT_NE(done.err.find(row.says), std::string::npos) << row.name << ": " << done.err;
    EXPECT_EQ(done.out, "") << row.name;
  }
  const auto nowhere =
      RunProgram({ZENTREL_SEND, "--gateway", Path("none.sock"), "--pin", "1001", "--message", "hi"},
                 Env(), 30s);
  EXPECT_EQ(nowhere.status, 1) << nowhere.err;
  EXPECT_NE(nowhere.err.find("cannot reach the gateway at " + Path("none.sock") +
                             ": No such file or directory"),
            std::string::npos)
      << nowhere.err;
  const auto listed = Queue({"list", "--json"});
  EXPECT_EQ(json::parse(listed.out, nullptr, false), json::array()) << "nothing was queued";
  const auto unreachable =
      RunProgram({ZENTREL_QUEUE, "--socket", Path("none.sock"), "list"}, Env(), 30s);
  EXPECT_EQ(unreachable.status, 1);
  EXPECT_NE(unreachable.err.find(Path("none.sock")), std::string::npos) << unreachable.err;
}

TEST_F(GatewayClientsEndToEnd, FollowEndsNotAcceptedWhenThePageIsCancelled) {
  StartGateway();
  Process sender({ZENTREL_SEND, "--gateway", Path("gateway.sock"), "--follow", "--pin", "1002",
                  "--message", "never sent"},
                 Env());
  const std::string id = sender.WaitForLine("", 30s);
  ASSERT_FALSE(id.empty());
  const auto cancelled = Queue({"cancel", id.substr(0, id.find('\n'))});
  EXPECT_EQ(cancelled.status, 0) << cancelled.err;
  const auto done = sender.Wait(30s);
  EXPECT_EQ(done.status, 1) << done.out << done.err;
  EXPECT_NE(done.out.find("(PIN 1002): cancelled"), std::string::npos) << done.out;
}

}  // namespace
}  // namespace zentrel::e2e

namespace zentrel::e2e {
namespace {

// Through the emulated modem and the real worker: --follow ends as a direct
// send would, the terminal's words reach zentrel-queue and zentrel-log.
TEST_F(GatewayClientsEndToEnd, FollowReportsWhatTheTerminalSaid) {
  const struct {
    const char* scenario;
    int status;
    std::string state;
    std::string words;
  } rows[] = {
      {"accept", 0, "accepted", "211 Page accepted"},
      {"rs", 1, "refused", ""},
  };
  for (const auto& row : rows) {
    StartModem(row.scenario);
    StartGateway();
    const auto sent = Send({"--follow", "--full-tap", "--pin", "1001", "--pin", "1002", "--message",
                            std::string("Ward 4 ") + row.scenario});
    EXPECT_EQ(sent.status, row.status) << row.scenario << ": " << sent.out << sent.err;
    for (const char* pin : {"1001", "1002"}) {
      EXPECT_NE(sent.out.find(std::string("(PIN ") + pin + "): " + row.state), std::string::npos)
          << row.scenario << ": " << sent.out;
    }
    const std::string id = FirstLine(sent.out).substr(0, FirstLine(sent.out).find(' '));
    const json page = Page(id);
    ASSERT_TRUE(page.contains("attempts")) << row.scenario << ": " << page.dump();
    ASSERT_EQ(page["attempts"].size(), 1u) << row.scenario << ": " << page.dump();
    if (!row.words.empty()) {
      EXPECT_EQ(page["attempts"][0].value("words", ""), row.words) << row.scenario;
    }
    const auto logged =
        RunProgram({ZENTREL_LOG, "--gateway", "--json", "--queue", Path("queue.db")}, Env(), 30s);
    const json pages = json::parse(logged.out, nullptr, false);
    ASSERT_TRUE(pages.is_array()) << logged.out << logged.err;
    for (const json& p : pages) {
      EXPECT_EQ(p.value("state", ""), row.state) << row.scenario;
      EXPECT_EQ(p["attempts"].size(), 1u) << row.scenario;
    }
    EXPECT_EQ(pages.size(), 2u) << row.scenario;
    gateway_.reset();
    modem_.reset();
    for (const char* file : {"queue.db", "queue.db-wal", "queue.db-shm"}) fs::remove(Path(file));
  }
}

}  // namespace
}  // namespace zentrel::e2e
