// A long run of the live store on this machine while a helper process churns around it: about 200
// short-lived processes a second, and loopback listeners, each in a process of its own, that open
// and close every few hundred milliseconds. It reports the spread of the refresh time, the store's
// memory from the end of the warm-up to the end with a trace every minute, the churn achieved, and
// every server row shown for a listener that had already closed when its refresh began.
//
//   Soak [--seconds S] [--interval-ms N]
//
// Exits with 1 when such a stale row was shown, and with 2 when no listener of the helper was
// ever shown, since the stale check then proves nothing.
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.hpp"
#include "bench/soak/Churn.hpp"
#include "core/support/Paths.hpp"
#include "support/ProcStat.hpp"
#include "support/TempDir.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/linux/MachineServices.hpp"

namespace {

using namespace tarvik;
using namespace tarvik::bench::soak;
using namespace std::chrono_literals;

constexpr Ns warmUp = ns(10s);
constexpr Ns traceEvery = ns(60s);

struct Listener {
    std::int32_t pid = 0;
    int port = 0;
    Ns opened = 0;
    Ns killed = never;
    Ns closed = never;
    bool seen = false;
    bool lived = false;  // through the whole of at least one refresh
};

struct StaleRow {
    std::int32_t pid = 0;
    int port = 0;
    double afterCloseMs = 0;
    double atSecond = 0;
};

// The helper's listeners as the store's side learns of them, held against the rows of each
// refresh once the helper's events have caught up with that refresh.
class Watch {
public:
    struct Row {
        std::int32_t pid = 0;
        int port = 0;
    };

    Watch(int eventFd, Ns start, std::size_t listenerCapacity) : m_fd(eventFd), m_start(start) {
        m_listeners.reserve(listenerCapacity);
        for (auto& refresh : m_pending) refresh.rows.reserve(1024);
    }

    // Takes what the helper wrote so far; false once it closed its end.
    bool read() {
        for (;;) {
            ssize_t got = ::read(m_fd, m_buffer.data() + m_held, m_buffer.size() - m_held);
            if (got == 0) return false;
            if (got < 0) return true;  // nothing more for now
            m_held += static_cast<std::size_t>(got);
            std::size_t used = 0;
            for (; m_held - used >= sizeof(Event); used += sizeof(Event)) {
                Event event;
                std::memcpy(&event, m_buffer.data() + used, sizeof event);
                take(event);
            }
            std::memmove(m_buffer.data(), m_buffer.data() + used, m_held - used);
            m_held -= used;
        }
    }

    void record(Ns began, Ns ended, const std::vector<Server>& servers) {
        if (m_count == m_pending.size()) judgeOldest();
        auto& refresh = m_pending[(m_first + m_count++) % m_pending.size()];
        refresh.began = began;
        refresh.ended = ended;
        refresh.rows.clear();
        for (const auto& server : servers) refresh.rows.push_back({server.pid, server.port});
    }

    // Judges the refreshes that the events heard so far cover; with `all`, every one left.
    void judge(bool all) {
        while (m_count > 0 && (all || m_pending[m_first].ended <= m_heard)) judgeOldest();
    }

    [[nodiscard]] const Event& tally() const { return m_tally; }
    [[nodiscard]] Ns firstHeard() const { return m_firstHeard; }
    [[nodiscard]] std::size_t opened() const { return m_listeners.size(); }
    [[nodiscard]] std::size_t closed() const { return m_closed; }
    [[nodiscard]] std::size_t staleCount() const { return m_staleCount; }
    [[nodiscard]] const std::vector<StaleRow>& stale() const { return m_stale; }
    [[nodiscard]] std::size_t expectedRows() const { return m_expected; }
    [[nodiscard]] std::size_t missingRows() const { return m_missing; }
    [[nodiscard]] std::size_t listenerRows() const { return m_listenerRows; }
    [[nodiscard]] std::size_t seen() const {
        return count([](const Listener& listener) { return listener.seen; });
    }
    [[nodiscard]] std::size_t lived() const {
        return count([](const Listener& listener) { return listener.lived; });
    }
    [[nodiscard]] std::size_t livedAndSeen() const {
        return count([](const Listener& listener) { return listener.lived && listener.seen; });
    }

private:
    struct Refresh {
        Ns began = 0;
        Ns ended = 0;
        std::vector<Row> rows;
    };

