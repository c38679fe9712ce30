#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/processes/ProcessTree.hpp"
#include "core/servers/Server.hpp"

// What a stop ended, told from the servers listed before it and after its follow-up, and the
// sentences that say so. A stop signals a whole process tree, so it can end listed servers the
// user did not pick; and a supervisor can start a stopped server again at once.
namespace tarvik::StopReport {

// The processes a stop of `pid` signals: its row and its descendants' rows in `table`, start times
// included. Empty when `pid` has no row.
[[nodiscard]] std::vector<ProcessRow> tree(std::int32_t pid, const std::vector<ProcessRow>& table);

// A stopped server whose port a new process (another pid, or the same pid started anew) held once
// the stop was done.
struct Restart {
    Server server;               // as it was before the stop
    std::int32_t pid = 0;        // the process on the port now; 0 when this user cannot see it
    std::int32_t parentPid = 0;  // that process's parent; 0 when unknown
    std::string parentName;      // the parent's process name; empty when unknown
    bool operator==(const Restart&) const = default;
};

struct Outcome {
    std::vector<Server> ended;      // the chosen servers, and the other ports of their processes, gone
    std::vector<Server> alsoEnded;  // the other listed servers of the signalled trees, gone
    std::vector<Server> running;    // still listed under the same process
    std::vector<Restart> restarted;
    std::vector<int> freedPorts;  // the ports of everything that ended that nothing listens on now, ascending
    std::uint64_t freedBytes = 0;  // the memory of everything that ended, each process or container once
};

// `chosen`: the servers the user stopped. `signalled`: the rows of the trees that were signalled, as
// taken before the signals. `before`, `after`: the listed servers before the stop and after its
// follow-up; `table`: the process table after it. `nameOf`: a process's name, empty when unknown.
// A container is judged by its name on its port and is never taken for restarted.
[[nodiscard]] Outcome assess(const std::vector<Server>& chosen, const std::vector<ProcessRow>& signalled,
                             const std::vector<Server>& before, const std::vector<Server>& after,
                             const std::vector<ProcessRow>& table,
                             const std::function<std::string(std::int32_t)>& nameOf);

// What to tell the user, one sentence each, nothing about what still runs. With a restart: who
// started what again and how to end it, and which servers ended, with nothing said to be free.
// Otherwise "`name` stopped, and so did Vite on port 5173. 300 MB and ports 3000 and 5173 are free."
// (`name` empty: the first ended server's kind). Texts from the system are as given: the caller
// makes them safe to show.
[[nodiscard]] std::vector<std::string> sentences(const Outcome& outcome, const std::string& name = {});

}  // namespace tarvik::StopReport
