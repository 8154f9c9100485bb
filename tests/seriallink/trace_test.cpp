// The trace writes each text whole and exactly as given, even from many threads.
#include "seriallink/trace.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zentrel {
namespace {

TEST(Trace, CapturesTextsExactlyAsWritten) {
  TraceCapture capture;
  OutputDebugStringA("Attach: handle type OK\n");
  OutputDebugStringA("text ending in slash n/n");
  OutputDebugStringA(std::string_view("\0x", 2));
  const std::vector<std::string> expected{"Attach: handle type OK\n", "text ending in slash n/n",
                                          std::string("\0x", 2)};
  EXPECT_EQ(capture.Lines(), expected);
}

TEST(Trace, TextsFromManyThreadsStayWhole) {
  TraceCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) OutputDebugStringA("0123456789abcdef\n");
    });
  }
  for (auto& t : threads) t.join();
  const auto lines = capture.Lines();
  ASSERT_EQ(lines.size(), 800u);
  for (const auto& l : lines) EXPECT_EQ(l, "0123456789abcdef\n");
}

TEST(Trace, CaptureEndsWhenItGoesOutOfScope) {
  TraceCapture outer;
  {
    TraceCapture inner;
    OutputDebugStringA("inner\n");
    EXPECT_TRUE(inner.Contains("inner\n"));
  }
  OutputDebugStringA("outer\n");
  EXPECT_EQ(outer.Lines(), std::vector<std::string>{"outer\n"});
}

}  // namespace
}  // namespace zentrel
