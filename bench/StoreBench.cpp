// The store's own cost on this machine: the CPU time of one refresh (a process sample, a port scan
// and a machine sample off the main thread, then everything the store derives from them), and its
// CPU share while it polls at the idle cadence with both views closed. Start
// ../shared/bench/workload.sh first for the reference population.
//
//   StoreBench [--refreshes N] [--seconds S]
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/BenchSupport.hpp"
#include "ui/ServerStore.hpp"
#include "ui/linux/MachineServices.hpp"

namespace {

using namespace tarvik;

long residentKB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void refreshOnce(ui::ServerStore& store) {
    QEventLoop wait;
    store.refresh([&] { wait.quit(); });
    wait.exec();
}

}  // namespace

int main(int argc, char** argv) {
    int refreshes = 50;
    int seconds = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--refreshes") == 0) refreshes = std::stoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::stoi(argv[i + 1]);
    }
    QCoreApplication app(argc, argv);
    ui::ServerStore store(ui::liveServices());

    // The first refreshes fill the caches a running app keeps warm.
    for (int i = 0; i < 3; ++i) refreshOnce(store);
    const double startCPU = bench::cpuSeconds();
    const auto startWall = std::chrono::steady_clock::now();
    for (int i = 0; i < refreshes; ++i) refreshOnce(store);
    const double perRefresh = (bench::cpuSeconds() - startCPU) / refreshes * 1000;
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - startWall).count() /
        refreshes;
    std::printf("servers: %zu, apps: %zu\n", store.servers().size(), store.vitals().apps.size());
    std::printf("one refresh: %.2f ms CPU, %.2f ms wall (goal: under 6 ms CPU)\n", perRefresh, wall);

    // Polling with both views closed: one refresh every 8 s, and nothing in between.
    store.startPolling();
    const double pollCPU = bench::cpuSeconds();
    QEventLoop wait;
    QTimer::singleShot(std::chrono::seconds(seconds), &wait, &QEventLoop::quit);
    wait.exec();
    const double share = (bench::cpuSeconds() - pollCPU) / seconds * 100;
    std::printf("polling for %d s at the idle cadence: %.3f %% of one core (goal: under 0.3 %%)\n", seconds,
                share);
    std::printf("peak resident memory: %.1f MB\n", double(residentKB()) / 1024);
    return 0;
}
