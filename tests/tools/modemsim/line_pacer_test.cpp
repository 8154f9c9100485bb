// Line pacing with made-up times: at 300 bit/s a character takes 1/30 s, a
// burst leaves one character time apart, an idle line starts afresh, and with
// pacing off every byte is due at once.
#include "line_pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace zentrel::modemsim {
namespace {

using Clock = LinePacer::Clock;
using std::chrono::microseconds;

TEST(LinePacer, DueTimes) {
  struct Row {
    const char* name;
    int bits_per_second;
    // Pushes: (time in microseconds, bytes); then TakeDue at each probe time.
    std::vector<std::pair<long, std::string>> pushes;
    std::vector<std::pair<long, std::string>> probes;  // time -> bytes due
  };
  const Row rows[] = {
      {"unpaced", 0, {{0, "abc"}}, {{0, "abc"}}},
      {"300 bit/s burst",
       300,
       {{0, "abc"}},
       {{33332, ""}, {33334, "a"}, {66667, "b"}, {99999, ""}, {100000, "c"}}},
      {"second push queues behind the first",
       300,
       {{0, "ab"}, {10000, "c"}},
       {{66667, "ab"}, {99999, ""}, {100000, "c"}}},
      {"idle line starts afresh",
       1000,
       {{0, "a"}, {50000, "b"}},
       {{10000, "a"}, {59999, ""}, {60000, "b"}}},
  };
  for (const Row& row : rows) {
    LinePacer pacer(row.bits_per_second);
    const Clock::time_point zero{};
    for (const auto& [at, bytes] : row.pushes) pacer.Push(bytes, zero + microseconds(at));
    for (const auto& [at, want] : row.probes) {
      EXPECT_EQ(pacer.TakeDue(zero + microseconds(at)), want) << row.name << " at " << at;
    }
    EXPECT_TRUE(pacer.empty()) << row.name;
  }
}

}  // namespace
}  // namespace zentrel::modemsim
