// zentrel-log's output: CSV that a spreadsheet reads back field for field
// (commas, quotes and line breaks in a message), JSON with typed fields, and
// the --since forms it accepts and refuses.
#include "tools/log/log_format.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

namespace zentrel {
namespace {

std::vector<PageRecord> Records() {
  PageRecord accepted;
  accepted.id = 1;
  accepted.started = "2026-12-07T01:02:03.456Z";
  accepted.attempt = {"zentrel-send",
                      "ops",
                      "1001",
                      "Ann Lee",
                      "5551234",
                      "Pump 3, \"east\"\r\ncall ops",
                      "Pump 3, \"east\"\r\ncall ops"};
  accepted.outcome = PageOutcome::kAccepted;
  accepted.terminal = "211 Page accepted";
  accepted.duration_ms = 5321;
  PageRecord interrupted;
  interrupted.id = 2;
  interrupted.started = "2026-12-07T01:03:00.000Z";
  interrupted.attempt = {"zentrel",
                         "ops",
                         "1002",
                         "",
                         "5550000",
                         "Grusse",
                         "Gr\xc3\xbc\xc3\x9f"
                         "e"};
  return {accepted, interrupted};
}

TEST(LogFormat, CsvQuotesWhatNeedsIt) {
  EXPECT_EQ(
      AsCsv(Records()),
      "id,started,program,user,pin,names,line,message,outcome,reason,terminal,duration_ms,typed\r\n"
      "1,2026-12-07T01:02:03.456Z,zentrel-send,ops,1001,Ann Lee,5551234,"
      "\"Pump 3, \"\"east\"\"\r\ncall ops\",accepted,,211 Page accepted,5321,"
      "\"Pump 3, \"\"east\"\"\r\ncall ops\"\r\n"
      "2,2026-12-07T01:03:00.000Z,zentrel,ops,1002,,5550000,Grusse,interrupted,,,,"
      "Gr\xc3\xbc\xc3\x9f"
      "e\r\n");
}

TEST(LogFormat, JsonKeepsTypes) {
  const auto all = nlohmann::json::parse(AsJson(Records()));
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["id"], 1);
  EXPECT_EQ(all[0]["duration_ms"], 5321);
  EXPECT_EQ(all[0]["message"], "Pump 3, \"east\"\r\ncall ops");
  EXPECT_EQ(all[1]["outcome"], "interrupted");
  EXPECT_EQ(all[1]["message"], "Grusse");
  EXPECT_EQ(all[1]["typed"],
            "Gr\xc3\xbc\xc3\x9f"
            "e")
      << "the message as typed, beside what went";
  EXPECT_TRUE(all[1]["duration_ms"].is_null());
}

TEST(LogFormat, TableKeepsOneRecordPerLine) {
  const std::string table = AsTable(Records());
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2);
  EXPECT_NE(table.find("accepted  1001 (Ann Lee) via 5551234"), std::string::npos) << table;
}

TEST(LogFormat, SinceForms) {
  const std::time_t now = 1796605200;  // 2026-12-07T01:00:00Z
  struct Row {
    const char* text;
    std::optional<std::string> since;
  };
  const Row rows[] = {
      {"2026-12-07", "2026-12-07"},
      {"2026-12-07 08:30", "2026-12-07T08:30"},
      {"2026-12-07T08:30:15Z", "2026-12-07T08:30:15"},
      {"90m", "2026-12-06T23:30:00"},
      {"24h", "2026-12-06T01:00:00"},
      {"7d", "2026-11-30T01:00:00"},
      {"2028-02-29", "2028-02-29"},
      {"2026-02-29", std::nullopt},
      {"2026-13-45", std::nullopt},
      {"2026-12-07 24:00", std::nullopt},
      {"2026-12-07 23:60", std::nullopt},
      {"yesterday", std::nullopt},
      {"2026-12-07'; DROP TABLE pages", std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(SinceTime(row.text, now), row.since) << row.text;
}

}  // namespace
}  // namespace zentrel
