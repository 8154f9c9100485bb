// The modem-answer parser and the line splitter, each from one table: every
// result code in both forms, echo, blanks, junk, CONNECT with and without a
// rate or suffix, numeric connections; CR LF, CR only, LF only and an unfinished line.
#include "telephony/hayes_response.h"

#include <gtest/gtest.h>

namespace zentrel {
namespace {

TEST(HayesResponse, ParsesEachAnswer) {
  struct Row {
    const char* line;
    HayesKind kind;
    const char* rate;
  };
  const Row rows[] = {
      {"OK", HayesKind::kOk, ""},
      {"0", HayesKind::kOk, ""},
      {"CONNECT", HayesKind::kConnect, ""},
      {"CONNECT 300", HayesKind::kConnect, "300"},
      {"CONNECT 2400/ARQ", HayesKind::kConnect, "2400/ARQ"},
      {"CONNECT 300/NONE", HayesKind::kConnect, "300/NONE"},
      {"CONNECT 1200/ARQ/V42BIS", HayesKind::kConnect, "1200/ARQ/V42BIS"},
      {"1", HayesKind::kConnect, ""},
      {"5", HayesKind::kConnect, "1200"},
      {"9", HayesKind::kConnect, "600"},
      {"10", HayesKind::kConnect, "2400"},
      {"47", HayesKind::kConnect, "code 47"},
      {"2", HayesKind::kRing, ""},
      {"3", HayesKind::kNoCarrier, ""},
      {"4", HayesKind::kError, ""},
      {"8", HayesKind::kNoAnswer, ""},
      {"NO DIAL TONE", HayesKind::kNoDialtone, ""},
      {"DELAYED", HayesKind::kDelayed, ""},
      {"BLACKLISTED", HayesKind::kBlacklisted, ""},
      {"VOICE", HayesKind::kVoice, ""},
      {"1000", HayesKind::kUnknown, ""},
      {"BUSY", HayesKind::kBusy, ""},
      {"7", HayesKind::kBusy, ""},
      {"NO CARRIER", HayesKind::kNoCarrier, ""},
      {"NO ANSWER", HayesKind::kNoAnswer, ""},
      {"NO DIALTONE", HayesKind::kNoDialtone, ""},
      {"6", HayesKind::kNoDialtone, ""},
      {"ERROR", HayesKind::kError, ""},
      {"RING", HayesKind::kRing, ""},
      {"  OK ", HayesKind::kOk, ""},
      {"ATZ", HayesKind::kEcho, ""},
      {"ATDT5551234", HayesKind::kEcho, ""},
      {"", HayesKind::kEmpty, ""},
      {"CONNECTED", HayesKind::kUnknown, ""},
      {"OKAY", HayesKind::kUnknown, ""},
      {"\x7f\x01junk", HayesKind::kUnknown, ""},
      {"ok", HayesKind::kUnknown, ""},
  };
  for (const Row& row : rows) {
    HayesResponse r = ParseHayesLine(row.line);
    EXPECT_EQ(r.kind, row.kind) << "line \"" << row.line << "\" gave " << HayesKindName(r.kind);
    EXPECT_EQ(r.rate, row.rate) << "line \"" << row.line << "\"";
  }
}

TEST(HayesResponse, SplitsLines) {
  struct Row {
    const char* what;
    std::string bytes;
    std::vector<std::string> lines;
    bool awaiting_lf;
  };
  const std::vector<Row> rows = {
      {"CR LF pairs", "\r\nOK\r\n", {"", "OK"}, false},
      {"incomplete line", "CONN", {}, false},
      {"CR without LF yet", "OK\r", {}, true},
      {"CR only, then more", "OK\rBUSY\r", {"OK"}, true},
      {"LF only", "OK\nBUSY\n", {"OK", "BUSY"}, false},
  };
  for (const Row& row : rows) {
    HayesLineSplitter splitter;
    std::vector<std::string> lines;
    for (char c : row.bytes)
      if (auto line = splitter.Feed(c)) lines.push_back(*line);
    EXPECT_EQ(lines, row.lines) << row.what;
    EXPECT_EQ(splitter.AwaitingLineFeed(), row.awaiting_lf) << row.what;
  }
}

}  // namespace
}  // namespace zentrel
