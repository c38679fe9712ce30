#include "core/support/Parallel.hpp"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <set>

namespace tarvik {
namespace {

// Every index once, on workers numbered below parallelWorkers(), in either way of sharing; and a
// call that spares cores, started while another takes them, keeps to its own thread.
TEST(ParallelFor, DoesEveryIndexOnceAndSparesTheCoresAnotherCallTakes) {
    constexpr std::size_t count = 2000;
    for (Cores cores : {Cores::take, Cores::spare}) {
        std::vector<std::atomic<int>> visits(count);
        std::atomic<std::size_t> highestWorker{0};
        parallelFor(
            count, 16,
            [&](std::size_t i, std::size_t worker) {
                ++visits[i];
                for (std::size_t seen = highestWorker.load(); worker > seen;)
                    highestWorker.compare_exchange_weak(seen, worker);
            },
            cores);
        EXPECT_TRUE(std::all_of(visits.begin(), visits.end(), [](const auto& v) { return v.load() == 1; }));
        EXPECT_LT(highestWorker.load(), parallelWorkers());
    }

    std::promise<void> spared;
    auto sparedDone = spared.get_future().share();
    std::promise<void> taking;
    auto taker = std::async(std::launch::async, [&] {
        parallelFor(2, 1, [&](std::size_t i, std::size_t) {
            if (i == 0) {
                taking.set_value();
                sparedDone.wait();  // holds its cores until the sparing call is over
            }
        });
    });
    taking.get_future().wait();
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::set<std::size_t> workers;
    parallelFor(
        count, 16,
        [&](std::size_t, std::size_t worker) {
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            workers.insert(worker);
        },
        Cores::spare);
    spared.set_value();
    taker.get();
    EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(workers, std::set<std::size_t>{0});
}

}  // namespace
}  // namespace tarvik