    template <typename Predicate>
    [[nodiscard]] std::size_t count(Predicate predicate) const {
        return static_cast<std::size_t>(std::count_if(m_listeners.begin(), m_listeners.end(), predicate));
    }

    void take(const Event& event) {
        if (m_firstHeard == 0) m_firstHeard = event.at;
        m_heard = event.at;
        m_tally = event;
        if (event.kind == Event::opened) {
            m_listeners.push_back({event.pid, event.port, event.at});
            m_ports.set(static_cast<std::size_t>(event.port));
        } else if (event.kind == Event::closed) {
            if (auto* listener = find(event.pid, event.port)) {
                listener->killed = event.killed;
                listener->closed = event.at;
                ++m_closed;
            }
        }
    }

    // The latest listener of this pid and port.
    Listener* find(std::int32_t pid, int port) {
        if (port <= 0 || port > 65535 || !m_ports.test(static_cast<std::size_t>(port))) return nullptr;
        for (auto it = m_listeners.rbegin(); it != m_listeners.rend(); ++it)
            if (it->pid == pid && it->port == port) return &*it;
        return nullptr;
    }

    void judgeOldest() {
        const Refresh& refresh = m_pending[m_first];
        for (const auto& row : refresh.rows) {
            Listener* listener = find(row.pid, row.port);
            if (!listener || listener->opened > refresh.ended) continue;
            if (listener->closed < refresh.began) {
                if (m_stale.size() < 5)
                    m_stale.push_back({row.pid, row.port, double(refresh.began - listener->closed) / 1e6,
                                       double(refresh.began - m_start) / 1e9});
                ++m_staleCount;
                continue;
            }
            listener->seen = true;
            ++m_listenerRows;
        }
        // A listener listening before the refresh began and not yet killed when it ended must be in
        // it; they last a few seconds at most.
        for (auto it = m_listeners.rbegin(); it != m_listeners.rend() && it->opened > refresh.began - ns(60s);
             ++it) {
            if (it->opened >= refresh.began || it->killed <= refresh.ended) continue;
            it->lived = true;
            ++m_expected;
            if (std::none_of(refresh.rows.begin(), refresh.rows.end(),
                             [&](const Row& row) { return row.pid == it->pid && row.port == it->port; }))
                ++m_missing;
        }
        m_first = (m_first + 1) % m_pending.size();
        --m_count;
    }

    int m_fd;
    Ns m_start;
    std::array<char, sizeof(Event) * 256> m_buffer{};
    std::size_t m_held = 0;
    Ns m_heard = 0;
    Ns m_firstHeard = 0;
    Event m_tally;
    std::vector<Listener> m_listeners;
    std::bitset<65536> m_ports;  // every port a listener of the helper had
    std::size_t m_closed = 0;
    std::array<Refresh, 64> m_pending;
    std::size_t m_first = 0;
    std::size_t m_count = 0;
    std::size_t m_staleCount = 0;
    std::vector<StaleRow> m_stale;
    std::size_t m_expected = 0;
    std::size_t m_missing = 0;
    std::size_t m_listenerRows = 0;
};

// The heap in use. Blocks above the mmap threshold, such as a history's long vector, are mapped
// apart and counted in hblkhd, not in uordblks.
double heapMB() {
    const auto info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024 * 1024);
}

// What the store's histories hold: they keep every refresh's sample for a window of up to an hour,
// so at a short interval they grow through the whole run by design.
double historyMB(const ui::ServerStore& store) {
    std::size_t bytes = 0;
    for (const auto* values : {&store.vitalsHistory(), &store.appHistory()})
        for (const auto& [key, points] : values->series) bytes += points.capacity() * sizeof(points[0]);
    for (const auto& [key, samples] : store.history().series)
        bytes += samples.capacity() * sizeof(samples[0]);
    return double(bytes) / (1024 * 1024);
}

struct Memory {
    double second = 0;
    double residentMB = 0;
    double heapMB = 0;
    double historyMB = 0;
    std::size_t refreshes = 0;
    std::size_t rows = 0;
    std::size_t devRows = 0;
};

// Refreshes the store one after another, each starting an interval after the previous one began,
// or at once when that one took longer.
class Driver {
public:
    Driver(ui::ServerStore& store, Watch& watch, Ns start, Ns end, Ns interval)
        : m_store(store), m_watch(watch), m_start(start), m_end(end), m_interval(interval) {
        const auto expected = static_cast<std::size_t>((end - start) / interval) + 16;
        m_wallMs.reserve(expected);
        m_cpuMs.reserve(expected);
        m_trace.reserve(static_cast<std::size_t>((end - start) / traceEvery) + 4);
    }

