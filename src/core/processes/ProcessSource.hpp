#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/processes/AppOwner.hpp"

namespace tarvik {

// One process as the platform reports it, before any rate is computed.
struct ProcessReading {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;                       // 0 when unknown
    std::string path;                            // executable path; "[name]" for kernel threads
    double cpuSeconds = 0;                       // cumulative user plus system time
    std::uint64_t memoryBytes = 0;               // private resident memory
    std::optional<std::string> responsiblePath;  // the process the platform holds responsible
    std::optional<DesktopApp> app;               // the desktop application that started it
    // Whether the service manager runs it as one of the system's services (true) or inside the
    // user's session (false); nullopt where it says nothing (no systemd, a container).
    std::optional<bool> systemService;
    std::optional<std::uint32_t> uid;  // the real user id, when read
    bool kernelThread = false;
    std::uint64_t startTime = 0;  // platform start stamp: a new value means a new process
    // The command line, one argument each, for an interpreter only (what it runs tells its
    // processes apart); empty for every other process and where it could not be read.
    std::vector<std::string> arguments;
    bool operator==(const ProcessReading&) const = default;
};

}  // namespace tarvik
