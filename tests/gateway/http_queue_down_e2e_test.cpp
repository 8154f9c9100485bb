// Posts the queue cannot take: the gateway's PostgreSQL queue (a server the
// test program starts for itself) is stopped, and an alert group and an API
// page are each answered 503 (Alertmanager posts again on a 5xx; anything
// else it drops), with no id claimed; once the server is back, nothing of
// them was queued and the same post is taken.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/gateway/http_rig.h"
#include "tests/queue/pg_server.h"

namespace zentrel::gateway::testing {
namespace {

const auto* const pg_environment =
    ::testing::AddGlobalTestEnvironment(new zentrel::testing::PgEnvironment);

std::string Payload(const std::string& name) {
  std::ifstream in(std::string(PAYLOADS) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(HttpQueueDown, APostTheQueueCannotTakeIsAnswered503AndQueuesNothing) {
  HttpRig rig;
  rig.UseQueue(zentrel::testing::TestPg().NewDatabase());
  rig.StartHttp({"--reconnect-max", "0.5"});
  auto client = rig.Client();
  struct Row {
    const char* name;
    const char* path;
    std::string body;
    int taken;  // the status once the queue is back
  };
  const Row rows[] = {
      {"alert group", "/alertmanager?pin=1001", Payload("alertmanager_v4.json"), 200},
      {"API page", "/api/v1/pages", json({{"pin", "1002"}, {"text", "pump 3"}}).dump(), 202},
  };
  zentrel::testing::TestPg().Stop();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto posted = client->Post(row.path, HttpRig::Auth(), row.body, "application/json");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 503) << posted->body;
    const json answer = json::parse(posted->body, nullptr, false);
    EXPECT_FALSE(answer.contains("ids")) << posted->body;
    EXPECT_NE(answer.value("ok", true), true) << posted->body;
  }
  // The line's loop has met the stopped queue too; it says when it is back.
  ASSERT_TRUE(rig.Daemon().WaitForErrText("no call started", 20s)) << rig.Daemon().ErrSoFar();
  zentrel::testing::TestPg().Start();
  ASSERT_TRUE(rig.Daemon().WaitForErrText("the queue works again", 20s)) << rig.Daemon().ErrSoFar();
  SocketClient socket(rig.socket());
  const json listed = socket.Ask({{"op", "list"}});
  EXPECT_EQ(listed.value("ok", false), true) << listed.dump();
  EXPECT_TRUE(listed["pages"].empty()) << listed.dump();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto posted = client->Post(row.path, HttpRig::Auth(), row.body, "application/json");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, row.taken) << posted->body;
    // Taken now, not answered from a record of the post that failed.
    EXPECT_EQ(json::parse(posted->body, nullptr, false).value("ids", json::array()).size(), 1u)
        << posted->body;
  }
  EXPECT_EQ(rig.Stop(), 0);
}

}  // namespace
}  // namespace zentrel::gateway::testing
