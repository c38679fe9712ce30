#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

namespace tarvik::test {

// A listener on 127.0.0.1 and an ephemeral port that treats every connection one way until the
// test ends it. Its accept loop wakes every 50 ms to notice the end, so it never outlives the test.
class Listener {
public:
    enum class Mode {
        hold,    // send `reply` first (nothing, or a database's banner), then keep the connection open
        hangUp,  // close at once
        // hold every connection until `together` are open at once, then read each request, send
        // `reply` and close
        answer,
    };

    explicit Listener(Mode mode = Mode::hold, std::string reply = {}, std::size_t together = 1);
    ~Listener();

    [[nodiscard]] int port() const { return m_port; }

private:
    void serve();

    Mode m_mode;
    std::string m_reply;
    std::size_t m_together;
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

}  // namespace tarvik::test
