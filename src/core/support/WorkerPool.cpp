#include "core/support/WorkerPool.hpp"

#include <algorithm>

namespace tarvik {

WorkerPool::WorkerPool(std::size_t limit, std::chrono::milliseconds linger)
    : m_limit(std::max<std::size_t>(limit, 1)), m_linger(linger) {}

WorkerPool::~WorkerPool() {
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_live == 0; });
    auto threads = std::move(m_threads);
    lock.unlock();
    for (auto& thread : threads) thread.join();
}

void WorkerPool::post(std::function<void()> job, std::chrono::milliseconds delay) {
    {
        std::lock_guard lock(m_mutex);
        joinEnded();
        m_jobs.emplace(std::pair{Clock::now() + delay, m_posted++}, std::move(job));
        startIfNeeded();
    }
    m_changed.notify_all();
}

void WorkerPool::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_jobs.empty() && m_running == 0; });
    joinEnded();
}

void WorkerPool::startIfNeeded() {
    if (m_jobs.empty() || m_free > 0 || m_live >= m_limit) return;
    ++m_live;
    m_threads.emplace_back(&WorkerPool::work, this);
}

void WorkerPool::joinEnded() {
    for (auto id : m_ended) {
        auto ended = std::find_if(m_threads.begin(), m_threads.end(),
                                  [&](const std::thread& thread) { return thread.get_id() == id; });
        // It gave up the lock for good before the caller took it; only its exit is left.
        ended->join();
        m_threads.erase(ended);
    }
    m_ended.clear();
}

void WorkerPool::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_jobs.empty() && m_jobs.begin()->first.first <= Clock::now()) {
            auto job = std::move(m_jobs.begin()->second);
            m_jobs.erase(m_jobs.begin());
            ++m_running;
            // A later job must not wait behind this one while the limit allows another thread.
            startIfNeeded();
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            --m_running;
            m_changed.notify_all();
            continue;
        }
        if (m_jobs.empty() && m_stopping) break;
        ++m_free;
        bool woken = true;
        if (m_jobs.empty()) {
            woken = m_changed.wait_for(lock, m_linger, [&] { return !m_jobs.empty() || m_stopping; });
        } else {
            const auto due = m_jobs.begin()->first.first;
            m_changed.wait_until(lock, due);
        }
        --m_free;
        if (!woken) break;
    }
    --m_live;
    m_ended.push_back(std::this_thread::get_id());
    m_changed.notify_all();
}

}  // namespace tarvik
