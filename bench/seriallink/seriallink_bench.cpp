// Measures the serial link with its real intervals on a pseudo-terminal:
// the CPU time an attached, idle link uses over 10 s (its threads should
// sleep in one wait each), and the delay from the last byte of a burst to
// its delivery to the view (the 250 ms silence plus the link's own cost).
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "seriallink/comm_link.h"
#include "seriallink/trace.h"

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;

class TimingView : public ILinkView {
 public:
  int OnLinkUp() override { return 1; }
  int ProcessReceivedData(const char*, std::uint32_t) override {
    std::lock_guard lock(mutex_);
    delivered_ = Clock::now();
    ++count_;
    cv_.notify_all();
    return 1;
  }
  ILinkTelephony* Tapi() override { return nullptr; }
  // The time of delivery number `n` (1-based).
  Clock::time_point WaitDelivery(int n) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return count_ >= n; });
    return delivered_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int count_ = 0;
  Clock::time_point delivered_;
};

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Pty {
  Pty() { openpty(&master, &slave, nullptr, nullptr, nullptr); }
  ~Pty() { close(master); }
  int master = -1;
  int slave = -1;
};

void BM_IdleLinkCpuOver10s(benchmark::State& state) {
  SetTraceSink([](std::string_view) {});
  for (auto _ : state) {
    Pty pty;
    TimingView view;
    CCommLink link(view);
    link.Attach(pty.slave);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // settle into the waits
    const double before = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    state.counters["idle_cpu_ms"] = ProcessCpuMs() - before;
    link.Stop();
  }
  SetTraceSink({});
}
BENCHMARK(BM_IdleLinkCpuOver10s)->Iterations(1)->Unit(benchmark::kSecond);

void BM_BurstToDeliveryDelay(benchmark::State& state) {
  SetTraceSink([](std::string_view) {});
  Pty pty;
  TimingView view;
  CCommLink link(view);
  link.Attach(pty.slave);
  std::vector<double> delays;
  int n = 0;
  for (auto _ : state) {
    [[maybe_unused]] ssize_t w = write(pty.master, "ID=", 3);
    const Clock::time_point last_byte = Clock::now();
    const Clock::time_point delivered = view.WaitDelivery(++n);
    const std::chrono::duration<double> d = delivered - last_byte;
    state.SetIterationTime(d.count());
    delays.push_back(d.count() * 1e3);
  }
  link.Stop();
  std::sort(delays.begin(), delays.end());
  state.counters["median_ms"] = delays[delays.size() / 2];
  state.counters["max_ms"] = delays.back();
  state.counters["median_over_250_ms"] = delays[delays.size() / 2] - 250.0;
  SetTraceSink({});
}
BENCHMARK(BM_BurstToDeliveryDelay)->Iterations(31)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zentrel

BENCHMARK_MAIN();
