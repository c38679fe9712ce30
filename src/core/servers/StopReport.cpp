#include "core/servers/StopReport.hpp"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "core/servers/DevFootprint.hpp"
#include "core/servers/FreedCopy.hpp"
#include "core/support/Text.hpp"

namespace tarvik::StopReport {

namespace {

bool isContainer(const Server& server) {
    return server.containerName && !server.containerName->empty();
}

bool sameRow(const Server& a, const Server& b) {
    return a.pid == b.pid && a.port == b.port && a.containerName == b.containerName;
}

using Starts = std::unordered_map<std::int32_t, std::uint64_t>;

Starts startsOf(const std::vector<ProcessRow>& rows) {
    Starts starts;
    for (const auto& row : rows) starts.emplace(row.pid, row.started);
    return starts;
}

std::uint64_t startOf(const Starts& starts, std::int32_t pid) {
    auto found = starts.find(pid);
    return found == starts.end() ? 0 : found->second;
}

// "Vite on port 5173" once per process (or container), in the order first seen.
std::vector<std::string> described(const std::vector<Server>& servers) {
    std::vector<std::string> keys, kinds;
    std::vector<std::vector<int>> ports;
    for (const auto& server : servers) {
        std::string key =
            isContainer(server) ? "container " + *server.containerName : std::to_string(server.pid);
        auto at = std::find(keys.begin(), keys.end(), key);
        if (at == keys.end()) {
            keys.push_back(key);
            kinds.push_back(server.kind.name);
            ports.emplace_back();
            at = keys.end() - 1;
        }
        auto& list = ports[static_cast<std::size_t>(at - keys.begin())];
        if (std::find(list.begin(), list.end(), server.port) == list.end()) list.push_back(server.port);
    }
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < keys.size(); ++i)
        texts.push_back(kinds[i] + " on " + FreedCopy::ports(ports[i]));
    return texts;
}

std::string restartSentence(const std::vector<Server>& servers, const Restart& restart) {
    const std::string what = described(servers).front();
    if (restart.parentPid >= 2 && !restart.parentName.empty())
        return Text::filled("{} was restarted by its parent {} (process {}); stop that to end it.",
                            {what, restart.parentName, std::to_string(restart.parentPid)});
    if (restart.parentPid == 1)
        return Text::filled(
            "{} was started again by process 1, the system's service manager; stop its "
            "service to end it.",
            {what});
    if (restart.pid != 0)
        return Text::filled("{} was started again, as process {}.", {what, std::to_string(restart.pid)});
    return Text::filled("{} was started again, by a process of another user.", {what});
}

}  // namespace

std::vector<ProcessRow> tree(std::int32_t pid, const std::vector<ProcessRow>& table) {
    std::unordered_map<std::int32_t, const ProcessRow*> rows;
    for (const auto& row : table) rows.emplace(row.pid, &row);
    auto self = rows.find(pid);
    if (self == rows.end()) return {};
    std::vector<ProcessRow> result{*self->second};
    for (std::int32_t child : ProcessTree::descendants(pid, table))
        if (auto row = rows.find(child); row != rows.end()) result.push_back(*row->second);
    return result;
}

