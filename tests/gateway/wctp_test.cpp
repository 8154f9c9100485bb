// WCTP submissions through the real submit (the socket's handler over an
// SQLite queue in a scratch folder): one table of bodies, each with the code
// its answer must carry and whether a page was queued; the answers read back
// as XML; documents that declare entities refused before they are read.
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "gateway/handler.h"
#include "gateway/wctp_answer.h"

namespace zentrel::gateway {
namespace {

std::string Submission(const std::string& op_and_version, const std::string& inside) {
  return "<?xml version=\"1.0\"?>\n<wctp-Operation " + op_and_version + ">" + inside +
         "</wctp-Operation>";
}

// A wctp-SubmitRequest from `sender` with `code` to `pin`.
std::string Request(const std::string& pin, const std::string& text,
                    const std::string& sender = "ops", const std::string& code = "s3cret",
                    const std::string& control = "") {
  return Submission(
      "wctpVersion=\"wctp-dtd-v1r3\"",
      "<wctp-SubmitRequest><wctp-SubmitHeader submitTimestamp=\"2026-12-07T14:00:00\">"
      "<wctp-Originator senderID=\"" +
          sender + "\" securityCode=\"" + code + "\"/>" + control +
          "<wctp-Recipient recipientID=\"" + pin +
          "\"/></wctp-SubmitHeader>"
          "<wctp-Payload><wctp-Alphanumeric>" +
          text + "</wctp-Alphanumeric></wctp-Payload></wctp-SubmitRequest>");
}

struct Answer {
  std::string element;  // wctp-Success, wctp-ClientSuccess or wctp-Failure
  int code = 0;
  std::string text;
  std::string tracking;
};

Answer Read(const std::string& xml) {
  pugi::xml_document doc;
  if (!doc.load_string(xml.c_str())) return {"unreadable answer: " + xml, 0, "", ""};
  const pugi::xml_node result = doc.child("wctp-Operation").first_child().first_child();
  const bool failed = std::string(result.name()) == "wctp-Failure";
  return {result.name(), result.attribute(failed ? "errorCode" : "successCode").as_int(),
          result.attribute(failed ? "errorText" : "successText").value(),
          result.attribute("trackingNumber").value()};
}

class WctpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/zentrel-wctp-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    queue_ = queue::OpenSqliteQueue(dir_ + "/queue.db", {});
    recipients_ = {{"1001", {"Ann", "Lee", "5551234"}}, {"1002", {"Bo", "Kim", ""}}};
    handler_ = std::make_unique<Handler>(*queue_, recipients_);
  }
  void TearDown() override {
    handler_.reset();
    queue_.reset();
    std::filesystem::remove_all(dir_);
  }
  std::string Post(const std::string& body) {
    const auto senders = [](const std::string& id, const std::string& code) {
      if (id != "ops") return SenderVerdict::kUnknownSender;
      return code == "s3cret" ? SenderVerdict::kKnown : SenderVerdict::kWrongCode;
    };
    return AnswerWctp(body, senders, [this](const gateway::Request& request) {
      return handler_->Answer(request, 1000, 1.8e9, true);
    });
  }
  std::size_t Queued() { return queue_->Newest(1000).size(); }

  std::string dir_;
  std::unique_ptr<queue::PageQueue> queue_;
  Recipients recipients_;
  std::unique_ptr<Handler> handler_;
};

