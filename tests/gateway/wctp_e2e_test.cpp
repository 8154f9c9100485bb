// WCTP end to end with the real programs: a request written by hand from the
// WCTP DTD (not by this code) posted with curl to the gateway's /wctp; and a
// gateway whose only line is a wctp line to a second gateway's /wctp, which
// delivers through its worker and an emulated modem (zentrel-modemsim) to
// the emulated terminal, whose log says what arrived and how often.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/gateway/emulated_modems.h"
#include "tests/gateway/http_rig.h"

namespace zentrel::gateway::testing {
namespace {

// A wctp-SubmitRequest as the DTD lays it out, from a sender of its own.
std::string DtdRequest(const std::string& sender, const std::string& code, const std::string& pin,
                       const std::string& text) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r3.dtd\">\n"
         "<wctp-Operation wctpVersion=\"wctp-dtd-v1r3\">\n"
         "  <wctp-SubmitRequest>\n"
         "    <wctp-SubmitHeader submitTimestamp=\"2026-12-07T15:00:00\">\n"
         "      <wctp-Originator senderID=\"" +
         sender + "\" securityCode=\"" + code +
         "\"/>\n"
         "      <wctp-MessageControl messageID=\"m-1\" allowResponse=\"false\"\n"
         "          notifyWhenDelivered=\"false\" allowTruncation=\"false\"/>\n"
         "      <wctp-Recipient recipientID=\"" +
         pin +
         "\"/>\n"
         "    </wctp-SubmitHeader>\n"
         "    <wctp-Payload>\n"
         "      <wctp-Alphanumeric>" +
         text +
         "</wctp-Alphanumeric>\n"
         "    </wctp-Payload>\n"
         "  </wctp-SubmitRequest>\n"
         "</wctp-Operation>\n";
}

// The code in a curl'd answer (successCode or errorCode); 0 when none.
int PostWithCurl(HttpRig& rig, const std::string& xml) {
  const std::string file = rig.Path("request.xml");
  std::ofstream(file) << xml;
  const auto posted = e2e::RunProgram(
      {"/usr/bin/curl", "-sS", "--max-time", "20", "-H", "Content-Type: text/xml", "--data-binary",
       "@" + file, "http://127.0.0.1:" + std::to_string(rig.port()) + "/wctp"},
      {}, 30s);
  EXPECT_EQ(posted.status, 0) << posted.err;
  pugi::xml_document doc;
  if (!doc.load_string(posted.out.c_str())) return 0;
  const pugi::xml_node result = doc.child("wctp-Operation").first_child().first_child();
  const pugi::xml_attribute code = result.attribute("successCode");
  return code ? code.as_int() : result.attribute("errorCode").as_int();
}

std::vector<long> QueuedIds(GatewayRig& rig) {
  SocketClient client(rig.socket());
  std::vector<long> ids;
  const json listed = client.Ask({{"op", "list"}});
  EXPECT_EQ(listed.value("ok", false), true)
      << (client.Connected() ? "" : "no connection; ") << listed.dump() << "\nthe gateway said:\n"
      << rig.Daemon().ErrSoFar();
  for (const json& page : listed["pages"]) ids.push_back(page["id"]);
  return ids;
}

TEST(WctpEndToEnd, ARequestWrittenFromTheDtdIsQueuedAndReachesTheTerminal) {
  HttpRig rig;
  rig.UseWorker(ZENTREL_SEND);
  Modems terminal(rig, {"accept"});
  rig.StartHttp();
  EXPECT_EQ(PostWithCurl(rig, DtdRequest(HttpRig::kTokenName, "wrong", "1001", "no")), 401);
  EXPECT_TRUE(QueuedIds(rig).empty());
  const std::string text = "Ward 4 &amp; 5: pump &lt;3&gt; caf\xc3\xa9";
  EXPECT_EQ(PostWithCurl(rig, DtdRequest(HttpRig::kTokenName, HttpRig::kToken, "1001", text)), 200);
  const std::vector<long> ids = QueuedIds(rig);
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_EQ(rig.WatchAll(ids, 60s).at(ids[0])["state"], "accepted");
  EXPECT_EQ(terminal.Accepted(),
            (std::map<std::string, int>{{"Ward 4 & 5: pump <3> caf\xc3\xa9", 1}}));
}

TEST(WctpEndToEnd, AGatewaysWctpLineDeliversThroughASecondGatewayEachPageOnce) {
  HttpRig carrier;
  carrier.UseWorker(ZENTREL_SEND);
  Modems terminal(carrier, {"accept"});
  carrier.StartHttp();
  GatewayRig site;
  site.UseWorker(ZENTREL_SEND);
  std::ofstream(site.Path("code")) << HttpRig::kToken << "\n";
  std::ofstream(site.Path("lines.conf"))
      << "wctp http://127.0.0.1:" << carrier.port() << "/wctp sender=" << HttpRig::kTokenName
      << " security-file=" << site.Path("code") << "\n";
  site.Start({"--retry-after", "0.05"});
  const std::vector<std::string> texts{"Pump 3 down", "a & b <c> \"d\" 'e'", "caf\xc3\xa9 ok",
                                       "last one"};
  std::vector<long> ids;
  for (std::size_t n = 0; n < texts.size(); ++n)
    ids.push_back(site.Submit(std::to_string(1001 + n), texts[n]));
  for (const auto& [id, page] : site.WatchAll(ids, 60s))
    EXPECT_EQ(page["state"], "accepted") << page.dump();
  const std::vector<long> queued = QueuedIds(carrier);
  ASSERT_EQ(queued.size(), texts.size());
  for (const auto& [id, page] : carrier.WatchAll(queued, 60s)) {
    EXPECT_EQ(page["state"], "accepted") << page.dump();
    EXPECT_EQ(page["via"], "wctp");
  }
  std::map<std::string, int> once;
  for (const std::string& text : texts) once[text] = 1;
  EXPECT_EQ(terminal.Accepted(), once);
  EXPECT_EQ(site.Stop(), 0);
  EXPECT_EQ(carrier.Stop(), 0);
}

}  // namespace
}  // namespace zentrel::gateway::testing