    void tick() {
        const Ns began = now();
        const double cpu = bench::cpuSeconds();
        m_store.refresh([this, began, cpu] {
            const Ns ended = now();
            const double cpuMs = (bench::cpuSeconds() - cpu) * 1000;
            ++m_refreshes;
            if (began >= m_start + warmUp) {
                m_wallMs.push_back(double(ended - began) / 1e6);
                m_cpuMs.push_back(cpuMs);
            }
            m_watch.record(began, ended, m_store.servers());
            m_watch.read();
            m_watch.judge(false);
            if (ended >= m_nextTrace) {
                note();
                m_nextTrace = m_trace.size() == 1 ? m_start + traceEvery : m_nextTrace + traceEvery;
            }
            if (ended >= m_end) {
                if (m_trace.back().refreshes != m_refreshes) note();
                QCoreApplication::quit();
                return;
            }
            const auto wait = std::max<Ns>(0, began + m_interval - now()) / ns(1ms);
            QTimer::singleShot(std::chrono::milliseconds(wait), Qt::PreciseTimer, &m_store,
                               [this] { tick(); });
        });
    }

    [[nodiscard]] const std::vector<double>& wallMs() const { return m_wallMs; }
    [[nodiscard]] const std::vector<double>& cpuMs() const { return m_cpuMs; }
    [[nodiscard]] const std::vector<Memory>& trace() const { return m_trace; }
    [[nodiscard]] std::size_t refreshes() const { return m_refreshes; }

private:
    void note() {
        m_trace.push_back({double(now() - m_start) / 1e9, bench::residentMB(), heapMB(), historyMB(m_store),
                           m_refreshes, m_store.servers().size(), m_store.devServers().size()});
        const Memory& memory = m_trace.back();
        std::printf(
            "%6.0f s  %6zu refreshes  %4zu rows (%zu dev)  resident %6.1f MB  heap %6.2f MB (histories "
            "%.2f MB)\n",
            memory.second, memory.refreshes, memory.rows, memory.devRows, memory.residentMB, memory.heapMB,
            memory.historyMB);
        std::fflush(stdout);
    }

    ui::ServerStore& m_store;
    Watch& m_watch;
    Ns m_start;
    Ns m_end;
    Ns m_interval;
    Ns m_nextTrace = m_start + warmUp;
    std::size_t m_refreshes = 0;
    std::vector<double> m_wallMs;
    std::vector<double> m_cpuMs;
    std::vector<Memory> m_trace;
};

