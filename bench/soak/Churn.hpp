#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>

// The Soak's helper process: short-lived processes and loopback listeners of its own, and what it
// tells the store's side about them through a pipe.
namespace tarvik::bench::soak {

// Nanoseconds of the monotonic clock, which the helper and the store's side share.
using Ns = std::int64_t;
constexpr Ns never = std::numeric_limits<Ns>::max();

inline Ns now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr Ns ns(std::chrono::nanoseconds duration) {
    return duration.count();
}

constexpr const char* sleepPath = "/bin/sleep";
constexpr Ns spawnEvery = ns(std::chrono::milliseconds(5));
constexpr int sleepMinMs = 50;
constexpr int sleepMaxMs = 150;
constexpr int listenerMinMs = 300;
constexpr int listenerMaxMs = 3000;
constexpr std::size_t fewestListeners = 5;
constexpr std::size_t mostListeners = 20;
constexpr int openGapMinMs = 50;
constexpr int openGapMaxMs = 250;
// A listener whose helper stalls or dies still goes by itself.
constexpr unsigned listenerOwnLimitSeconds = 10;
constexpr Ns tallyEvery = ns(std::chrono::milliseconds(100));

// What the helper tells the store's side, in the order it happened.
struct Event {
    enum Kind : std::int32_t { opened, closed, tally };
    std::int32_t kind = tally;
    std::int32_t pid = 0;
    std::int32_t port = 0;
    std::int32_t failures = 0;  // processes and listeners that could not be started so far
    Ns at = 0;                  // opened: once listening; closed: once killed and reaped
    std::int64_t spawned = 0;   // short-lived processes started so far
    std::int64_t reaped = 0;    // and killed and reaped
    Ns killed = 0;              // closed: when the kill was sent, the socket going from then on
};

// Runs the helper in this (forked) process until the store's side closes `stopFd` or `deadline`
// passes, writing Events to `eventFd`; its listeners work in `folder`.
[[noreturn]] void churn(int stopFd, int eventFd, std::string folder, Ns deadline);

}  // namespace tarvik::bench::soak
