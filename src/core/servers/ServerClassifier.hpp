#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/servers/Server.hpp"
#include "core/servers/ServerKind.hpp"

namespace tarvik::ServerClassifier {

// What a process is, from its name, command line and working directory.
struct Classification {
    ServerKind kind;
    ServerCategory category = ServerCategory::system;
    bool operator==(const Classification&) const = default;
};

// The first of the 47 rules whose needle occurs in the lower-cased text; nullopt when none does.
[[nodiscard]] std::optional<ServerKind> devKind(std::string_view text);

// Name rule, then the dev rules, then operating-system paths and bundles, then the user area
// (`home` is the user's home folder), else system.
[[nodiscard]] Classification classify(std::string_view processName, const std::optional<std::string>& args,
                                      const std::optional<std::string>& cwd, std::string_view home);

// A `Server` from a listening port and its facts, classified; container fields and processCount
// start empty.
[[nodiscard]] Server classify(const ListeningPort& port, const std::optional<std::string>& args,
                              const std::optional<std::string>& cwd, std::optional<std::uint64_t> memoryBytes,
                              std::optional<double> cpuPercent, std::optional<int> uptimeSeconds,
                              const std::optional<std::string>& branch,
                              const std::optional<std::string>& project, std::string_view home);

// Every symbol a classification can name, so the views can be checked to draw each one.
[[nodiscard]] std::vector<std::string> symbols();

// True for the operating system's own listeners, which are never offered for stopping.
[[nodiscard]] bool isProtectedSystemProcess(std::string_view name);

}  // namespace tarvik::ServerClassifier
