#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tarvik {

// Runs jobs on at most `limit` threads of its own, each job once its delay has passed, the one due
// first first. A thread starts only when a job has none free to wait for it, and ends after
// `linger` with nothing to do; an ended thread is joined by the next `post` or `waitIdle`, so that
// however many jobs come, no more than `limit` threads exist. The destructor runs every queued job,
// delays included, and joins.
class WorkerPool {
public:
    explicit WorkerPool(std::size_t limit, std::chrono::milliseconds linger = std::chrono::seconds(5));
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void post(std::function<void()> job, std::chrono::milliseconds delay = {});
    // Blocks until no job is queued or running.
    void waitIdle();

private:
    using Clock = std::chrono::steady_clock;

    void work();
    // With the lock held: a thread for the queued jobs when none is free to take them.
    void startIfNeeded();
    // With the lock held.
    void joinEnded();

    const std::size_t m_limit;
    const std::chrono::milliseconds m_linger;
    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    std::map<std::pair<Clock::time_point, std::uint64_t>, std::function<void()>> m_jobs;
    std::uint64_t m_posted = 0;  // keeps jobs due at the same time in order
    std::size_t m_running = 0;   // jobs running now
    std::size_t m_free = 0;      // threads waiting for a job
    std::size_t m_live = 0;      // threads not yet ended
    bool m_stopping = false;
    std::vector<std::thread> m_threads;  // started and not yet joined
    std::vector<std::thread::id> m_ended;
};

}  // namespace tarvik
