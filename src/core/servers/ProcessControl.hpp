#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/processes/ProcessTree.hpp"
#include "core/servers/Server.hpp"
#include "core/servers/StopAction.hpp"
#include "core/support/WorkerPool.hpp"

namespace tarvik {

// Carries out stops and restarts. Only pids of at least 2 that are not this process are ever
// signalled. Every SIGTERM is followed by SIGCONT, so that a suspended process (Ctrl-Z) ends
// instead of holding the signal until someone continues it. Work that comes later (the check on a stopped
// process's children a second after, container commands) runs on a few threads of its own, however
// many stops come; `waitIdle` and the destructor wait for it. A docker command is given up after its
// limit.
class ProcessControl {
public:
    struct Options {
        std::function<std::vector<ProcessRow>()> processTable;  // default: LibProc::processTable
        std::function<std::optional<std::string>()> docker;     // default: DockerInspector::binaryPath
        std::function<int(std::int32_t, int)> sendSignal;       // default: kill(2)
        std::chrono::milliseconds followUpDelay{1000};
        // The environment a restarted server gets ("KEY=value" entries; empty: this process's).
        // Default: the user's login shell's, read once by running the shell with a fixed command
        // that prints it.
        std::function<std::vector<std::string>()> loginEnvironment;
    };

    ProcessControl();
    explicit ProcessControl(Options options);
    ~ProcessControl();
    ProcessControl(const ProcessControl&) = delete;
    ProcessControl& operator=(const ProcessControl&) = delete;

    // False when the pid may not be signalled, the signal failed, or there is no docker client.
    // The descendants a signalled process had are signalled again a second later, those still
    // alive with the start time they had then, whoever their parent is now (a subreaper adopts
    // orphans as well as pid 1 does).
    bool carryOut(const StopAction& action);

    // SIGTERM for every process of the group (with the same follow-up), "docker stop" for every
    // container. The process table is read once for the whole group.
    void stopGroup(const std::vector<Server>& servers);

    // SIGTERM (and SIGCONT) once per distinct pid.
    void tidyUp(const std::vector<Server>& servers);

    // Starts a stopped server again: its container, or its recorded arguments as they are (no shell
    // reads them) in its folder with the user's login environment, detached. False when it is not
    // restartable or the launch failed.
    bool restart(const Server& server);

    void waitIdle();

    // "docker stop" waits up to 10 s for the container itself.
    static constexpr std::chrono::seconds dockerStopLimit{15};
    static constexpr std::chrono::seconds dockerKillLimit{5};
    static constexpr std::chrono::seconds dockerStartLimit{5};
    // Follow-ups and container commands beyond this many at once wait their turn.
    static constexpr std::size_t laterThreads = 4;
    // The containers whose docker command was given up at its limit; complete once `waitIdle`
    // returned.
    [[nodiscard]] std::vector<std::string> unansweredContainers();

    [[nodiscard]] static bool maySignal(std::int32_t pid);
    // The last component of the process's executable path, UTF-8-repaired; empty when unreadable.
    [[nodiscard]] static std::string processName(std::int32_t pid);

private:
    // `table`: the processes as they were just before, for telling the descendants.
    bool signalTree(std::int32_t pid, int signal, const std::vector<ProcessRow>& table);
    // `signal` to a pid `maySignal` allows, and SIGCONT after a SIGTERM; false when `signal` failed.
    bool send(std::int32_t pid, int signal);
    void followUp(const std::vector<ProcessRow>& descendants, int signal);
    bool runDocker(std::vector<std::string> arguments, std::chrono::milliseconds limit);

    Options m_options;
    std::mutex m_mutex;                                     // guards the fields below
    std::optional<std::vector<std::string>> m_environment;  // the login environment, once read
    std::vector<std::string> m_unanswered;
    WorkerPool m_later{laterThreads};  // declared last: joined first, while the fields it uses still exist
};

}  // namespace tarvik