TEST_F(WctpTest, EachBodyGetsItsCodeAndOnlySuccessQueues) {
  const std::string long_text(200, 'x');
  const std::string no_cut = "<wctp-MessageControl allowTruncation=\"false\"/>";
  struct Row {
    const char* name;
    std::string body;
    int code;
  };
  const Row rows[] = {
      {"plain request", Request("1001", "Pump 3 down"), 200},
      {"version 1.3",
       Submission("wctpVersion=\"1.3\"",
                  "<wctp-SubmitRequest>"
                  "<wctp-SubmitHeader><wctp-Originator senderID=\"ops\" securityCode=\"s3cret\"/>"
                  "<wctp-Recipient recipientID=\"1001\"/></wctp-SubmitHeader><wctp-Payload>"
                  "<wctp-Alphanumeric>v</wctp-Alphanumeric></wctp-Payload></wctp-SubmitRequest>"),
       200},
      {"long text cut", Request("1001", long_text), 200},
      {"long text, truncation allowed",
       Request("1001", long_text, "ops", "s3cret",
               "<wctp-MessageControl allowTruncation=\"TRUE\"/>"),
       200},
      {"not XML", "hello", 301},
      {"empty", "", 301},
      {"cut off", Request("1001", "x").substr(0, 120), 301},
      {"wrong root", "<wctp-Op wctpVersion=\"1.3\"/>", 302},
      {"no version", Submission("", "<wctp-SubmitRequest/>"), 302},
      {"version 1.0", Submission("wctpVersion=\"wctp-dtd-v1r0\"", "<wctp-SubmitRequest/>"), 302},
      {"other operation", Submission("wctpVersion=\"1.3\"", "<wctp-VersionQuery/>"), 302},
      {"no payload",
       Submission("wctpVersion=\"1.3\"",
                  "<wctp-SubmitRequest><wctp-SubmitHeader>"
                  "<wctp-Originator senderID=\"ops\"/><wctp-Recipient recipientID=\"1\"/>"
                  "</wctp-SubmitHeader></wctp-SubmitRequest>"),
       302},
      {"binary payload",
       Submission("wctpVersion=\"1.3\"",
                  "<wctp-SubmitRequest><wctp-SubmitHeader>"
                  "<wctp-Originator senderID=\"ops\" securityCode=\"s3cret\"/>"
                  "<wctp-Recipient recipientID=\"1001\"/></wctp-SubmitHeader><wctp-Payload>"
                  "<wctp-TransparentData>AAEC</wctp-TransparentData></wctp-Payload>"
                  "</wctp-SubmitRequest>"),
       302},
      {"two recipients", Request("1001\"/><wctp-Recipient recipientID=\"1002", "x"), 302},
      {"control character", Request("1001", "a&#7;b"), 302},
      {"bad truncation word",
       Request("1001", "x", "ops", "s3cret", "<wctp-MessageControl allowTruncation=\"maybe\"/>"),
       302},
      {"unknown sender", Request("1001", "x", "eve"), 401},
      {"wrong security code", Request("1001", "x", "ops", "guess"), 402},
      {"no security code", Request("1001", "x", "ops", ""), 402},
      {"unknown PIN", Request("9999", "x"), 403},
      {"PIN too long", Request("12345678", "x"), 403},
      {"empty PIN", Request("", "x"), 403},
      {"recipient without a number", Request("1002", "x"), 403},
      {"too long, no truncation", Request("1001", long_text, "ops", "s3cret", no_cut), 411},
      {"not UTF-8", Request("1001", "caf\xe9"), 301},
  };
  for (const Row& row : rows) {
    const std::size_t before = Queued();
    const Answer answer = Read(Post(row.body));
    EXPECT_EQ(answer.code, row.code) << row.name << ": " << answer.element << " " << answer.text;
    EXPECT_EQ(Queued(), before + (row.code == 200 ? 1 : 0)) << row.name;
    EXPECT_FALSE(answer.text.empty()) << row.name;
  }
}

TEST_F(WctpTest, DeclaredEntitiesAreRefusedBeforeTheyAreRead) {
  std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE wctp-Operation [\n"
      "<!ENTITY lol \"lol\">\n";
  for (int n = 1; n <= 9; ++n) {
    const std::string prev = n == 1 ? "lol" : "lol" + std::to_string(n - 1);
    laughs += "<!ENTITY lol" + std::to_string(n) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&" + prev + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n";
  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE wctp-Operation [\n"
      "<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>\n";
  const std::string body = Request("1001", "&lol9;").substr(22);  // after the declaration
  for (const std::string& doc : {laughs + body, external + Request("1001", "&xxe;").substr(22)}) {
    const Answer answer = Read(Post(doc));
    EXPECT_EQ(answer.code, 301) << doc.substr(0, 60);
    EXPECT_EQ(Queued(), 0u);
  }
  // A DOCTYPE that only names the DTD is read (and the DTD never fetched).
  const std::string named =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE wctp-Operation SYSTEM "
      "\"http://dtd.wctp.org/wctp-dtd-v1r3.dtd\">\n" +
      Request("1001", "ok").substr(22);
  EXPECT_EQ(Read(Post(named)).code, 200);
}

TEST_F(WctpTest, AClientMessageIsAnsweredWithItsPagesIdAndTheTextArrivesWhole) {
  const std::string body = Submission(
      "wctpVersion=\"WCTP-DTD-V1R3\"",
      "<wctp-SubmitClientMessage><wctp-SubmitClientHeader submitTimestamp=\"2026-12-07T14:00:00\">"
      "<wctp-ClientOriginator senderID=\"ops\" securityCode=\"s3cret\"/>"
      "<wctp-ClientMessageControl allowTruncation=\"false\"/>"
      "<wctp-Recipient recipientID=\"1001\"/></wctp-SubmitClientHeader>"
      "<wctp-Payload><wctp-Alphanumeric>A &amp; B &lt;3 <![CDATA[<&>]]> caf\xc3\xa9"
      "</wctp-Alphanumeric></wctp-Payload></wctp-SubmitClientMessage>");
  const Answer answer = Read(Post(body));
  ASSERT_EQ(answer.element, "wctp-ClientSuccess") << answer.text;
  const auto pages = queue_->Newest(10);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(answer.tracking, std::to_string(pages[0].id));
  EXPECT_EQ(pages[0].text, "A & B <3 <&> caf\xc3\xa9");
  EXPECT_EQ(pages[0].via, "wctp");
  // A failure of a client message is answered in its own response too.
  EXPECT_EQ(Read(Post(body.substr(0, body.find("ops")) + "eve" + body.substr(body.find("ops") + 3)))
                .element,
            "wctp-Failure");
}

TEST(WctpReply, TheWordsOfAFailureAreEscaped) {
  const Answer answer =
      Read(WctpReply(WctpOperation::kSubmitRequest, 403, "No PIN \"<1&2>\" here"));
  EXPECT_EQ(answer.element, "wctp-Failure");
  EXPECT_EQ(answer.text, "No PIN \"<1&2>\" here");
}

}  // namespace
}  // namespace zentrel::gateway
