#include "core/servers/StopAction.hpp"

#include <algorithm>
#include <unordered_set>

#include "core/servers/ServerClassifier.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

namespace StopActions {

StopAction of(const Server& server, bool force) {
    if (server.containerName && !server.containerName->empty()) {
        if (force) return KillContainer{*server.containerName};
        return StopContainer{*server.containerName};
    }
    if (force) return ForceSignalProcess{server.pid};
    return SignalProcess{server.pid};
}

}  // namespace StopActions

void RecentStops::record(const std::vector<Server>& servers, Date at) {
    std::vector<Entry> fresh;
    for (const auto& server : servers)
        if (server.category == ServerCategory::dev) fresh.push_back({server, at});
    if (fresh.empty()) return;
    fresh.insert(fresh.end(), entries.begin(), entries.end());
    if (fresh.size() > capacity) fresh.resize(capacity);
    entries = std::move(fresh);
}

void RecentStops::removeMatching(int port) {
    std::erase_if(entries, [&](const Entry& entry) { return entry.server.port == port; });
}

bool RecentStops::isRestartable(const Server& server) {
    if (server.containerName && !server.containerName->empty()) return true;
    if (!server.args || server.args->empty()) return false;
    if (Text::lowercased(*server.args).find("docker") != std::string::npos) return false;
    return server.cwd.has_value();
}

SnapshotDiff::SnapshotDiff(const std::vector<Server>& before, const std::vector<Server>& after) {
    std::unordered_set<std::string> beforeIds, afterIds;
    for (const auto& server : before) beforeIds.insert(server.id());
    for (const auto& server : after) afterIds.insert(server.id());
    for (const auto& server : after)
        if (!beforeIds.contains(server.id())) started.push_back(server);
    for (const auto& server : before)
        if (!afterIds.contains(server.id())) stopped.push_back(server);
}

namespace {
std::vector<Server> devOnly(const std::vector<Server>& servers) {
    std::vector<Server> dev;
    std::copy_if(servers.begin(), servers.end(), std::back_inserter(dev),
                 [](const Server& server) { return server.category == ServerCategory::dev; });
    return dev;
}
}  // namespace

std::vector<Server> SnapshotDiff::devStarted() const {
    return devOnly(started);
}

std::vector<Server> SnapshotDiff::devStopped() const {
    return devOnly(stopped);
}

namespace TidyCandidates {

std::uint64_t Result::reclaimableBytes() const {
    std::unordered_set<std::int32_t> counted;
    std::uint64_t total = 0;
    for (const auto& server : reviewable)
        if (counted.insert(server.pid).second) total += server.memoryBytes.value_or(0);
    return total;
}

Result evaluate(const std::vector<Server>& servers, const std::function<bool(std::int32_t)>& isIdle,
                const std::function<bool(const Server&)>& mayStop) {
    Result result;
    for (const auto& server : servers) {
        if (server.category == ServerCategory::dev) continue;
        std::optional<Keeping> why;
        if (ServerClassifier::isProtectedSystemProcess(server.processName))
            why = Keeping::system;
        else if (server.pid <= 0)
            why = Keeping::ownerHidden;
        else if (!mayStop(server))
            why = Keeping::notYours;
        else if (!isIdle(server.pid))
            why = Keeping::busy;
        if (why)
            result.keptSafe.push_back({server, *why});
        else
            result.reviewable.push_back(server);
    }
    return result;
}

}  // namespace TidyCandidates

namespace Version {

namespace {
std::optional<std::vector<std::int64_t>> pieces(std::string_view text) {
    text = Text::trim(Text::trim(text), "vV");
    if (text.empty()) return std::nullopt;
    std::vector<std::int64_t> numbers;
    for (auto piece : Text::split(text, '.')) {
        if (piece.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
        auto number = Text::parseInt64(piece);
        if (!number) return std::nullopt;
        numbers.push_back(*number);
    }
    if (numbers.empty()) return std::nullopt;
    return numbers;
}
}  // namespace

bool isNewer(std::string_view candidate, std::string_view current) {
    auto a = pieces(candidate), b = pieces(current);
    if (!a || !b) return false;
    for (std::size_t i = 0; i < std::max(a->size(), b->size()); ++i) {
        std::int64_t x = i < a->size() ? (*a)[i] : 0, y = i < b->size() ? (*b)[i] : 0;
        if (x != y) return x > y;
    }
    return false;
}

}  // namespace Version

}  // namespace tarvik
