// The SNPP listener's idle rule, driven in-process with its clock in hand: a
// client whose command already waits in its socket when the loop comes back
// late is read, not dropped as idle; a silent one is told 421 and closed.
// The backend is a stand-in (the real one is in snpp_server_test.cpp).
#include <gtest/gtest.h>
#include <poll.h>

#include <memory>
#include <string>
#include <vector>

#include "gateway/snpp_server.h"
#include "tests/gateway/snpp_client.h"

namespace zentrel::gateway::testing {
namespace {

constexpr double kIdle = 60;

class AnyPin : public SnppBackend {
 public:
  bool KnownPin(const std::string&) override { return true; }
  bool IsUser(const std::string&) override { return false; }
  bool Login(const std::string&, const std::string&) override { return false; }
  SnppSendResult Send(const std::vector<SnppPage>&, const std::string&) override {
    return {{1}, false, ""};
  }
};

// One turn of the daemon's loop at `now`: AddFds (where idle clients go),
// a poll of up to `wait_ms`, Serve.
void Turn(SnppServer& server, double now, int wait_ms) {
  std::vector<pollfd> fds;
  server.AddFds(fds, now);
  poll(fds.data(), fds.size(), wait_ms);
  server.Serve(fds, 0, now);
}

// Waits until a client's descriptor is readable for the server, without
// serving it: its bytes are then waiting in the socket.
void WaitForBytes(SnppServer& server, double now) {
  std::vector<pollfd> fds;
  server.AddFds(fds, now);
  for (pollfd& p : fds) p.events = POLLIN;
  ASSERT_GT(poll(fds.data(), fds.size(), 10000), 0);
}

TEST(SnppIdle, ABackedUpCommandIsReadAndASilentClientIsClosed) {
  struct Row {
    const char* name;
    std::string sent;  // after the greeting, before the loop comes back late
    const char* reply;
  };
  const Row rows[] = {
      {"a command waiting in the socket", "PAGE 1001\r\n", "250"},
      {"a client that said nothing", "", "421"},
  };
  for (const Row& row : rows) {
    SnppServerConfig config;
    config.address = "127.0.0.1:0";
    config.idle_s = kIdle;
    SnppServer server(config, std::make_unique<AnyPin>());
    SnppClient client(std::stoi(server.Where().substr(server.Where().rfind(':') + 1)));
    Turn(server, 0, 10000);  // accepts and greets
    EXPECT_EQ(client.Reply().substr(0, 3), "220") << row.name;
    if (!row.sent.empty()) {
      client.SendRaw(row.sent);
      WaitForBytes(server, 0);
    }
    Turn(server, kIdle + 1, row.sent.empty() ? 0 : 10000);
    EXPECT_EQ(client.Reply().substr(0, 3), row.reply) << row.name;
  }
}

}  // namespace
}  // namespace zentrel::gateway::testing
