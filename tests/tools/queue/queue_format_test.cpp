// zentrel-queue's table: a page's next try depends on its state, hold and
// times; ages round down; odd or missing fields from the daemon show as "-"
// instead of throwing; texts are escaped; columns line up.
#include "tools/queue/queue_format.h"

#include <gtest/gtest.h>

namespace zentrel {
namespace {

using nlohmann::json;

constexpr double kNow = 1765000000;

// The table's second line with runs of spaces squeezed to one.
std::string Row(const json& page) {
  const std::string table = QueueTable(json::array({page}), kNow);
  std::string row = table.substr(table.find('\n') + 1);
  std::string squeezed;
  for (char c : row) {
    if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed += c;
  }
  return squeezed;
}

TEST(QueueTable, EachPageRowSaysWhatHappensNext) {
  const json attempt = {{"at", kNow - 50}, {"outcome", "not sent"}, {"reason", "busy"}};
  const struct {
    const char* name;
    json page;
    std::string row;
  } rows[] = {
      {"due now",
       {{"id", 1},
        {"pin", "1001"},
        {"state", "queued"},
        {"queued_at", kNow - 5},
        {"next_try", kNow - 1}},
       "1 queued 1001 5s 0 now -\n"},
      {"waiting for its retry",
       {{"id", 2},
        {"pin", "1001"},
        {"state", "queued"},
        {"queued_at", kNow - 125},
        {"next_try", kNow + 90},
        {"last_reason", "busy"},
        {"attempts", {attempt, attempt}}},
       "2 queued 1001 2m 2 in 1m busy\n"},
      {"held until a time",
       {{"id", 3},
        {"pin", "1002"},
        {"state", "queued"},
        {"queued_at", kNow - 7200},
        {"next_try", kNow},
        {"not_before", kNow + 7200}},
       "3 queued 1002 2h 0 in 2h -\n"},
      {"held by hand",
       {{"id", 4}, {"pin", "1002"}, {"state", "queued"}, {"held", true}, {"queued_at", kNow}},
       "4 queued (held) 1002 0s 0 held -\n"},
      {"on the line",
       {{"id", 5}, {"pin", "1003"}, {"state", "on the line"}, {"queued_at", kNow - 90000}},
       "5 on the line 1003 1d 0 - -\n"},
      {"on the line of another gateway sharing the queue",
       {{"id", 7}, {"pin", "1003"}, {"state", "on the line"}, {"holder", "beta"}},
       "7 on the line at beta 1003 - 0 - -\n"},
      {"final, a hold no longer matters",
       {{"id", 6},
        {"pin", "1003"},
        {"state", "refused"},
        {"held", true},
        {"last_reason", "terminal refused"},
        {"attempts", {attempt}}},
       "6 refused 1003 - 1 - terminal refused\n"},
      {"mistyped fields",
       {{"id", "7"},
        {"pin", 1004},
        {"state", "queued"},
        {"held", "yes"},
        {"queued_at", "today"},
        {"attempts", "many"},
        {"next_try", "soon"}},
       "7 queued 1004 - 0 now -\n"},
      {"escape in the reason",
       {{"id", 8}, {"state", "queued"}, {"next_try", kNow}, {"last_reason", "x\x1b[2Jy"}},
       "8 queued - - 0 now x\\x1b[2Jy\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Row(row.page), row.row) << row.name;
  }
}

TEST(QueueTable, ColumnsLineUpAndAnEmptyQueueSaysSo) {
  const json pages = {{{"id", 12345}, {"pin", "1"}, {"state", "accepted"}},
                      {{"id", 6}, {"pin", "1234567"}, {"state", "queued"}, {"next_try", kNow}}};
  EXPECT_EQ(QueueTable(pages, kNow),
            "ID     STATE     PIN      AGE  TRIES  NEXT TRY  LAST REASON\n"
            "12345  accepted  1        -    0      -         -\n"
            "6      queued    1234567  -    0      now       -\n");
  EXPECT_EQ(QueueTable(json::array(), kNow), "No pages in the queue.\n");
  EXPECT_EQ(QueueTable(json(nullptr), kNow), "No pages in the queue.\n");
}

TEST(PageDetails, ListsAttemptsWithTheTerminalsWordsEscaped) {
  const json page = {{"id", 9},
                     {"pin", "1001"},
                     {"fname", "Ann"},
                     {"lname", "Lee"},
                     {"state", "accepted"},
                     {"text", "line one\r\nline two"},
                     {"queued_at", kNow - 60},
                     {"may_be_duplicate", true},
                     {"attempts",
                      {{{"at", kNow - 30},
                        {"line", "Serial on /dev/pts/3"},
                        {"outcome", "accepted"},
                        {"reason", ""},
                        {"words", "211 ok\x07"},
                        {"duration_ms", 812}}}}};
  const std::string text = PageDetails(page, kNow);
  for (const char* expected :
       {"Page: 9\n", "State: accepted\n", "PIN: 1001 (Ann Lee)\n", "Text: line one\\r\\nline two\n",
        "Queued: 2025-12-06 05:45:40 UTC (1m ago)", "Note: may be a duplicate",
        "Attempts: 1\n  2025-12-06 05:46:10 UTC  Serial on /dev/pts/3: accepted, the terminal said "
        "\"211 ok\\x07\", 812 ms\n"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
  }
}

}  // namespace
}  // namespace zentrel
