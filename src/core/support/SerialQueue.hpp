#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarvik {

// Runs jobs one after another, in order, on one worker thread of its own (started with the first
// job). The destructor lets the queued jobs finish and joins the worker.
class SerialQueue {
public:
    SerialQueue() = default;
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void enqueue(std::function<void()> job);
    // Blocks until no job is queued or running.
    void waitIdle();

private:
    void work();

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_worker;
};

}  // namespace tarvik
