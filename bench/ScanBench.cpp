// One refresh of the server list: a process sample plus a port scan, on whatever this machine
// runs (start ../shared/bench/workload.sh first for the reference population).
//
//   Cold:   fresh sampler and fresh live sources (no socket-holder memory) every time, as a
//           one-shot command pays.
//   Steady: one sampler and one set of live sources refreshed again and again, as the app does.
#include <benchmark/benchmark.h>

#include "core/processes/ProcessSampler.hpp"
#include "core/servers/PortScanner.hpp"

namespace {

using namespace tarvik;

void BM_SampleAndScanCold(benchmark::State& state) {
    std::size_t servers = 0;
    for (auto _ : state) {
        ProcessSampler sampler;
        auto snapshot = sampler.sample();
        servers = PortScanner::scan(snapshot, PortScanner::Sources::live()).size();
        benchmark::DoNotOptimize(servers);
    }
    state.counters["servers"] = static_cast<double>(servers);
}
BENCHMARK(BM_SampleAndScanCold)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SampleAndScanSteady(benchmark::State& state) {
    ProcessSampler sampler;
    auto sources = PortScanner::Sources::live();
    (void)PortScanner::scan(sampler.sample(), sources);  // the first refresh primes both
    std::size_t servers = 0;
    std::size_t processes = 0;
    for (auto _ : state) {
        auto snapshot = sampler.sample();
        processes = snapshot.records.size();
        servers = PortScanner::scan(snapshot, sources).size();
        benchmark::DoNotOptimize(servers);
    }
    state.counters["servers"] = static_cast<double>(servers);
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(BM_SampleAndScanSteady)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SampleOnly(benchmark::State& state) {
    ProcessSampler sampler;
    (void)sampler.sample();
    for (auto _ : state) benchmark::DoNotOptimize(sampler.sample().records.size());
}
BENCHMARK(BM_SampleOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ScanOnly(benchmark::State& state) {
    ProcessSampler sampler;
    auto sources = PortScanner::Sources::live();
    auto snapshot = sampler.sample();
    (void)PortScanner::scan(snapshot, sources);
    for (auto _ : state) benchmark::DoNotOptimize(PortScanner::scan(snapshot, sources).size());
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ProcessInfo(benchmark::State& state) {
    ProcessSampler sampler;
    auto snapshot = sampler.sample();
    std::vector<std::int32_t> pids;
    for (const auto& server : PortScanner::scan(snapshot)) pids.push_back(server.pid);
    for (const auto& record : snapshot.records)
        if (pids.size() < 60) pids.push_back(record.pid);
    auto sources = PortScanner::Sources::live();
    for (auto _ : state) benchmark::DoNotOptimize(sources.processInfo(pids).size());
}
BENCHMARK(BM_ProcessInfo)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
