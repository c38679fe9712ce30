#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/servers/Server.hpp"

namespace tarvik {

// How much of the machine's memory development work takes. A process's sockets share one
// memory, as do a container's ports, so each is counted once.
struct DevFootprint {
    std::uint64_t serversBytes = 0;     // dev servers outside containers, once per process
    std::uint64_t containersBytes = 0;  // dev servers in containers, once per container
    std::uint64_t otherBytes = 0;       // used memory the two above leave unexplained; never below 0
    std::uint64_t usedBytes = 0;        // the machine's used memory
    std::uint64_t totalBytes = 0;       // the machine's physical memory

    bool operator==(const DevFootprint&) const = default;

    [[nodiscard]] std::uint64_t devBytes() const { return serversBytes + containersBytes; }

    // The footprint of the dev servers among `servers` against the machine's memory.
    [[nodiscard]] static DevFootprint from(const std::vector<Server>& servers, std::uint64_t usedMemory,
                                           std::uint64_t totalMemory);

    // The memory of `servers` with each container (by name) or else process (by pid) counted at
    // its first server; an absent figure counts as 0. Also what stopping them would free.
    [[nodiscard]] static std::uint64_t uniqueBytes(const std::vector<Server>& servers);
};

// One project's (or the services') share, as the panel groups servers.
struct ProjectUsage {
    std::string title;        // the group's title
    std::uint64_t bytes = 0;  // once per process or container
    int serverCount = 0;      // rows after port merging

    bool operator==(const ProjectUsage&) const = default;

    [[nodiscard]] const std::string& id() const { return title; }

    // Every group but the system's, largest first; equal sizes keep group order.
    [[nodiscard]] static std::vector<ProjectUsage> from(const std::vector<Server>& servers);
};

}  // namespace tarvik
