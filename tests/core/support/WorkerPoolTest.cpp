#include "core/support/WorkerPool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
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
    std::atomic<std::size_t> running{0}, mostRunning{0}, mostThreads{0};
    {
        WorkerPool pool(3);
        for (int i = 0; i < 60; ++i) {
            pool.post(
                [&] {
                    raise(mostRunning, ++running);
                    raise(mostThreads, test::threadCount());
                    std::this_thread::sleep_for(2ms);
                    --running;
                    ++ran;
                },
                std::chrono::milliseconds(i % 4));
            raise(mostThreads, test::threadCount());
        }
        pool.waitIdle();
        EXPECT_EQ(ran, 60);
        EXPECT_LE(test::threadCount(), before + 3);
    }
    EXPECT_LE(mostRunning, 3u);
    EXPECT_LE(mostThreads, before + 3);
    EXPECT_EQ(test::threadCount(), before);
}

TEST(WorkerPool, RunsEachJobOnceItIsDueEarliestFirst) {
    std::mutex mutex;
    std::string order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration lastRanAfter{};
    {
        WorkerPool pool(1);
        auto note = [&](char name) {
            return [&, name] {
                std::lock_guard lock(mutex);
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
    std::mutex mutex;
    std::condition_variable released;
    bool release = false, waitedOut = false;
    WorkerPool pool(2);
    pool.post([&] {
        std::unique_lock lock(mutex);
        waitedOut = !released.wait_for(lock, 30s, [&] { return release; });
    });
    pool.post(
        [&] {
            std::lock_guard lock(mutex);
            release = true;
            released.notify_all();
        },
        10ms);
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
