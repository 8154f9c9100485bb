// The gateway's worker on a wctp line, end to end: the real daemon runs each
// call through `zentrel-send --worker`, whose batch goes by WCTP to a
// carrier played by a loopback HTTP server (cpp-httplib) that reads each
// post with the gateway's own WCTP reader and answers by PIN.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <thread>

#include "gateway/wctp_answer.h"
#include "tests/gateway/gateway_rig.h"

namespace zentrel::gateway::testing {
namespace {

// PIN 1002 is refused for good (403), 1003 cannot be queued (604) the first
// time and is taken the second; every other PIN is taken.
class Carrier {
 public:
  Carrier() {
    server_.Post("/wctp", [this](const httplib::Request& in, httplib::Response& out) {
      const auto read = ParseWctpSubmission(in.body);
      const auto* s = std::get_if<WctpSubmission>(&read);
      int code = s ? 200 : 302;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (s) {
          posts_.push_back(s->sender_id + "/" + s->security_code + " " + s->recipient + ": " +
                           s->text);
          if (s->recipient == "1002") code = 403;
          if (s->recipient == "1003" && ++tries_1003_ == 1) code = 604;
        }
      }
      out.set_content(WctpReply(WctpOperation::kSubmitRequest, code, "from the carrier"),
                      "text/xml");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Carrier() {
    server_.stop();
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/wctp"; }
  std::vector<std::string> Posts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> posts_;
  int tries_1003_ = 0;
};

TEST(WctpLineEndToEnd, EachPageEndsAsTheCarrierAnsweredIt) {
  Carrier carrier;
  GatewayRig rig;
  rig.UseWorker(ZENTREL_SEND);
  std::ofstream(rig.Path("code")) << "s3cret \n";
  std::ofstream(rig.Path("lines.conf"))
      << "wctp " << carrier.Url() << " sender=site7 security-file=" << rig.Path("code") << "\n";
  rig.Start({"--retry-after", "0.05"});
  const long taken = rig.Submit("1001", "Pump 3 & <4>");
  const long refused = rig.Submit("1002", "nobody");
  const long later = rig.Submit("1003", "second try");
  const auto pages = rig.WatchAll({taken, refused, later}, 60s);
  EXPECT_EQ(pages.at(taken)["state"], "accepted");
  EXPECT_EQ(pages.at(refused)["state"], "refused");
  EXPECT_EQ(pages.at(refused)["attempts"][0]["reason"], "terminal refused");
  EXPECT_EQ(pages.at(later)["state"], "accepted");
  EXPECT_EQ(pages.at(later)["attempts"].size(), 2u) << pages.at(later).dump();
  const auto posts = carrier.Posts();
  EXPECT_EQ(std::count(posts.begin(), posts.end(), "site7/s3cret 1001: Pump 3 & <4>"), 1)
      << ::testing::PrintToString(posts);
  EXPECT_EQ(rig.Stop(), 0);
}

}  // namespace
}  // namespace zentrel::gateway::testing
