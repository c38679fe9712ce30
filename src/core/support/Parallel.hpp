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

// How a parallelFor call shares the cores with others running at the same time.
enum class Cores {
    take,   // as many as it may use
    spare,  // only while no `take` call runs: its helpers leave one as it starts
};

namespace detail {

// Threads of `Cores::take` calls at work, their callers included.
inline std::atomic<std::size_t>& takenThreads() {
    static std::atomic<std::size_t> threads{0};
    return threads;
}

}  // namespace detail

// The threads a parallelFor call may use: twice the cores, at most four. Two threads on two cores
// often share one core for a while before the scheduler spreads them, which left a walk of /proc
// barely faster than one thread; more threads than cores keep every core busy.
inline std::size_t parallelWorkers() {
    return std::min<std::size_t>(2 * onlineCores(), 4);
}

// Calls `work(index, worker)` once for every index below `count`, on up to parallelWorkers()
// threads, handing indices out one at a time so that uneven items balance.
// `worker` is below the number of threads used, for per-thread scratch space. Small jobs stay on
// the calling thread: a thread costs more than `minPerThread` items. With `Cores::spare` the calling
// thread does the items that its helpers, gone to make room, leave.
template <typename Work>
void parallelFor(std::size_t count, std::size_t minPerThread, Work&& work, Cores cores = Cores::take) {
    const std::size_t threads =
        std::min<std::size_t>(parallelWorkers(), count / std::max<std::size_t>(minPerThread, 1) + 1);
    auto& taken = detail::takenThreads();
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> helpers;
    if (cores == Cores::take) {
        auto run = [&](std::size_t worker) {
            for (std::size_t i = next++; i < count; i = next++) work(i, worker);
        };
        taken += threads;
        for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(run, t);
        run(0);
        for (auto& helper : helpers) helper.join();
        taken -= threads;
        return;
    }
    auto runSpared = [&](std::size_t worker) {
        for (std::size_t i = next++; i < count; i = next++) {
            work(i, worker);
            if (taken.load() > 0) return;
        }
    };
    for (std::size_t i = next++; i < count; i = next++) {
        if (helpers.size() + 1 < threads && taken.load() == 0)
            helpers.emplace_back(runSpared, helpers.size() + 1);
        work(i, 0);
    }
    for (auto& helper : helpers) helper.join();
}

}  // namespace tarvik
