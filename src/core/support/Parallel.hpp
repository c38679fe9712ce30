#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace tarvik {

// The machine's cores, asked once: each asking reads a file of /sys.
inline std::size_t onlineCores() {
    static const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return cores;
}

// Calls `work(index, worker)` once for every index below `count`, on up to as many threads as
// there are cores (at most four), handing indices out one at a time so that uneven items balance.
// `worker` is below the number of threads used, for per-thread scratch space. Small jobs stay on
// the calling thread: a thread costs more than `minPerThread` items.
template <typename Work>
void parallelFor(std::size_t count, std::size_t minPerThread, Work&& work) {
    std::size_t threads =
        std::min<std::size_t>({onlineCores(), 4, count / std::max<std::size_t>(minPerThread, 1) + 1});
    std::atomic<std::size_t> next{0};
    auto run = [&](std::size_t worker) {
        for (std::size_t i = next++; i < count; i = next++) work(i, worker);
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(run, t);
    run(0);
    for (auto& helper : helpers) helper.join();
}

// The number of workers `parallelFor` may use, for sizing per-thread scratch space.
inline std::size_t parallelWorkers() {
    return std::min<std::size_t>(onlineCores(), 4);
}

}  // namespace tarvik
