// A reply line from the gateway is either understood (ok, or a refusal with
// the daemon's code and sentence) or an error that says the answer was not
// understood; nothing the daemon sends makes the client throw anything else.
#include <gtest/gtest.h>

#include "tools/queue/gateway_client.h"

namespace zentrel {
namespace {

TEST(GatewayReply, ReadsOrRejectsEachLine) {
  const struct {
    const char* line;
    bool understood;
    bool ok;
    std::string code;
    std::string error;
  } rows[] = {
      {R"({"ok":true,"ids":[12]})", true, true, "", ""},
      {R"({"ok":false,"code":"no-such-page","error":"There is no page 7."})", true, false,
       "no-such-page", "There is no page 7."},
      {R"({"ok":false,"code":"refused"})", true, false, "refused", "refused (refused)"},
      {R"({"ok":false})", true, false, "", "refused"},
      {R"({"ok":false,"code":5,"error":["x"]})", true, false, "", "refused"},
      {R"({"ok":true,"extra":{"new":1}})", true, true, "", ""},
      {R"({"ok":"yes"})", false, false, "", ""},
      {R"({"ids":[1]})", false, false, "", ""},
      {R"([true])", false, false, "", ""},
      {"not json", false, false, "", ""},
      {"", false, false, "", ""},
      {R"({"ok":true)", false, false, "", ""},
      {"{\"ok\":true,\"x\":\"\xff\"}", false, false, "", ""},
  };
  for (const auto& row : rows) {
    try {
      const GatewayReply reply = ParseReply(row.line);
      EXPECT_TRUE(row.understood) << row.line;
      EXPECT_EQ(reply.ok, row.ok) << row.line;
      EXPECT_EQ(reply.code, row.code) << row.line;
      EXPECT_EQ(reply.error, row.error) << row.line;
    } catch (const GatewayError&) {
      EXPECT_FALSE(row.understood) << row.line;
    }
  }
}

TEST(GatewayClient, UnreachableSocketNamesPathAndCause) {
  const struct {
    std::string path;
    std::string says;
  } rows[] = {
      {"/nonexistent/zentrel/gateway.sock",
       "/nonexistent/zentrel/gateway.sock: No such file or directory (is zentrel-gateway "
       "running?)"},
      {"", "not a usable socket path"},
      {"/" + std::string(200, 'x'), "not a usable socket path"},
      {"/dev/null", "/dev/null: Connection refused"},
  };
  for (const auto& row : rows) {
    try {
      GatewayClient client(row.path);
      ADD_FAILURE() << "connected to " << row.path;
    } catch (const GatewayError& e) {
      EXPECT_NE(std::string(e.what()).find(row.says), std::string::npos)
          << row.path << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace zentrel
