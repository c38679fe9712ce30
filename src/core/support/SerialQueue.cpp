#include "core/support/SerialQueue.hpp"

namespace tarvik {

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

void SerialQueue::enqueue(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (!m_worker.joinable()) m_worker = std::thread(&SerialQueue::work, this);
    }
    m_changed.notify_all();
}

void SerialQueue::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_jobs.empty() && !m_running; });
}

void SerialQueue::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return !m_jobs.empty() || m_stopping; });
        if (m_jobs.empty()) return;  // stopping, and everything queued has run
        auto job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = true;
        lock.unlock();
        job();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}

}  // namespace tarvik
