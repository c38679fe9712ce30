#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

#include "ui/Fakes.hpp"
#include "ui/linux/MachineServices.hpp"

namespace tarvik::test {

// The fakes' desktop with this machine's time, threads, sampling and probes: a store on it lists
// what really runs and reaches no one.
inline ui::Services liveMachine(FakeWorld& world) {
    world.notifier->isAvailable = false;
    auto services = world.services();
    services.clock = std::make_unique<ui::SystemClock>();
    services.scheduler = std::make_unique<ui::TimerScheduler>();
    services.background = std::make_unique<ui::PoolBackground>();
    services.sampling = std::make_unique<ui::LiveSampling>();
    services.prober = std::make_unique<ui::LiveProber>();
    return services;
}

// Handles this thread's events until `done` holds or `limit` passes; whether it held.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QEventLoop wait;
        QTimer::singleShot(20, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return true;
}

}  // namespace tarvik::test
