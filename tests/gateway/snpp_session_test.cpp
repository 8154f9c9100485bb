// SNPP conversations from one table: what a client sends, the reply codes it
// gets and the pages handed over at SEND; each row is replayed whole and cut
// into 1-, 2- and 7-byte reads. HOLDuntil's time forms have a table of their own.
#include "gateway/snpp_session.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "gateway/snpp_hold.h"

namespace zentrel::gateway {
namespace {

constexpr double kNow = 1796644800;  // 2026-12-07 12:00:00 UTC

class FakeBackend : public SnppBackend {
 public:
  bool KnownPin(const std::string& pin) override { return pin == "1001" || pin == "1002"; }
  bool IsUser(const std::string& user) override { return user == "alice"; }
  bool Login(const std::string& user, const std::string& password) override {
    return user == "alice" && password == "s3cret";
  }
  SnppSendResult Send(const std::vector<SnppPage>& pages, const std::string& by) override {
    if (fail) return {{}, true, "The queue failed: disk full"};
    for (const SnppPage& p : pages) {
      if (p.text.find('\x07') != std::string::npos) return {{}, false, "The message holds BEL"};
    }
    std::vector<std::int64_t> ids;
    for (const SnppPage& p : pages) {
      sent += (sent.empty() ? "" : ";") + p.pin + "=" + p.text;
      all.push_back(p);
      ids.push_back(static_cast<std::int64_t>(all.size()));
    }
    this->by = by;
    return {ids, false, ""};
  }
  bool fail = false;
  std::string sent;
  std::string by;
  std::vector<SnppPage> all;
};

// The reply codes, in order, with a run of 214 (HELP's lines) written once.
std::string Codes(const std::string& replies) {
  std::string codes;
  std::size_t at = 0;
  while (at < replies.size()) {
    const std::string code = replies.substr(at, 3);
    if (!(code == "214" && codes.size() >= 3 && codes.substr(codes.size() - 3) == "214")) {
      codes += (codes.empty() ? "" : " ") + code;
    }
    at = replies.find("\r\n", at);
    at = at == std::string::npos ? replies.size() : at + 2;
  }
  return codes;
}

struct Conversation {
  std::string codes;
  bool closing = false;
  FakeBackend backend;
};

void Converse(const std::string& input, std::size_t chunk, bool login_required, bool fail,
              Conversation& run) {
  SnppConfig config;
  config.peer = "192.0.2.7";
  config.login_required = login_required;
  config.max_text = 40;
  config.max_line = 64;
  run.backend.fail = fail;
  SnppSession session(config, run.backend);
  std::string replies;
  for (std::size_t at = 0; at < input.size() && !session.Closing(); at += chunk) {
    replies += session.Feed(std::string_view(input).substr(at, chunk), kNow);
  }
  run.codes = Codes(replies);
  run.closing = session.Closing();
}

TEST(SnppSession, EachConversationGetsItsRepliesAndQueuesOnlyAtSend) {
  struct Row {
    const char* name;
    std::string input;
    const char* codes;
    const char* sent;  // pin=text;... handed over at SEND
    bool closing = false;
    bool login_required = false;
    bool fail = false;
  };
  const std::string long_line(65, 'x');
  const std::string ten_bad = [] {
    std::string s;
    for (int n = 0; n < 10; ++n) s += "SITE x\r\n";
    return s + "QUIT\r\n";
  }();
  const Row rows[] = {
      {"one pager", "PAGE 1001\r\nMESS hello there\r\nSEND\r\nQUIT\r\n", "250 250 250 221",
       "1001=hello there", true},
      {"long names, any case, bare LF", "pager 1001\nmessage hi\nsEnD\n", "250 250 250", "1001=hi"},
      {"two pagers one message", "PAGE 1001\r\nPAGE 1002\r\nMESS hi\r\nSEND\r\n", "250 250 250 250",
       "1001=hi;1002=hi"},
      {"unknown PIN queues nothing", "PAGE 9999\r\nMESS hi\r\nSEND\r\n", "550 250 503", ""},
      {"PAGE without a PIN", "PAGE\r\n", "550", ""},
      {"SEND without a pager", "MESS hi\r\nSEND\r\n", "250 503", ""},
      {"SEND without a message", "PAGE 1001\r\nSEND\r\n", "250 503", ""},
      {"second message", "MESS a\r\nMESS b\r\nDATA\r\n", "250 503 503", ""},
      {"MESS without text", "MESS\r\nMESS   \r\n", "550 550", ""},
      {"MESS too long", "MESS " + std::string(41, 'm') + "\r\n", "550", ""},
      {"RESEt clears the transaction", "PAGE 1001\r\nMESS hi\r\nRESE\r\nSEND\r\n",
       "250 250 250 503", ""},
      {"a second transaction after SEND", "PAGE 1001\r\nMESS a\r\nSEND\r\nSEND\r\n",
       "250 250 250 503", "1001=a"},
      {"DATA keeps lines, undoes dot-stuffing",
       "PAGE 1001\r\nDATA\r\nline 1\r\n..dot\r\n\r\nend\n.\r\nSEND\r\n", "250 354 250 250",
       "1001=line 1\n.dot\n\nend"},
      {"DATA text is not read as commands", "PAGE 1001\r\nDATA\r\nQUIT\r\n.\r\nSEND\r\n",
       "250 354 250 250", "1001=QUIT"},
      {"DATA empty", "DATA\r\n.\r\n", "354 550", ""},
      {"DATA too long: 550 at its end, nothing kept",
       "PAGE 1001\r\nDATA\r\n" + std::string(30, 'a') + "\r\n" + std::string(30, 'b') +
           "\r\nQUIT\r\n.\r\nSEND\r\n",
       "250 354 550 503", ""},
      {"DATA line past the line limit", "PAGE 1001\r\nDATA\r\n" + long_line + "\r\n.\r\n",
       "250 354 550", ""},
      {"a refused text: 550, nothing queued", "PAGE 1001\r\nMESS ring\x07\r\nSEND\r\n",
       "250 250 550", ""},
      {"the queue fails: 554", "PAGE 1001\r\nMESS hi\r\nSEND\r\n", "250 250 554", "", false, false,
       true},
      {"HELP", "HELP\r\n", "214 250", ""},
      {"level-3 and unknown commands", "SITE HELP\r\n2WAY\r\nMSTA 1\r\nXYZZY\r\n\r\n",
       "500 500 500 500 500", ""},
      {"options", "LEVE 0\r\nLEVE 12\r\nALER 1\r\nALER 2\r\nCOVE 3\r\n", "250 550 250 550 550", ""},
      {"CALLerid and SUBJect", "CALL 555-1212\r\nSUBJ disk\r\nCALL\r\nSUBJ\r\n", "250 250 550 550",
       ""},
      {"HOLDuntil", "HOLD 271231235959\r\nHOLD 0101010000\r\nHOLD soon\r\n", "250 550 550", ""},
      {"LOGIn", "LOGI alice s3cret\r\nLOGI alice wrong\r\nLOGI\r\nLOGI alice\r\n",
       "250 550 550 550", ""},
      {"LOGIn of no configured user: taken on loopback without a password",
       "LOGI root\r\nLOGI root pw\r\n", "250 550", ""},
      {"but not beyond", "LOGI root\r\n", "550", "", false, true},
      {"login required beyond loopback", "PAGE 1001\r\nLOGI alice s3cret\r\nPAGE 1001\r\n",
       "550 250 250", "", false, true},
      {"a line too long is refused and dropped", long_line + "\r\nPAGE 1001\r\n", "500 250", ""},
      {"ten bad commands in a row: 421", ten_bad, "500 500 500 500 500 500 500 500 500 500 421", "",
       true},
      {"a good reply ends the run", "SITE\r\nSITE\r\nHELP\r\nSITE\r\n", "500 500 214 250 500", ""},
      {"an endless line: 421", std::string(64 * 12, 'x'), "500 421", "", true},
      {"QUIT ends at once", "QUIT\r\nPAGE 1001\r\n", "221", "", true},
  };
  for (const Row& row : rows) {
    for (std::size_t chunk : {row.input.size(), std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
      Conversation run;
      Converse(row.input, chunk, row.login_required, row.fail, run);
      EXPECT_EQ(run.codes, row.codes) << row.name << " (reads of " << chunk << ")";
      EXPECT_EQ(run.backend.sent, row.sent) << row.name << " (reads of " << chunk << ")";
      EXPECT_EQ(run.closing, row.closing) << row.name << " (reads of " << chunk << ")";
    }
  }
}

TEST(SnppSession, OptionsGoToTheirPagerAndTrailingOnesToTheRest) {
  Conversation run;
  Converse(
      "LEVE 0\r\nHOLD 271231235959\r\nPAGE 1001\r\nPAGE 1002\r\nALER 1\r\nLEVE 5\r\n"
      "MESS hi\r\nSEND\r\n",
      1000, false, false, run);
  ASSERT_EQ(run.backend.all.size(), 2u) << run.codes;
  const SnppPage& first = run.backend.all[0];
  const SnppPage& second = run.backend.all[1];
  EXPECT_EQ(first.level, 0);
  EXPECT_EQ(first.hold_until, 1830297599);
  EXPECT_FALSE(first.alert);  // it had options of its own: the trailing ones are not its
  EXPECT_EQ(second.level, 5);
  EXPECT_EQ(second.hold_until, 0);
  EXPECT_TRUE(second.alert);
  EXPECT_EQ(run.backend.by, "peer 192.0.2.7");
}

TEST(SnppSession, TheSenderRecordedIsTheUserOrTheAddress) {
  struct Row {
    const char* login;
    const char* by;
  };
  const Row rows[] = {
      {"LOGI alice s3cret\r\n", "user alice"},
      {"LOGI root\r\n", "peer 192.0.2.7 (says root)"},
      {"", "peer 192.0.2.7"},
  };
  for (const Row& row : rows) {
    Conversation run;
    Converse(std::string(row.login) + "PAGE 1001\r\nMESS hi\r\nSEND\r\n", 1000, false, false, run);
    EXPECT_EQ(run.backend.by, row.by) << row.login;
  }
}

TEST(SnppHold, EachFormGivesItsTime) {
  struct Row {
    const char* argument;
    const char* zone;
    double expected;  // 0: refused
  };
  const Row rows[] = {
      {"271231235959", "UTC", 1830297599},
      {"2712312359", "UTC", 1830297540},
      {"20271231235959", "UTC", 1830297599},
      {"271231235959 +0100", "UTC", 1830297599 - 3600},
      {"271231235959-0530", "UTC", 1830297599 + 5.5 * 3600},
      {"271231235959 +01", "UTC", 1830297599 - 3600},
      {"  271231235959  ", "UTC", 1830297599},
      {"270701120000", "Europe/Berlin", 1814443200 - 7200},  // summer time
      {"271231235959", "Europe/Berlin", 1830297599 - 3600},
      {"271231235959 +0000", "Europe/Berlin", 1830297599},
      {"280229000000", "UTC", 1835395200},
      {"270229000000", "UTC", 0},
      {"271301000000", "UTC", 0},
      {"271231245959", "UTC", 0},
      {"2712312359590", "UTC", 0},
      {"27123123595", "UTC", 0},
      {"271231235959 +2500", "UTC", 0},
      {"271231235959 0100", "UTC", 0},
      {"271231235959 +01x0", "UTC", 0},
      {"", "UTC", 0},
      {"tomorrow", "UTC", 0},
  };
  for (const Row& row : rows) {
    const auto got = ParseHoldTime(row.argument, row.zone);
    if (row.expected == 0) {
      EXPECT_FALSE(got) << row.argument << " in " << row.zone;
    } else {
      ASSERT_TRUE(got) << row.argument << " in " << row.zone;
      EXPECT_EQ(*got, row.expected) << row.argument << " in " << row.zone;
    }
  }
  EXPECT_TRUE(KnownZone("UTC"));
  EXPECT_TRUE(KnownZone("Europe/Berlin"));
  EXPECT_FALSE(KnownZone("Mars/Olympus"));
  EXPECT_FALSE(KnownZone("../../etc/passwd"));
}

}  // namespace
}  // namespace zentrel::gateway
