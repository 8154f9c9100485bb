// The PIN list at start-up. RawWalk is the store alone (open the recipient
// recordset and read every PIN); FormFill is the form's whole first showing
// on the same file; the two PinBox cases compare inserting each PIN at its
// sorted place, as a self-sorting list does, with sorting once and setting
// the list in one go.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "bench/app/bench_db.h"
#include "paging/view/zt_view.h"

namespace zentrel::bench {
namespace {

void RawWalk(benchmark::State& state) {
  const std::string file = BenchFolder(static_cast<int>(state.range(0))) + "/vp.mdb";
  for (auto _ : state) {
    CZTSet set(nullptr, file);
    set.Open();
    while (!set.IsEOF()) {
      benchmark::DoNotOptimize(set.m_pin.data());
      set.MoveNext();
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void FormFill(benchmark::State& state) {
  const std::string folder = BenchFolder(static_cast<int>(state.range(0)));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  for (auto _ : state) {
    CZTSet set;
    CZTView view(&set);
    view.OnInitialUpdate();
    benchmark::DoNotOptimize(view.m_comboPin->count());
  }
  std::filesystem::current_path(previous);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

std::vector<std::string> RandomPins(int count) {
  std::mt19937 random(7);
  std::vector<std::string> pins;
  for (int i = 0; i < count; ++i) pins.push_back(std::to_string(random() % 10000000));
  return pins;
}

void PinBoxInsertEach(benchmark::State& state) {
  const auto pins = RandomPins(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CPinCombo combo;
    for (const std::string& pin : pins) combo.AddString(QString::fromStdString(pin));
  }
}

void PinBoxSortOnce(benchmark::State& state) {
  const auto pins = RandomPins(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CPinCombo combo;
    combo.SetPins(pins);
  }
}

BENCHMARK(RawWalk)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(FormFill)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(PinBoxInsertEach)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);
BENCHMARK(PinBoxSortOnce)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zentrel::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
