#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "core/servers/Server.hpp"
#include "core/support/Date.hpp"

namespace tarvik {

// How a server is stopped: its process signalled, or its container stopped through docker.
namespace StopActions {
struct SignalProcess {  // SIGTERM
    std::int32_t pid = 0;
    bool operator==(const SignalProcess&) const = default;
};
struct ForceSignalProcess {  // SIGKILL
    std::int32_t pid = 0;
    bool operator==(const ForceSignalProcess&) const = default;
};
struct StopContainer {
    std::string name;
    bool operator==(const StopContainer&) const = default;
};
struct KillContainer {
    std::string name;
    bool operator==(const KillContainer&) const = default;
};
}  // namespace StopActions

using StopAction = std::variant<StopActions::SignalProcess, StopActions::ForceSignalProcess,
                                StopActions::StopContainer, StopActions::KillContainer>;

namespace StopActions {
// The container when the server has one, else its process; `force` kills instead of asking.
[[nodiscard]] StopAction of(const Server& server, bool force);
}  // namespace StopActions

// The last few dev servers the user stopped, newest first, for restarting them.
struct RecentStops {
    struct Entry {
        Server server;  // as it was when stopped
        Date stoppedAt;
        bool operator==(const Entry&) const = default;
        [[nodiscard]] std::string id() const { return server.id(); }
    };
    static constexpr std::size_t capacity = 5;

    std::vector<Entry> entries;

    // Puts the dev servers among `servers` in front, in their order; system servers are never kept.
    void record(const std::vector<Server>& servers, Date at);
    void removeMatching(int port);
    // A container can always be started again; a process needs its command line (one that does
    // not run docker) and its folder.
    [[nodiscard]] static bool isRestartable(const Server& server);
};

// Which servers started and stopped between two scans, by id.
struct SnapshotDiff {
    std::vector<Server> started;
    std::vector<Server> stopped;

    SnapshotDiff(const std::vector<Server>& before, const std::vector<Server>& after);
    [[nodiscard]] std::vector<Server> devStarted() const;
    [[nodiscard]] std::vector<Server> devStopped() const;
    [[nodiscard]] bool isEmpty() const { return started.empty() && stopped.empty(); }
};

namespace TidyCandidates {
// Why a listener is left alone, in the order the rules ask.
enum class Keeping {
    system,       // the operating system's own
    ownerHidden,  // its process is not visible to this user (pid 0)
    notYours,     // its process is one this user may not stop
    busy,
};
struct Kept {
    Server server;
    Keeping why = Keeping::system;
    bool operator==(const Kept&) const = default;
};
struct Result {
    std::vector<Server> reviewable;  // idle system listeners this user may stop
    std::vector<Kept> keptSafe;
    // Memory of the reviewable servers, each process counted once.
    [[nodiscard]] std::uint64_t reclaimableBytes() const;
};
// `mayStop` tells whether this user may signal a listener's visible process.
[[nodiscard]] Result evaluate(const std::vector<Server>& servers,
                              const std::function<bool(std::int32_t)>& isIdle,
                              const std::function<bool(const Server&)>& mayStop);
}  // namespace TidyCandidates

namespace Version {
// Whether `candidate` ("v1.10.0") is newer than `current` ("1.9"); false when either is not a
// dotted list of numbers.
[[nodiscard]] bool isNewer(std::string_view candidate, std::string_view current);
}  // namespace Version

}  // namespace tarvik
