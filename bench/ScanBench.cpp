// One refresh of the server list: a process sample plus a port scan, on whatever this machine
// runs (start ../shared/bench/workload.sh first for the reference population).
//
//   Cold:   fresh sampler and fresh socket-owner memory every time, as a one-shot command pays.
//   Steady: one sampler and one socket-owner memory refreshed again and again, as the app does.
#include <benchmark/benchmark.h>

#include "core/platform/LibProc.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/platform/linux/SocketOwners.hpp"
#include "core/platform/linux/SocketTable.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/servers/PortScanner.hpp"

namespace {

using namespace tarvik;

PortScanner::Sources sourcesWith(SocketOwners& owners, const ProcRoot& root) {
    auto sources = PortScanner::Sources::live();
    sources.listeningSockets = [&owners, &root](const std::vector<LibProc::ProcessRef>& processes) {
        std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> result;
        for (const auto& [pid, sockets] : owners.resolve(root, SocketTable::read(root), processes)) {
            auto& list = result[pid];
            for (const auto& socket : sockets) list.push_back({socket.port, socket.address});
        }
        return result;
    };
    return sources;
}

void BM_SampleAndScanCold(benchmark::State& state) {
    ProcRoot root;
    std::size_t servers = 0;
    for (auto _ : state) {
        SocketOwners owners;
        ProcessSampler sampler;
        auto snapshot = sampler.sample();
        servers = PortScanner::scan(snapshot, sourcesWith(owners, root)).size();
        benchmark::DoNotOptimize(servers);
    }
    state.counters["servers"] = static_cast<double>(servers);
}
BENCHMARK(BM_SampleAndScanCold)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SampleAndScanSteady(benchmark::State& state) {
    ProcRoot root;
    SocketOwners owners;
    ProcessSampler sampler;
    auto sources = sourcesWith(owners, root);
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
    ProcRoot root;
    SocketOwners owners;
    ProcessSampler sampler;
    auto sources = sourcesWith(owners, root);
    auto snapshot = sampler.sample();
    (void)PortScanner::scan(snapshot, sources);
    for (auto _ : state) benchmark::DoNotOptimize(PortScanner::scan(snapshot, sources).size());
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ListeningTable(benchmark::State& state) {
    ProcRoot root;
    for (auto _ : state) benchmark::DoNotOptimize(SocketTable::read(root).size());
}
BENCHMARK(BM_ListeningTable)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ProcessInfo(benchmark::State& state) {
    ProcessSampler sampler;
    auto snapshot = sampler.sample();
    std::vector<std::int32_t> pids;
    for (const auto& [pid, sockets] : LibProc::listeningSockets(std::vector<LibProc::ProcessRef>{}))
        pids.push_back(pid);
    for (const auto& record : snapshot.records)
        if (pids.size() < 60) pids.push_back(record.pid);
    for (auto _ : state) benchmark::DoNotOptimize(LibProc::processInfo(pids).size());
}
BENCHMARK(BM_ProcessInfo)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
