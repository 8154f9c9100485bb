// The worker's batch line: what the gateway sends is taken as it means it,
// and a malformed line is refused with the cause, never half taken.
#include "tools/send/worker_batch.h"

#include <gtest/gtest.h>

namespace zentrel {
namespace {

TEST(WorkerBatch, AWellFormedBatch) {
  BatchCall batch;
  std::string error;
  ASSERT_TRUE(ParseWorkerBatch(
      R"({"line": 1, "lines_file": "/x/lines.conf", "phone": "5551234", "split": true,
          "max_chars": 80, "timeout_s": 30, "future": 1,
          "pages": [{"id": 17, "pin": "1001", "text": "a\nb\n", "may_be_duplicate": true}]})",
      &batch, &error))
      << error;
  EXPECT_EQ(batch.line, 1);
  EXPECT_EQ(batch.lines_file, "/x/lines.conf");
  EXPECT_EQ(batch.phone, "5551234");
  EXPECT_TRUE(batch.split);
  EXPECT_EQ(batch.max_chars, 80u);
  EXPECT_EQ(batch.timeout_seconds, 30);
  ASSERT_EQ(batch.pages.size(), 1u);
  EXPECT_EQ(batch.pages[0].id, 17);
  EXPECT_EQ(batch.pages[0].text, "a\r\nb");  // as the message box holds it
}

TEST(WorkerBatch, MalformedBatchesAreRefused) {
  const std::string head = R"({"line": 0, "lines_file": "/l", )";
  const struct {
    const char* name;
    std::string line;
  } rows[] = {
      {"not JSON", "line 0 please"},
      {"not an object", "[1, 2]"},
      {"no line", R"({"lines_file": "/l", "pages": [{"id": 1, "pin": "1", "text": "a"}]})"},
      {"negative line",
       R"({"line": -1, "lines_file": "/l", "pages": [{"id": 1, "pin": "1", "text": "a"}]})"},
      {"no pages", head + R"("pages": []})"},
      {"pages not an array", head + R"("pages": {"id": 1}})"},
      {"page without id", head + R"("pages": [{"pin": "1", "text": "a"}]})"},
      {"id as text", head + R"("pages": [{"id": "1", "pin": "1", "text": "a"}]})"},
      {"PIN as number", head + R"("pages": [{"id": 1, "pin": 1001, "text": "a"}]})"},
      {"no text", head + R"("pages": [{"id": 1, "pin": "1"}]})"},
      {"max_chars too small",
       head + R"("max_chars": 3, "pages": [{"id": 1, "pin": "1", "text": "a"}]})"},
      {"time-out of 0", head + R"("timeout_s": 0, "pages": [{"id": 1, "pin": "1", "text": "a"}]})"},
  };
  for (const auto& row : rows) {
    BatchCall batch;
    std::string error;
    EXPECT_FALSE(ParseWorkerBatch(row.line, &batch, &error)) << row.name;
    EXPECT_FALSE(error.empty()) << row.name;
  }
}

}  // namespace
}  // namespace zentrel
