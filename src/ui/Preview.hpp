#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ui/Services.hpp"

namespace tarvik::ui {
class ServerStore;
}

// A fixed, plausible machine for renders and view tests: a few projects' dev servers, a database,
// a container, two system listeners, recent stops, the disk's caches and an hour of readings. The
// store learns it as it learns a real one, through its services, so everything it derives (idle
// servers, insights, heat, histories) comes from the readings.
namespace tarvik::ui::Preview {

// What each of the machine's services answers.
struct Machine {
    std::vector<SamplingResult> samples;  // oldest first, `step` apart; the last is as of `now`
    std::chrono::seconds step{30};
    std::map<int, HTTPProbe::Outcome> probes;  // by port
    std::vector<StorageItem> largeFiles;
    std::vector<StorageItem> clearable;
    std::vector<ProcessTraffic> traffic;
};

// The servers of the last sample.
[[nodiscard]] std::vector<Server> servers();
[[nodiscard]] Machine machine(Date now);
// Refreshes `store` once per sample, `tick` moving time on by a step in between, then probes the
// servers, measures the disk and checks the network. Needs services that answer at once.
void load(ServerStore& store, std::size_t samples, const std::function<void()>& tick);
// Services that reach nothing: a real clock and timers, no machine, no desktop.
[[nodiscard]] Services inertServices();
// A store loaded with the machine as of now, its time stopped there.
[[nodiscard]] std::unique_ptr<ServerStore> store();

}  // namespace tarvik::ui::Preview
