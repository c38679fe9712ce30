// One machine sample as the app takes it every refresh: the system monitor over a process
// snapshot (the snapshot itself is measured in ScanBench).
#include <benchmark/benchmark.h>

#include "core/machine/SystemMonitor.hpp"
#include "core/processes/ProcessSampler.hpp"

namespace {

using namespace tarvik;

void BM_SystemMonitorSample(benchmark::State& state) {
    ProcessSampler sampler;
    auto snapshot = sampler.sample();
    SystemMonitor monitor;
    (void)monitor.sample(snapshot);
    std::size_t apps = 0;
    for (auto _ : state) {
        auto vitals = monitor.sample(snapshot);
        apps = vitals.apps.size();
        benchmark::DoNotOptimize(vitals);
    }
    state.counters["apps"] = static_cast<double>(apps);
    state.counters["processes"] = static_cast<double>(snapshot.records.size());
}
BENCHMARK(BM_SystemMonitorSample)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
