// The wctp line: its lines.conf words and URL rule, the request it posts
// read back by the gateway's own reader (the text arrives byte for byte),
// the carrier's answers, and whole batches posted to a carrier played by a
// loopback HTTP server that answers by PIN.
#include "telephony/wctp_line.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <mutex>
#include <thread>

#include "delivery/wctp_batch.h"
#include "delivery/wctp_xml.h"
#include "gateway/wctp_request.h"

namespace zentrel {
namespace {

TEST(WctpLineConfig, EachLineIsReadOrRefused) {
  struct Row {
    const char* text;
    bool parses;
    const char* refusal;  // of the line's URL check; "" when usable
  };
  const Row rows[] = {
      {"wctp https://carrier.example/wctp sender=ops", true, ""},
      {"wctp \"https://c.example:8443/a%20b\" security-file=/dev/null ca=/dev/null", true, ""},
      {"wctp http://127.0.0.1:8444/wctp", true, ""},
      {"wctp http://localhost/wctp", true, ""},
      {"wctp http://[::1]:80/wctp", true, ""},
      {"wctp http://carrier.example/wctp", true, "only over https"},
      {"wctp http://127.0.0.1.evil.example/wctp", true, "only over https"},
      {"wctp http://127.1.2.3:9/wctp", true, ""},
      {"wctp \"https://c.example/a b\"", true, "not a URL"},
      {"wctp https://c.example/ security-file=/no/such/file", true, "security file"},
      {"wctp", false, ""},
      {"wctp ftp://c.example/", false, ""},
      {"wctp https://c.example/ colour=blue", false, ""},
  };
  for (const Row& row : rows) {
    const LinesConfig config = ParseLinesConfig(row.text);
    ASSERT_EQ(config.error.empty(), row.parses) << row.text << ": " << config.error;
    if (!row.parses) continue;
    const auto* wctp = config.lines.at(0).As<WctpLineFields>();
    ASSERT_NE(wctp, nullptr) << row.text;
    const std::string cause = WctpSetupProblem(*wctp);
    if (*row.refusal == '\0') {
      EXPECT_EQ(cause, "") << row.text;
    } else {
      EXPECT_NE(cause.find(row.refusal), std::string::npos) << row.text << ": " << cause;
    }
    // A line set up wrong is passed over without anything contacted.
    if (*row.refusal != '\0') {
      const LineCheck check = config.lines[0].kind->check(config.lines[0], {});
      EXPECT_FALSE(check.usable) << row.text;
      EXPECT_NE(check.problem.cause.find(row.refusal), std::string::npos) << check.problem.cause;
    }
  }
}

TEST(WctpXml, TheGatewaysReaderGetsEveryByteOfThePage) {
  const std::string texts[] = {"Pump 3 down", "line one\r\nline two\nthree\r",
                               "a & b <c> \"d\" 'e'", "caf\xc3\xa9 \xe2\x82\xac ]]> &amp;", ""};
  for (const std::string& text : texts) {
    const std::string xml =
        WctpSubmitRequest({"ops", "s3c&\"ret", "1001", text, "2026-12-07T14:00:00"});
    const auto read = gateway::ParseWctpSubmission(xml);
    const auto* s = std::get_if<gateway::WctpSubmission>(&read);
    ASSERT_NE(s, nullptr) << xml;
    EXPECT_EQ(s->text, text) << xml;
    EXPECT_EQ(s->recipient, "1001");
    EXPECT_EQ(s->sender_id, "ops");
    EXPECT_EQ(s->security_code, "s3c&\"ret");
  }
}

TEST(WctpXml, EachAnswerIsReadAsItsKind) {
  using K = WctpAnswer::Kind;
  struct Row {
    const char* body;
    K kind;
    int code;
  };
  const Row rows[] = {
      {"<wctp-Operation wctpVersion=\"1.3\"><wctp-Confirmation><wctp-Success successCode=\"200\" "
       "successText=\"ok\"/></wctp-Confirmation></wctp-Operation>",
       K::kSuccess, 200},
      {"<?xml version=\"1.0\"?>\n<wctp-Operation>\n <wctp-SubmitClientResponse>\n  "
       "<wctp-ClientSuccess successCode=\"201\" trackingNumber=\"9\"/>\n "
       "</wctp-SubmitClientResponse>\n</wctp-Operation>",
       K::kSuccess, 201},
      {"<wctp-Operation><wctp-Confirmation><wctp-Failure errorCode=\"403\" errorText=\"no\"/>"
       "</wctp-Confirmation></wctp-Operation>",
       K::kFailure, 403},
      {"<wctp-Operation><wctp-Confirmation/></wctp-Operation>", K::kUnreadable, 0},
      {"<html>busy</html>", K::kUnreadable, 0},
      {"", K::kUnreadable, 0},
  };
  for (const Row& row : rows) {
    const WctpAnswer answer = ReadWctpAnswer(row.body);
    EXPECT_EQ(answer.kind, row.kind) << row.body;
    EXPECT_EQ(answer.code, row.code) << row.body;
  }
}

// The carrier: answers each page by its PIN, and keeps what it was sent.
class Carrier {
 public:
  Carrier() {
    server_.Post("/wctp", [this](const httplib::Request& in, httplib::Response& out) {
      const auto read = gateway::ParseWctpSubmission(in.body);
      const auto* s = std::get_if<gateway::WctpSubmission>(&read);
      const std::string pin = s ? s->recipient : "";
      {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back(s ? pin + ":" + s->text : "unreadable");
      }
      if (pin == "500") {
        out.status = 500;
        return;
      }
      const std::string result =
          pin == "403"   ? "<wctp-Failure errorCode=\"403\" errorText=\"no such pager\"/>"
          : pin == "604" ? "<wctp-Failure errorCode=\"604\" errorText=\"cannot queue\"/>"
                         : "<wctp-Success successCode=\"200\" successText=\"queued\"/>";
      out.set_content(
          "<?xml version=\"1.0\"?><wctp-Operation wctpVersion=\"1.3\">"
          "<wctp-Confirmation>" +
              result + "</wctp-Confirmation></wctp-Operation>",
          "text/xml");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // The socket listens from the bind on; stop() ends only a running loop.
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Carrier() {
    server_.stop();
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/wctp"; }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> received_;
};

class Events : public IBatchEvents {
 public:
  void Connected(const std::string&) override {}
  bool Sending(std::size_t page) override {
    said += "sending " + std::to_string(page) + ";";
    return true;
  }
  void PageEnded(std::size_t page, const Outcome& outcome, std::chrono::milliseconds) override {
    said += std::to_string(page) + " " + DeliveryName(outcome.delivery) + " " +
            ReasonCode(outcome.reason) + ";";
  }
  bool Stopped() const override { return false; }
  std::string said;
};

LineConfig WctpLine(const std::string& url) {
  LinesConfig config = ParseLinesConfig("wctp " + url + " sender=ops");
  EXPECT_EQ(config.error, "") << url;
  return config.lines.at(0);
}

TEST(WctpBatch, EachCarrierAnswerBecomesThePagesOutcome) {
  Carrier carrier;
  struct Row {
    const char* name;
    std::vector<const char*> pins;
    const char* said;
    bool completed;
    const char* end;  // the end's reason when not completed
  };
  const Row rows[] = {
      {"all taken", {"1", "2"}, "sending 0;0 accepted ;sending 1;1 accepted ;", true, ""},
      {"refused, the next goes on",
       {"403", "2"},
       "sending 0;0 refused terminal refused;sending 1;1 accepted ;",
       true,
       ""},
      {"cannot queue stops",
       {"604", "2"},
       "sending 0;0 not sent line unusable;",
       false,
       "line unusable"},
      {"HTTP 500 stops",
       {"1", "500", "2"},
       "sending 0;0 accepted ;sending 1;1 not sent line unusable;",
       false,
       "line unusable"},
  };
  for (const Row& row : rows) {
    BatchCall batch;
    for (const char* pin : row.pins) batch.pages.push_back({1, pin, std::string("to ") + pin});
    Events events;
    const BatchEnd end = RunWctpBatch(batch, WctpLine(carrier.Url()), events, stderr);
    EXPECT_EQ(events.said, row.said) << row.name;
    EXPECT_EQ(end.completed, row.completed) << row.name;
    if (!row.completed) {
      EXPECT_STREQ(ReasonCode(end.outcome.reason), row.end) << row.name;
    }
  }
  EXPECT_EQ(carrier.Received().front(), "1:to 1");
}

TEST(WctpBatch, NoPostLeavesForAPlainRemoteUrlAndANoConnectionPageIsNotSent) {
  BatchCall batch;
  batch.pages.push_back({1, "1001", "hi"});
  Events plain;
  const BatchEnd refused = RunWctpBatch(batch, WctpLine("http://192.0.2.1/wctp"), plain, stderr);
  EXPECT_EQ(plain.said, "");
  EXPECT_FALSE(refused.completed);
  EXPECT_EQ(refused.outcome.reason, Reason::kLineUnusable);
  std::string url;
  {
    Carrier gone;  // a port that was just free again
    url = gone.Url();
  }
  Events closed;
  const BatchEnd end = RunWctpBatch(batch, WctpLine(url), closed, stderr);
  EXPECT_EQ(closed.said, "sending 0;0 not sent line unusable;");
  EXPECT_EQ(end.outcome.reason, Reason::kLineUnusable);
}

}  // namespace
}  // namespace zentrel
