#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/servers/ServerKind.hpp"

namespace tarvik {

// One listening socket as found.
struct ListeningPort {
    std::int32_t pid = 0;
    std::string command;  // last path component of the executable path
    std::string user;     // login name; the scan leaves it empty
    int port = 0;         // host byte order
    std::string address;  // "*" for a wildcard bind, else numeric IPv4/IPv6 text without brackets
    // After deduplication: every distinct address of the (pid, port), in order of first sighting,
    // and `address` the most exposed of them (BindAddress::mostExposed). Empty means `address` alone.
    std::vector<std::string> addresses;

    bool operator==(const ListeningPort&) const = default;

    // One entry per (pid, port) in order of first sighting, holding every address it listens on, so
    // that a wildcard beside a loopback bind is never hidden.
    [[nodiscard]] static std::vector<ListeningPort> deduplicated(const std::vector<ListeningPort>& ports);
};

enum class Energy { low, medium, high };

// "Low", "Medium", "High".
[[nodiscard]] std::string_view rawValue(Energy energy);
// low below 5 %, medium below 30 %, high from 30 %.
[[nodiscard]] Energy energyFor(double cpuPercent);

// One listening server: a (process, port) pair with everything known about it.
struct Server {
    std::int32_t pid = 0;
    int port = 0;
    std::string address;  // the most exposed of `addresses`: what a single address has to say
    std::string processName;
    std::optional<std::string> args;  // full command line; nullopt when unknown
    std::optional<std::string> cwd;
    ServerKind kind;
    ServerCategory category = ServerCategory::system;
    std::optional<std::uint64_t> memoryBytes;  // the process's own, or its tree's total
    std::optional<double> cpuPercent;          // percent of one core, or the tree's total
    std::optional<int> uptimeSeconds;
    std::optional<std::string> branch;
    std::optional<std::string> project;
    std::optional<std::string> desktopEntryPath;  // the desktop entry of the application that started it
    std::optional<std::string> containerImage;
    std::optional<std::string> containerName;
    std::optional<int> processCount;  // processes in the tree (dev servers only)
    // The arguments one by one, byte for byte as the process was started (not necessarily UTF-8);
    // empty when unknown. `args` is their ps form (joined by spaces, repaired), which the rules
    // match; this is what a restart starts again.
    std::vector<std::string> argv;
    // The login name of the user whose socket it is, for a listener whose process this user cannot
    // see (pid 0); else absent.
    std::optional<std::string> user;
    // Every distinct address this (pid, port) listens on, in order of first sighting; empty means
    // `address` alone.
    std::vector<std::string> addresses;

    bool operator==(const Server&) const = default;

    // "PID:PORT"; two servers with the same pid and port are the same row everywhere.
    [[nodiscard]] std::string id() const;
    // The command line to show: the arguments each shell-quoted when it needs it, else `args`, else
    // the process name; for a listener whose process cannot be seen, whose it is.
    [[nodiscard]] std::string displayCommand() const;
    // "http://localhost:PORT".
    [[nodiscard]] std::string url() const;
    // `addresses`, or `address` alone when there are none (and nothing when that is empty).
    [[nodiscard]] std::vector<std::string> boundAddresses() const;
    // True when any bound address is a wildcard or not loopback (BindAddress::isExposed).
    [[nodiscard]] bool isExposedToNetwork() const;
    // The bound addresses as one text, exposed ones first: "*, 127.0.0.1".
    [[nodiscard]] std::string addressText() const;
    // nullopt for no cwd or "/"; "~/..." under the home; else cwd.
    [[nodiscard]] std::optional<std::string> displayDirectory() const;
    [[nodiscard]] std::optional<std::string> displayDirectory(std::string_view home) const;
    [[nodiscard]] std::optional<std::string> memoryLabel() const;
    [[nodiscard]] std::optional<std::string> uptimeLabel() const;
    [[nodiscard]] std::optional<Energy> energy() const;

    // A copy in which every given value replaces the field of the same name.
    struct Overrides {
        std::optional<ServerKind> kind;
        std::optional<std::string> project;
        std::optional<std::string> branch;
        std::optional<ServerCategory> category;
        std::optional<std::string> containerImage;
        std::optional<std::string> containerName;
        std::optional<std::uint64_t> memoryBytes;
        std::optional<double> cpuPercent;
        std::optional<int> processCount;
    };
    [[nodiscard]] Server overriding(const Overrides& values) const;
};

}  // namespace tarvik
