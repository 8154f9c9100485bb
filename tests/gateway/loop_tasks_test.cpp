// The hand-off from the HTTP threads to the daemon's thread: many posters at
// once, each task run on the loop's thread and one at a time (the counter is
// a plain int, so ThreadSanitizer sees any overlap), a task's exception back
// in its poster, and a closed loop refusing at once rather than leaving a
// poster waiting.
#include "gateway/loop_tasks.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zentrel::gateway {
namespace {

TEST(LoopTasks, TasksFromManyThreadsRunOnTheLoopsThreadOneAtATime) {
  LoopTasks tasks;
  const std::thread::id loop = std::this_thread::get_id();
  int counter = 0;
  std::atomic<int> posters_done{0};
  std::atomic<int> elsewhere{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&] {
      for (int n = 0; n < 200; ++n) {
        EXPECT_TRUE(tasks.Run([&] {
          ++counter;
          if (std::this_thread::get_id() != loop) ++elsewhere;
        }));
      }
      ++posters_done;
    });
  }
  while (posters_done < 4) {
    pollfd p{tasks.fd(), POLLIN, 0};
    poll(&p, 1, 50);
    tasks.RunPending();
  }
  for (auto& t : posters) t.join();
  EXPECT_EQ(counter, 800);
  EXPECT_EQ(elsewhere, 0);
}

TEST(LoopTasks, AThrowingTaskThrowsInItsPosterAndAClosedLoopRefuses) {
  LoopTasks tasks;
  std::thread poster([&] {
    EXPECT_THROW(tasks.Run([] { throw std::runtime_error("disk full"); }), std::runtime_error);
    bool ran = false;
    EXPECT_FALSE(tasks.Run([&] { ran = true; }));
    EXPECT_FALSE(ran);
  });
  pollfd p{tasks.fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 10000), 1);
  tasks.Close();  // runs the throwing task, then refuses the next
  poster.join();
}

}  // namespace
}  // namespace zentrel::gateway
