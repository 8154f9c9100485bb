// Pages over the lines with no modem, end to end: zentrel-send against the
// emulated terminal on a pty as a direct cable, over TCP and over TLS (with
// a certificate made here by the openssl command). Also what must be
// refused, each with its reason: an untrusted certificate, a certificate for
// another name, a refused connection; and what must end cleanly: a server
// that never answers, one that drops the line mid-page, one that closes
// right after the log-off, an encoder that takes the block without a log-on.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

enum class Kind { kDirect, kTcp, kTls };

class LinesEndToEnd : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(MakeDemoDb());
  }

  // A self-signed certificate for localhost and 127.0.0.1.
  void MakeCertificate() {
    const auto made = RunProgram(
        {"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
         "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
         Path("key.pem"), "-out", Path("cert.pem")},
        {}, 60s);
    ASSERT_EQ(made.status, 0) << made.err;
  }

  // Starts the emulator for one call; returns where it listens ("" for a pty).
  std::string StartTerminal(Kind kind, const std::string& scenario,
                            std::vector<std::string> options = {}) {
    fs::remove(Path("sim.log"));
    std::vector<std::string> argv{"--scenario", scenario, "--once", "--idle-timeout-ms", "1500"};
    argv.insert(argv.end(), options.begin(), options.end());
    if (kind == Kind::kDirect) {
      argv.insert(argv.end(), {"--link", Path("direct"), "--direct"});
    } else {
      argv.insert(argv.end(), {"--listen", "127.0.0.1:0"});
      if (kind == Kind::kTls) argv.insert(argv.end(), {"--tls", Path("cert.pem"), Path("key.pem")});
    }
    std::string ready;
    terminal_ = StartEmulator(argv, "sim.log", &ready);
    const std::string where = ready.substr(6);
    return kind == Kind::kDirect ? "" : where.substr(where.rfind(':') + 1);
  }

  void WriteLines(const std::string& text) { Write("lines.conf", text); }

  std::string LineFor(Kind kind, const std::string& port) const {
    switch (kind) {
      case Kind::kDirect: return "serial " + Path("direct") + " 9600 8N1\n";
      case Kind::kTcp: return "tcp 127.0.0.1:" + port + "\n";
      case Kind::kTls: return "tls localhost:" + port + " ca=" + Path("cert.pem") + "\n";
    }
    return {};
  }

  Finished Send(int timeout_seconds = 60) {
    return RunProgram(
        {ZENTREL_SEND, "--db", Path("vp.mdb"), "--pin", "1001", "--message", "Pump 3 down",
         "--wake-interval-ms", "400", "--timeout", std::to_string(timeout_seconds), "--trace"},
        {"ZENTREL_LINES=" + Path("lines.conf")}, 120s);
  }

  int ValidBlocks() const {
    int blocks = 0;
    for (const auto& e : Events("block")) blocks += e["valid"].get<bool>() && e["pin"] == "1001";
    return blocks;
  }
  int Connections() const { return static_cast<int>(Events("connection").size()); }

  std::unique_ptr<Process> terminal_;
};

// The status lines with the wake-up's repeats dropped: an encoder that never
// asks for the log-on keeps the wake-up timer going between the steps.
std::vector<std::string> Steps(const std::string& out) {
  std::vector<std::string> steps;
  for (const std::string& line : Lines(out)) {
    if (line == "Preparing to send message..." && !steps.empty()) continue;
    steps.push_back(line);
  }
  return steps;
}

// A port that was free a moment ago: nothing listens there.
std::string ClosedPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  const bool bound = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  close(s);
  EXPECT_TRUE(bound);
  return std::to_string(ntohs(a.sin_port));
}

const std::vector<std::string> kSent{"Preparing to send message...", "Sending Message.",
                                     "Sending Message...", "Message Sent!"};

