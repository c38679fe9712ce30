#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/servers/Server.hpp"

namespace tarvik {

// One group of the panel: a project, the services that belong to none, or the system's listeners.
struct ServerGroup {
    struct Project {
        std::string title;
        bool operator==(const Project&) const = default;
    };
    struct Services {
        bool operator==(const Services&) const = default;
    };
    struct System {
        bool operator==(const System&) const = default;
    };
    using Kind = std::variant<Project, Services, System>;

    Kind kind;
    std::string title;                  // the project name, "Services" or "System"
    std::optional<std::string> branch;  // beside a project heading only
    std::vector<Server> servers;        // by port ascending

    bool operator==(const ServerGroup&) const = default;

    [[nodiscard]] const std::string& id() const { return title; }
    [[nodiscard]] bool isSystem() const { return std::holds_alternative<System>(kind); }
    // The rows the group shows: its servers merged per process and kind.
    [[nodiscard]] int displayCount() const;
};

// One listening socket of a row.
struct Endpoint {
    std::string address;  // as in Server::address
    int port = 0;
    bool operator==(const Endpoint&) const = default;
    // "127.0.0.1:3000", "[::1]:3000", "*:3000".
    [[nodiscard]] std::string text() const;
};

// One row: a process and kind with every port it opened.
struct MergedServer {
    Server primary;          // the row's first server in group order
    std::vector<int> ports;  // ascending
    // Every socket of the row, by port ascending, then in order of first sighting. A row built
    // without them stands for its primary's.
    std::vector<Endpoint> endpoints;

    bool operator==(const MergedServer&) const = default;
    // "PID:KIND", e.g. "4211:Vite".
    [[nodiscard]] std::string id() const;
    // `endpoints`, or the primary's sockets when there are none.
    [[nodiscard]] std::vector<Endpoint> sockets() const;
    // True when any socket of the row can be reached from the network (Server::isExposedToNetwork).
    [[nodiscard]] bool isExposedToNetwork() const;
    // The distinct addresses of the row, exposed ones first: "*, 127.0.0.1".
    [[nodiscard]] std::string addressText() const;
};

namespace ServerGrouper {

// Project groups by title (case-insensitive, in the user's collation), then "Services", then
// "System". Project names that differ only in case and punctuation share a group.
[[nodiscard]] std::vector<ServerGroup> groups(const std::vector<Server>& servers);

// The rows the panel shows for these servers.
[[nodiscard]] int rowCount(const std::vector<Server>& servers);

}  // namespace ServerGrouper

namespace PortMerger {

// One row per (pid, kind name) in order of first sighting, ports ascending, with every socket.
[[nodiscard]] std::vector<MergedServer> merge(const std::vector<Server>& servers);

}  // namespace PortMerger

}  // namespace tarvik
