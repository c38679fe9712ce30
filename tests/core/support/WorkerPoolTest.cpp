#include "core/support/WorkerPool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>

#include "support/ProcStat.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

void raise(std::atomic<std::size_t>& most, std::size_t value) {
    for (auto seen = most.load(); value > seen && !most.compare_exchange_weak(seen, value);) {
    }
}

TEST(WorkerPool, ManyJobsShareNoMoreThreadsThanTheLimit) {
    const auto before = test::threadCount();
    std::atomic<int> ran{0};
    std::atomic<std::size_t> mostThreads{0};
    {
        WorkerPool pool(3);
        for (int i = 0; i < 60; ++i) {
            pool.post(
                [&] {
                    raise(mostThreads, test::threadCount());
                    std::this_thread::sleep_for(2ms);
                    ++ran;
                },
                std::chrono::milliseconds(i % 4));
            raise(mostThreads, test::threadCount());
        }
        pool.waitIdle();
        EXPECT_EQ(ran, 60);
    }
    EXPECT_LE(mostThreads, before + 3);
    EXPECT_EQ(test::threadCount(), before);
}

TEST(WorkerPool, RunsEachJobOnceItIsDueEarliestFirst) {
    std::string order;  // one thread writes it, and the pool's end joins it
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration lastRanAfter{};
    {
        WorkerPool pool(1);
        auto note = [&](char name) {
            return [&, name] {
                order += name;
                lastRanAfter = std::chrono::steady_clock::now() - start;
            };
        };
        pool.post(note('c'), 60ms);
        pool.post(note('a'));
        pool.post(note('b'), 30ms);
        pool.post(note('A'));
    }  // the destructor waits out the delays
    EXPECT_EQ(order, "aAbc");
    EXPECT_GE(lastRanAfter, 60ms);
}

// A job due later gets a thread of its own while a long one runs, so that it is not held up.
TEST(WorkerPool, ADueJobDoesNotWaitBehindALongOne) {
    std::promise<void> release;
    std::atomic<bool> waitedOut{false};
    WorkerPool pool(2);
    pool.post([&, released = release.get_future().share()] {
        waitedOut = released.wait_for(30s) != std::future_status::ready;
    });
    pool.post([&] { release.set_value(); }, 10ms);
    pool.waitIdle();
    EXPECT_FALSE(waitedOut);
}

TEST(WorkerPool, IdleThreadsEnd) {
    const auto before = test::threadCount();
    WorkerPool pool(2, 1ms);
    for (int i = 0; i < 4; ++i) pool.post([] { std::this_thread::sleep_for(1ms); });
    pool.waitIdle();
    EXPECT_TRUE(test::waitUntil(10s, [&] { return test::threadCount() == before; }));
}

}  // namespace
}  // namespace tarvik
