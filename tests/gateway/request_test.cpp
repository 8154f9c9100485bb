// The socket's request parser from one table of lines, and the line buffer's
// bound: what a client may send and what each refusal is.
#include "gateway/request.h"

#include <gtest/gtest.h>

#include "gateway/line_buffer.h"

namespace zentrel::gateway {
namespace {

TEST(RequestParser, EachLineGivesItsRequestOrItsRefusal) {
  struct Row {
    const char* line;
    const char* refusal;  // "" when the request is taken
  };
  const Row rows[] = {
      {R"({"op":"submit","pages":[{"pin":"1001","text":"hi"}]})", ""},
      {R"({"op":"submit","pages":[{"pin":"1","text":"a","hold_until":1765000000.5,"priority":3}],"split":true,"max_chars":80,"via":"zentrel-send","x":1})",
       ""},
      {R"({"op":"list"})", ""},
      {R"({"op":"show","id":12})", ""},
      {R"({"op":"cancel","id":12.0})", ""},
      {R"({"op":"watch","ids":[]})", ""},
      {R"({"op":"watch","ids":[1,2,3]})", ""},
      {"", "bad-request"},
      {"garbage", "bad-request"},
      {"[1,2]", "bad-request"},
      {R"({"op":"dance"})", "bad-request"},
      {R"({"op":7})", "bad-request"},
      {R"({"op":"submit"})", "bad-request"},
      {R"({"op":"submit","pages":[]})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":1001,"text":"hi"}]})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":"1001"}]})", "bad-request"},
      {R"({"op":"submit","pages":["hi"]})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":"1","text":"a","hold_until":"soon"}]})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":"1","text":"a","priority":1.5}]})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":"1","text":"a","priority":1e300}]})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":"1","text":"a"}],"split":"yes"})", "bad-request"},
      {R"({"op":"submit","pages":[{"pin":"1","text":"a"}],"via":""})", "bad-request"},
      {R"({"op":"show"})", "bad-request"},
      {R"({"op":"show","id":-4})", "bad-request"},
      {R"({"op":"show","id":"12"})", "bad-request"},
      {R"({"op":"watch","ids":[1,"x"]})", "bad-request"},
      {"{\"op\":\"submit\",\"pages\":[{\"pin\":\"1\",\"text\":\"\xff\"}]}", "bad-request"},
  };
  for (const Row& row : rows) {
    const auto parsed = ParseRequest(row.line);
    const auto* refusal = std::get_if<Refusal>(&parsed);
    EXPECT_EQ(refusal ? refusal->code : "", row.refusal) << row.line;
    if (refusal) {
      EXPECT_FALSE(refusal->error.empty()) << row.line;
    }
  }
}

TEST(RequestParser, ASubmissionKeepsEveryField) {
  const auto parsed = ParseRequest(
      R"({"op":"submit","pages":[{"pin":"1","text":"a","hold_until":5,"priority":-2}],"split":true,"max_chars":80,"via":"snpp"})");
  const Request& r = std::get<Request>(parsed);
  ASSERT_EQ(r.pages.size(), 1u);
  EXPECT_EQ(r.pages[0].hold_until, 5);
  EXPECT_EQ(r.pages[0].priority, -2);
  EXPECT_TRUE(r.split);
  EXPECT_EQ(r.max_chars, 80);
  EXPECT_EQ(r.via, "snpp");
}

TEST(LineBuffer, CutsLinesAndRefusesOneLongerThanItsBound) {
  LineBuffer buffer(8);
  buffer.Append("ab\r\ncd");
  EXPECT_EQ(buffer.Next(), "ab");
  EXPECT_EQ(buffer.Next(), std::nullopt);
  buffer.Append("ef\n");
  EXPECT_EQ(buffer.Next(), "cdef");
  buffer.Append("123456789");
  EXPECT_EQ(buffer.Next(), std::nullopt);
  EXPECT_TRUE(buffer.Overflowed());
  LineBuffer whole(8);
  whole.Append("123456789\nok\n");
  EXPECT_EQ(whole.Next(), std::nullopt) << "a long line is refused even when it came whole";
  EXPECT_TRUE(whole.Overflowed());
}

}  // namespace
}  // namespace zentrel::gateway
