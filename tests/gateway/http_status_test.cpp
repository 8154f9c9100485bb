// GET /metrics and GET / of the real daemon after a page was tried twice
// (busy, then refused) and another waits: the metrics read back by the
// Prometheus client's own text-format parser, the status page checked for
// the waiting page (escaped), its reload and the absence of outside assets.
#include <gtest/gtest.h>

#include "tests/gateway/http_rig.h"

namespace zentrel::gateway::testing {
namespace {

TEST(HttpStatus, MetricsParseAndCountWhatHappened) {
  HttpRig rig;
  rig.Plan({"busy", "refuse"});
  rig.StartHttp({"--retry-after", "0.05", "--name", "solo"});
  const long tried = rig.Submit("1001", "boiler 2");
  const long held = rig.Submit("1002", "waits", {{"hold_until", 4.0e9}});
  ASSERT_EQ(rig.WatchAll({tried}).at(tried)["state"], "refused");
  // The page is final before its call is over: the call's end is counted
  // when the daemon says so.
  ASSERT_TRUE(rig.Daemon().WaitForErrText("call over, 1 of 1", 30s)) << rig.Daemon().ErrSoFar();
  const auto got = rig.Client()->Get("/metrics", HttpRig::Auth());
  ASSERT_EQ(got->status, 200);
  EXPECT_EQ(got->get_header_value("Content-Type").rfind("text/plain; version=0.0.4", 0), 0u);
  auto m = ParsedMetrics(rig, got->body);
  struct Row {
    const char* sample;
    double value;
  };
  const Row rows[] = {
      {"zentrel_pages{state=refused}", 1},
      {"zentrel_pages{state=queued}", 1},
      {"zentrel_pages{state=accepted}", 0},
      {"zentrel_attempts_total{outcome=not sent,reason=busy}", 1},
      {"zentrel_queue_depth{}", 1},
      {"zentrel_call_duration_seconds_count{}", 2},
      {"zentrel_call_duration_seconds_bucket{le=+Inf}", 2},
      {"zentrel_build_info{version=1.0}", 1},
  };
  for (const Row& row : rows) EXPECT_EQ(m[row.sample], row.value) << row.sample << got->body;
  const double calls =
      m["zentrel_line_calls_total{gateway=solo,line=TAP over TCP to 127.0.0.1:1}"] +
      m["zentrel_line_calls_total{gateway=solo,line=TAP over TCP to 127.0.0.1:2}"];
  EXPECT_EQ(calls, 2);
  EXPECT_GT(m["zentrel_queue_oldest_age_seconds{}"], 0) << "page " << held << " waits";
}

TEST(HttpStatus, TheStatusPageShowsTheWaitingPagesAndReloadsItself) {
  HttpRig rig;
  rig.StartHttp();
  rig.Submit("1001", "Chiller <2> & fan", {{"hold_until", 4.0e9}});
  const auto refused = rig.Client()->Get("/");
  EXPECT_EQ(refused->status, 401) << "the page needs the token too";
  EXPECT_EQ(refused->get_header_value("WWW-Authenticate"), "Basic realm=\"zentrel\"")
      << "a browser is asked for basic auth in a challenge of its own";
  const auto got = rig.Client()->Get("/", HttpRig::Auth());
  ASSERT_EQ(got->status, 200);
  const std::string& html = got->body;
  for (const char* text : {"Chiller &lt;2&gt; &amp; fan", "Waiting (1)", "TCP to 127.0.0.1:1",
                           "http-equiv=\"refresh\"", "name=\"viewport\""}) {
    EXPECT_NE(html.find(text), std::string::npos) << text;
  }
  for (const char* outside : {"src=", "<link", "@import", "url("}) {
    EXPECT_EQ(html.find(outside), std::string::npos) << outside;
  }
}

}  // namespace
}  // namespace zentrel::gateway::testing