Outcome assess(const std::vector<Server>& chosen, const std::vector<ProcessRow>& signalled,
               const std::vector<Server>& before, const std::vector<Server>& after,
               const std::vector<ProcessRow>& table, const std::function<std::string(std::int32_t)>& nameOf) {
    const Starts startedBefore = startsOf(signalled), startedAfter = startsOf(table);
    std::unordered_map<std::int32_t, std::int32_t> parents;
    for (const auto& row : table) parents.emplace(row.pid, row.ppid);
    // A pid listed after the stop is the same process unless both start times are known and differ.
    auto same = [&](std::int32_t pid) {
        auto then = startOf(startedBefore, pid), now = startOf(startedAfter, pid);
        return then == 0 || now == 0 || then == now;
    };

    std::unordered_set<std::int32_t> chosenPids;
    for (const auto& server : chosen)
        if (!isContainer(server)) chosenPids.insert(server.pid);
    std::vector<std::pair<Server, bool>> members;  // the server, and whether the user chose it
    auto add = [&](const Server& server, bool primary) {
        if (std::none_of(members.begin(), members.end(),
                         [&](const auto& m) { return sameRow(m.first, server); }))
            members.emplace_back(server, primary);
    };
    for (const auto& server : chosen) add(server, true);
    for (const auto& server : before)
        if (!isContainer(server) && (chosenPids.contains(server.pid) || startedBefore.contains(server.pid)))
            add(server, chosenPids.contains(server.pid));

    auto listedBefore = [&](const Server& server) {
        return std::any_of(before.begin(), before.end(),
                           [&](const Server& s) { return s.pid == server.pid && s.port == server.port; });
    };
    Outcome outcome;
    // Not a structured binding: clang before 16 cannot capture one in the lambdas below.
    for (const auto& member : members) {
        const Server& server = member.first;
        const bool primary = member.second;
        bool running = std::any_of(after.begin(), after.end(), [&](const Server& s) {
            return isContainer(server) ? s.port == server.port && s.containerName == server.containerName
                                       : s.pid == server.pid && same(s.pid);
        });
        if (running) {
            outcome.running.push_back(server);
            continue;
        }
        if (!isContainer(server)) {
            auto holder = std::find_if(after.begin(), after.end(), [&](const Server& s) {
                return s.port == server.port && !isContainer(s) && !(listedBefore(s) && same(s.pid));
            });
            if (holder != after.end()) {
                Restart restart{server, holder->pid, 0, {}};
                if (auto parent = parents.find(holder->pid); holder->pid != 0 && parent != parents.end())
                    restart.parentPid = parent->second;
                if (restart.parentPid > 0) restart.parentName = nameOf(restart.parentPid);
                outcome.restarted.push_back(std::move(restart));
                continue;
            }
        }
        (primary ? outcome.ended : outcome.alsoEnded).push_back(server);
    }

    std::vector<Server> gone = outcome.ended;
    gone.insert(gone.end(), outcome.alsoEnded.begin(), outcome.alsoEnded.end());
    std::set<int> ports;
    for (const auto& server : gone) ports.insert(server.port);
    for (const auto& server : after) ports.erase(server.port);
    outcome.freedPorts.assign(ports.begin(), ports.end());
    outcome.freedBytes = DevFootprint::uniqueBytes(gone);
    return outcome;
}

std::vector<std::string> sentences(const Outcome& outcome, const std::string& name) {
    std::vector<std::string> lines;
    std::vector<Server> gone = outcome.ended;
    gone.insert(gone.end(), outcome.alsoEnded.begin(), outcome.alsoEnded.end());
    if (!outcome.restarted.empty()) {
        // One sentence per process that came back, naming all its ports.
        std::vector<std::int32_t> said;
        for (const auto& restart : outcome.restarted) {
            if (std::find(said.begin(), said.end(), restart.server.pid) != said.end()) continue;
            said.push_back(restart.server.pid);
            std::vector<Server> servers;
            for (const auto& other : outcome.restarted)
                if (other.server.pid == restart.server.pid) servers.push_back(other.server);
            lines.push_back(restartSentence(servers, restart));
        }
        // Ports and memory stay taken by what came back, so nothing is said to be free.
        if (!gone.empty()) lines.push_back(Text::filled("{} stopped.", {FreedCopy::listed(described(gone))}));
        return lines;
    }
    if (gone.empty()) return lines;
    std::string first;
    if (outcome.ended.empty()) {
        first = Text::filled("{} stopped.", {FreedCopy::listed(described(gone))});
    } else {
        // Another process's server on a port already named (a worker sharing it) needs no words.
        std::vector<Server> others;
        for (const auto& server : outcome.alsoEnded)
            if (std::none_of(outcome.ended.begin(), outcome.ended.end(),
                             [&](const Server& s) { return s.port == server.port; }))
                others.push_back(server);
        const std::string& headline = name.empty() ? outcome.ended.front().kind.name : name;
        first = others.empty() ? Text::filled("{} stopped.", {headline})
                               : Text::filled("{} stopped, and so did {}.",
                                              {headline, FreedCopy::listed(described(others))});
    }
    lines.push_back(first + " " + FreedCopy::free(outcome.freedBytes, outcome.freedPorts));
    return lines;
}

}  // namespace tarvik::StopReport