void printSpread(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("%s: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f ms  (%zu refreshes)\n", what,
                bench::percentile(values, 0.50), bench::percentile(values, 0.90),
                bench::percentile(values, 0.99), values.empty() ? 0.0 : values.back(), values.size());
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 600;
    int intervalMs = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::stoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--interval-ms") == 0) intervalMs = std::stoi(argv[i + 1]);
    }
    if (seconds * ns(1s) < 2 * warmUp || intervalMs < 1) {
        std::fprintf(stderr, "Soak: --seconds must be at least %lld and --interval-ms at least 1\n",
                     static_cast<long long>(2 * warmUp / ns(1s)));
        return 64;
    }
    if (access(sleepPath, X_OK) != 0) {
        std::fprintf(stderr, "Soak: needs %s\n", sleepPath);
        return 1;
    }
    test::TempDir folder(Paths::homeDirectory(), "tarvik-soak-");

    // The helper is forked before any thread exists, and its memory is apart from the store's.
    int stop[2];
    int events[2];
    if (pipe2(stop, O_CLOEXEC) != 0 || pipe2(events, O_CLOEXEC) != 0) {
        std::perror("Soak: pipe");
        return 1;
    }
    const Ns start = now();
    const Ns end = start + seconds * ns(1s);
    const pid_t helper = fork();
    if (helper < 0) {
        std::perror("Soak: fork");
        return 1;
    }
    if (helper == 0) {
        close(stop[1]);
        close(events[0]);
        churn(stop[0], events[1], folder.path().string(), end + ns(30s));
    }
    close(stop[0]);
    close(events[1]);
    fcntl(events[0], F_SETFL, O_NONBLOCK);

    QCoreApplication app(argc, argv);
    // The real machine, but quiet toward the desktop and with settings of its own: the churn would
    // flood the notifications, and the run must neither read nor change the user's choices.
    auto services = ui::liveServices();
    auto inert = ui::Preview::inertServices();
    services.notifier = std::move(inert.notifier);
    services.settings = std::move(inert.settings);
    ui::ServerStore store(std::move(services));
    Watch watch(events[0], start,
                static_cast<std::size_t>(seconds + 60) * (1000 / openGapMinMs + fewestListeners));
    Driver driver(store, watch, start, end, intervalMs * ns(1ms));

    std::printf("Soak: %d s, a refresh every %d ms; memory from the end of a %lld s warm-up\n", seconds,
                intervalMs, static_cast<long long>(warmUp / ns(1s)));
    std::fflush(stdout);
    QTimer::singleShot(0, &store, [&] { driver.tick(); });
    const double startCPU = bench::cpuSeconds();
    app.exec();
    const double soakCPU = bench::cpuSeconds() - startCPU;
    const double ran = double(now() - start) / 1e9;

    // The helper ends its children and itself once its stop pipe closes; its last events follow.
    close(stop[1]);
    pollfd more{events[0], POLLIN, 0};
    for (const Ns until = now() + ns(40s); now() < until;) {
        if (poll(&more, 1, 1000) > 0 && !watch.read()) break;
    }
    if (!test::waitUntil(5s, [&] { return waitpid(helper, nullptr, WNOHANG) == helper; })) {
        std::fprintf(stderr, "Soak: the helper did not end; killing it\n");
        kill(helper, SIGKILL);
        waitpid(helper, nullptr, 0);
    }
    close(events[0]);
    watch.judge(true);

    const Memory& first = driver.trace().front();
    const Memory& last = driver.trace().back();
    const Event& tally = watch.tally();
    const double churned = std::max(1e-9, double(tally.at - watch.firstHeard()) / 1e9);
    std::printf("\n== Soak summary: %.0f s, %zu refreshes, a refresh every %d ms ==\n", ran,
                driver.refreshes(), intervalMs);
    printSpread("refresh wall", driver.wallMs());
    printSpread("refresh CPU ", driver.cpuMs());
    std::printf("soak process CPU (store and watch, not the helper): %.1f %% of one core\n",
                soakCPU / ran * 100);
    std::printf("memory      rows  dev  resident MB  heap MB  histories MB  heap less histories MB\n");
    for (const auto& point : driver.trace())
        std::printf("  %6.0f s  %4zu %4zu  %11.1f  %7.2f  %12.2f  %22.2f\n", point.second, point.rows,
                    point.devRows, point.residentMB, point.heapMB, point.historyMB,
                    point.heapMB - point.historyMB);
    std::printf(
        "  growth from %.0f s to %.0f s: resident %+.1f MB, heap %+.2f MB, of it histories %+.2f MB\n",
        first.second, last.second, last.residentMB - first.residentMB, last.heapMB - first.heapMB,
        last.historyMB - first.historyMB);
    std::printf("churn over %.0f s: processes spawned %.1f/s, killed and reaped %.1f/s (%lld, %lld)\n",
                churned, double(tally.spawned) / churned, double(tally.reaped) / churned,
                static_cast<long long>(tally.spawned), static_cast<long long>(tally.reaped));
    std::printf("  listeners opened %.1f/s, closed %.1f/s (%zu, %zu); failed starts %d\n",
                double(watch.opened()) / churned, double(watch.closed()) / churned, watch.opened(),
                watch.closed(), tally.failures);
    std::printf("listeners seen by the store: %zu of %zu; of the %zu open through a whole refresh, %zu\n",
                watch.seen(), watch.opened(), watch.lived(), watch.livedAndSeen());
    std::printf("  listener rows shown %zu; rows of listeners open through their refresh %zu, missing %zu\n",
                watch.listenerRows(), watch.expectedRows(), watch.missingRows());
    std::printf("stale rows (listener closed before the refresh began): %zu\n", watch.staleCount());
    for (const auto& row : watch.stale())
        std::printf("  pid %d port %d: shown %.1f ms after its close, refresh at %.1f s\n", row.pid, row.port,
                    row.afterCloseMs, row.atSecond);
    if (watch.staleCount() > 0) return 1;
    if (watch.seen() == 0) {
        std::printf("no listener of the helper was ever shown: the stale check proves nothing\n");
        return 2;
    }
    return 0;
}