TEST_F(LinesEndToEnd, PageThroughEachLineKind) {
  MakeCertificate();
  struct Row {
    const char* name;
    Kind kind;
    const char* scenario;
    std::vector<std::string> statuses;
    std::string first_line;  // tried first; it must be passed over
  };
  const std::string down = "tcp 127.0.0.1:" + ClosedPort() + "\n";
  const Row rows[] = {
      {"serial cable", Kind::kDirect, "accept", kSent, ""},
      {"tcp", Kind::kTcp, "accept", kSent, ""},
      {"tls", Kind::kTls, "accept", kSent, ""},
      {"encoder without log-on",
       Kind::kDirect,
       "no-logon",
       {"Preparing to send message...", "Sending Message...", "Message Sent!"},
       ""},
      {"server that closes after the log-off", Kind::kTcp, "close-after-eot", kSent, ""},
      {"tcp after a refused tcp line", Kind::kTcp, "accept", kSent, down},
      {"tls after a refused tcp line", Kind::kTls, "accept", kSent, down},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string port = StartTerminal(row.kind, row.scenario);
    WriteLines(row.first_line + LineFor(row.kind, port));
    const auto sent = Send();
    EXPECT_EQ(sent.status, 0) << sent.err;
    const bool skipped =
        sent.err.find("line 1 (tcp 127.0.0.1:") != std::string::npos &&
        sent.err.find("skipped: the gateway cannot be reached: Connection refused") !=
            std::string::npos;
    EXPECT_EQ(skipped, !row.first_line.empty()) << sent.err;
    EXPECT_EQ(Steps(sent.out), row.statuses);
    EXPECT_NE(sent.err.find("is not used"), std::string::npos) << "nothing is dialled";
    // Goodbye, the line dropped or the link's end: the call ends as after a hang-up.
    EXPECT_NE(sent.err.find("Call stopped\n"), std::string::npos) << sent.err;
    EXPECT_EQ(ValidBlocks(), 1);
    EXPECT_EQ(terminal_->Wait(30s).status, 0);
  }
}

