#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/EnrichmentParser.hpp"
#include "core/LibProc.hpp"
#include "core/ProcessSampler.hpp"
#include "core/Server.hpp"

namespace tarvik::PortScanner {

// What the scan asks of the platform; `live()` is the kernel, tests script a population.
struct Sources {
    // Listening sockets per pid for the snapshot's processes, in descriptor order.
    std::function<std::unordered_map<std::int32_t, std::vector<LibProc::Socket>>(
        const std::vector<LibProc::ProcessRef>&)>
        listeningSockets;
    // Resident size, lifetime CPU, elapsed time and command line per pid.
    std::function<std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo>(const std::vector<std::int32_t>&)>
        processInfo;
    std::function<std::optional<std::string>(std::int32_t)> workingDirectory;
    std::string home;  // the user's home folder

    [[nodiscard]] static Sources live();
};

// The listening servers of the snapshot: one per (pid, port), classified, with tree totals for
// dev servers, sorted dev before system, then by port, then by pid.
[[nodiscard]] std::vector<Server> scan(const ProcessSnapshot& snapshot);
[[nodiscard]] std::vector<Server> scan(const ProcessSnapshot& snapshot, const Sources& sources);

// A fresh sampler's single sample, scanned.
[[nodiscard]] std::vector<Server> scan();

// Stable sort by category (dev first), port, pid.
void sort(std::vector<Server>& servers);

}  // namespace tarvik::PortScanner
