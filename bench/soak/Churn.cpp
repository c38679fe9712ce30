#include "bench/soak/Churn.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

extern char** environ;

namespace tarvik::bench::soak {
namespace {

using namespace std::chrono_literals;

// The body of a listener process: it listens on 127.0.0.1 and a port of the kernel's choosing,
// writes the port (0 when it could not listen) and waits to be killed.
[[noreturn]] void listenAndWait(int portFd, pid_t helper, const char* folder) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != helper) _exit(1);
    // In the user's area the app counts the listener a dev server, with the most to track.
    if (chdir(folder) != 0) _exit(1);
    int port = 0;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(fd, 16) == 0 && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    (void)!write(portFd, &port, sizeof port);
    close(portFd);
    sleep(listenerOwnLimitSeconds);
    _exit(0);
}

// The helper process: it starts and kills its own children only, and ends when the store's side
// closes the stop pipe, or past its deadline.
class Churn {
public:
    Churn(int stopFd, int eventFd, std::string folder)
        : m_stop(stopFd), m_events(eventFd), m_folder(std::move(folder)), m_random(std::random_device{}()) {}

    [[noreturn]] void run(Ns deadline) {
        signal(SIGPIPE, SIG_IGN);
        m_sleeps.reserve(256);
        m_listeners.reserve(mostListeners);
        Ns nextSpawn = now();
        Ns nextOpen = nextSpawn;
        Ns nextTally = nextSpawn;
        while (!m_broken) {
            Ns at = now();
            if (at >= deadline) break;
            Ns due = std::min({nextSpawn, nextTally, earliest(m_sleeps), earliest(m_listeners),
                               m_listeners.size() < mostListeners ? nextOpen : never});
            auto wait = static_cast<int>(std::clamp<Ns>((due - at + ns(1ms) - 1) / ns(1ms), 0, 100));
            pollfd stop{m_stop, POLLIN, 0};
            if (poll(&stop, 1, wait) != 0) break;  // closed, or written to
            at = now();
            for (int burst = 0; nextSpawn <= at && burst < 20; ++burst, nextSpawn += spawnEvery)
                spawnSleep(at);
            if (nextSpawn + ns(100ms) < at) nextSpawn = at;  // a stall forgives what it missed
            endDue(m_sleeps, at, false);
            endDue(m_listeners, at, true);
            if (m_listeners.size() < fewestListeners ||
                (m_listeners.size() < mostListeners && nextOpen <= at)) {
                openListener();
                nextOpen = at + ns(std::chrono::milliseconds(between(openGapMinMs, openGapMaxMs)));
            }
            if (nextTally <= at) {
                sendTally();
                nextTally = at + tallyEvery;
            }
        }
        endDue(m_sleeps, never, false);
        endDue(m_listeners, never, true);
        sendTally();
        _exit(0);
    }

private:
    struct Child {
        pid_t pid = 0;
        int port = 0;
        Ns until = 0;
    };

    static Ns earliest(const std::vector<Child>& children) {
        Ns first = never;
        for (const auto& child : children) first = std::min(first, child.until);
        return first;
    }

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    void send(const Event& event) {
        if (write(m_events, &event, sizeof event) != static_cast<ssize_t>(sizeof event)) m_broken = true;
    }

    void sendTally() {
        Event event;
        event.failures = m_failures;
        event.at = now();
        event.spawned = m_spawned;
        event.reaped = m_reaped;
        send(event);
    }

    void spawnSleep(Ns at) {
        char name[] = "sleep";
        char seconds[] = "30";
        char* argv[] = {name, seconds, nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, sleepPath, nullptr, nullptr, argv, environ) != 0) {
            ++m_failures;
            return;
        }
        ++m_spawned;
        m_sleeps.push_back({pid, 0, at + ns(std::chrono::milliseconds(between(sleepMinMs, sleepMaxMs)))});
    }

    void openListener() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            ++m_failures;
            return;
        }
        const pid_t helper = getpid();
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            close(m_stop);
            close(m_events);
            listenAndWait(fds[1], helper, m_folder.c_str());
        }
        close(fds[1]);
        int port = 0;
        pollfd answer{fds[0], POLLIN, 0};
        bool listening = pid > 0 && poll(&answer, 1, 2000) > 0 &&
                         read(fds[0], &port, sizeof port) == static_cast<ssize_t>(sizeof port) && port > 0;
        close(fds[0]);
        if (!listening) {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            ++m_failures;
            return;
        }
        const Ns at = now();
        m_listeners.push_back(
            {pid, port, at + ns(std::chrono::milliseconds(between(listenerMinMs, listenerMaxMs)))});
        send({Event::opened, pid, port, m_failures, at, m_spawned, m_reaped});
    }

    void endDue(std::vector<Child>& children, Ns at, bool listeners) {
        std::erase_if(children, [&](const Child& child) {
            if (child.until > at) return false;
            const Ns killed = now();
            kill(child.pid, SIGKILL);
            waitpid(child.pid, nullptr, 0);
            if (listeners)
                send({Event::closed, child.pid, child.port, m_failures, now(), m_spawned, m_reaped, killed});
            else
                ++m_reaped;
            return true;
        });
    }

    int m_stop;
    int m_events;
    std::string m_folder;
    std::mt19937 m_random;
    std::vector<Child> m_sleeps;
    std::vector<Child> m_listeners;
    std::int64_t m_spawned = 0;
    std::int64_t m_reaped = 0;
    std::int32_t m_failures = 0;
    bool m_broken = false;
};

}  // namespace

void churn(int stopFd, int eventFd, std::string folder, Ns deadline) {
    Churn(stopFd, eventFd, std::move(folder)).run(deadline);
}

}  // namespace tarvik::bench::soak