// A gateway sees one connection per page: the connection that finds it
// there is the one the page goes over. A device server that takes a single
// session (here: a terminal that refuses every caller after the first) gets
// its page. A dead first line is passed over with its reason.
TEST_F(LinesEndToEnd, OnePagePerConnection) {
  MakeCertificate();
  struct Row {
    const char* name;
    Kind kind;
    std::string first_line;  // tried first; it must be passed over
    const char* skipped;     // why
  };
  const Row rows[] = {
      {"tcp", Kind::kTcp, "", nullptr},
      {"tls", Kind::kTls, "", nullptr},
      {"tcp after a tls gateway whose certificate is not trusted", Kind::kTcp,
       "tls localhost:PORT\n",
       "line 1 (tls localhost:PORT) skipped: the server's certificate is not trusted"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<Process> dead;
    std::string first = row.first_line;
    std::string why = row.skipped ? row.skipped : "";
    if (!first.empty()) {
      // Its own terminal, whose certificate nobody trusts.
      dead = std::make_unique<Process>(std::vector<std::string>{
          ZENTREL_MODEMSIM, "--listen", "127.0.0.1:0", "--tls", Path("cert.pem"), Path("key.pem")});
      const std::string ready = dead->WaitForLine("ready ", 30s);
      const std::string port = ready.substr(ready.rfind(':') + 1);
      first.replace(first.find("PORT"), 4, port);
      why.replace(why.find("PORT"), 4, port);
    }
    const std::string port = StartTerminal(row.kind, "accept", {"--max-connections", "1"});
    WriteLines(first + LineFor(row.kind, port));
    const auto sent = Send();
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(Steps(sent.out), kSent);
    EXPECT_EQ(ValidBlocks(), 1);
    EXPECT_EQ(Connections(), 1) << "one connection per page";
    EXPECT_NE(sent.err.find(why), std::string::npos) << sent.err;
    EXPECT_EQ(terminal_->Wait(30s).status, 0);
  }
}

// What is not a regular file where one is expected is refused at once: the
// device list (a FIFO nobody writes, /dev/zero under a 1 GB address-space
// limit) and a TLS line's CA file (the line is skipped, never connected).
TEST_F(LinesEndToEnd, DeviceListsAndCaFilesThatAreNotFilesAreRefused) {
  MakeCertificate();
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  struct Row {
    const char* name;
    std::string lines_path;  // ZENTREL_LINES
    std::string said;
  };
  const Row rows[] = {
      {"FIFO as lines.conf", Path("fifo"), Path("fifo") + " is not a regular file"},
      {"/dev/zero as lines.conf", "/dev/zero", "/dev/zero is not a regular file"},
      {"FIFO as ca=", Path("lines.conf"),
       "line 1 (tls localhost:PORT) skipped: the CA file " + Path("fifo") +
           " is not a regular file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string port = StartTerminal(Kind::kTls, "accept");
    std::string said = row.said;
    if (said.find("PORT") != std::string::npos) said.replace(said.find("PORT"), 4, port);
    WriteLines("tls localhost:" + port + " ca=" + Path("fifo") + "\n");
    // An address-space limit shows a read that never ends as bad_alloc; the
    // sanitizers reserve more than any such limit allows, so they run without.
    const std::string limit = ZENTREL_SANITIZED ? "" : "ulimit -v 1000000 && ";
    const auto sent =
        RunProgram({"/bin/sh", "-c", limit + "exec \"$0\" \"$@\"", ZENTREL_SEND, "--db",
                    Path("vp.mdb"), "--pin", "1001", "--message", "Pump 3 down", "--timeout", "20"},
                   {"ZENTREL_LINES=" + row.lines_path}, 60s);
    EXPECT_EQ(sent.status, 1) << sent.err;
    EXPECT_EQ(sent.out, "");
    EXPECT_NE(sent.err.find(said), std::string::npos) << sent.err;
    EXPECT_EQ(sent.err.find("bad_alloc"), std::string::npos) << sent.err;
    terminal_->Terminate();
    EXPECT_EQ(Connections(), 0) << "nothing reached the terminal";
    terminal_.reset();
  }
}

TEST_F(LinesEndToEnd, RefusedLinesSayWhy) {
  MakeCertificate();
  const std::string closed_port = ClosedPort();

  struct Row {
    const char* name;
    bool serve;  // a TLS terminal is up
    std::string line;
    const char* reason;
  };
  const Row rows[] = {
      {"untrusted certificate", true, "tls localhost:PORT\n", "not trusted"},
      {"certificate for another name", true,
       "tls localhost:PORT ca=" + Path("cert.pem") + " name=pager.example\n",
       "not for pager.example"},
      {"connection refused", false, "tcp 127.0.0.1:" + closed_port + "\n", "refused"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string line = row.line;
    if (row.serve) line.replace(line.find("PORT"), 4, StartTerminal(Kind::kTls, "accept"));
    WriteLines(line);
    const auto sent = Send();
    EXPECT_EQ(sent.status, 1) << sent.err;
    EXPECT_EQ(sent.out, "");
    // Told in the verdict, or for a line passed over, in the list just before it.
    EXPECT_NE(sent.err.rfind("page not sent"), std::string::npos) << sent.err;
    EXPECT_NE(sent.err.find(row.reason), std::string::npos) << sent.err;
    EXPECT_EQ(ValidBlocks(), 0);
    terminal_.reset();
  }
}

TEST_F(LinesEndToEnd, ServersThatFailMidwayEndTheCall) {
  MakeCertificate();
  struct Row {
    const char* name;
    Kind kind;
    const char* scenario;
    int timeout_seconds;
  };
  const Row rows[] = {
      {"tcp server that never answers", Kind::kTcp, "silent", 3},
      {"tls server that never shakes hands", Kind::kTls, "silent", 3},
      {"server that drops the line mid-page", Kind::kTcp, "hangup-after-logon", 60},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteLines(LineFor(row.kind, StartTerminal(row.kind, row.scenario)));
    const auto sent = Send(row.timeout_seconds);
    EXPECT_EQ(sent.status, 1) << sent.err;
    EXPECT_NE(sent.err.find("page not sent"), std::string::npos) << sent.err;
    EXPECT_NE(sent.err.find("Call stopped\n"), std::string::npos) << sent.err;
    EXPECT_EQ(ValidBlocks(), 0);
    terminal_.reset();
  }
}

}  // namespace
}  // namespace zentrel::e2e
