#include "core/servers/ProcessControl.hpp"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/platform/LibProc.hpp"
#include "core/servers/Docker.hpp"
#include "core/support/Spawn.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

ProcessControl::ProcessControl() : ProcessControl(Options{}) {}

namespace {

// The environment the user's login shell sets up, printed by a fixed command; empty (this
// process's own) when the shell does not answer within its limit.
std::vector<std::string> loginShellEnvironment() {
    std::string shell = "/bin/sh";
    if (const passwd* user = getpwuid(getuid()); user && user->pw_shell && *user->pw_shell)
        shell = user->pw_shell;
    auto result = Spawn::run(shell, {"-lc", "exec /usr/bin/env -0"},
                             Spawn::Options{std::chrono::seconds(10), "", true});
    if (result.status != 0) return {};
    std::vector<std::string> environment;
    for (auto entry : Text::split(result.output, '\0'))
        if (entry.find('=') != std::string_view::npos) environment.emplace_back(entry);
    return environment;
}

}  // namespace

ProcessControl::ProcessControl(Options options) : m_options(std::move(options)) {
    if (!m_options.processTable) m_options.processTable = LibProc::processTable;
    if (!m_options.docker) m_options.docker = [] { return DockerInspector::binaryPath(); };
    if (!m_options.sendSignal)
        m_options.sendSignal = [](std::int32_t pid, int signal) { return ::kill(pid, signal); };
    if (!m_options.loginEnvironment) m_options.loginEnvironment = loginShellEnvironment;
}

ProcessControl::~ProcessControl() {
    waitIdle();
}

bool ProcessControl::maySignal(std::int32_t pid) {
    return pid >= 2 && pid != getpid();
}

std::string ProcessControl::processName(std::int32_t pid) {
    auto path = LibProc::path(pid);
    return path ? Text::repairUtf8(Text::lastPathComponent(*path)) : std::string();
}

bool ProcessControl::send(std::int32_t pid, int signal) {
    if (!maySignal(pid) || m_options.sendSignal(pid, signal) != 0) return false;
    if (signal == SIGTERM) m_options.sendSignal(pid, SIGCONT);
    return true;
}

bool ProcessControl::carryOut(const StopAction& action) {
    using namespace StopActions;
    if (auto* gentle = std::get_if<SignalProcess>(&action))
        return maySignal(gentle->pid) && signalTree(gentle->pid, SIGTERM, m_options.processTable());
    if (auto* force = std::get_if<ForceSignalProcess>(&action))
        return maySignal(force->pid) && signalTree(force->pid, SIGKILL, m_options.processTable());
    if (auto* stop = std::get_if<StopContainer>(&action))
        return runDocker({"stop", stop->name}, dockerStopLimit);
    return runDocker({"kill", std::get<KillContainer>(action).name}, dockerKillLimit);
}

void ProcessControl::stopGroup(const std::vector<Server>& servers) {
    std::optional<std::vector<ProcessRow>> table;
    for (const auto& server : servers) {
        if (server.containerName && !server.containerName->empty()) {
            runDocker({"stop", *server.containerName}, dockerStopLimit);
        } else if (maySignal(server.pid)) {
            if (!table) table = m_options.processTable();
            signalTree(server.pid, SIGTERM, *table);
        }
    }
}

void ProcessControl::tidyUp(const std::vector<Server>& servers) {
    std::unordered_set<std::int32_t> signalled;
    for (const auto& server : servers)
        if (maySignal(server.pid) && signalled.insert(server.pid).second) send(server.pid, SIGTERM);
}

bool ProcessControl::restart(const Server& server) {
    if (server.containerName && !server.containerName->empty())
        return runDocker({"start", *server.containerName}, dockerStartLimit);
    if (!RecentStops::isRestartable(server) || server.argv.empty() || !server.cwd) return false;
    std::vector<std::string> environment;
    {
        std::unique_lock lock(m_mutex);
        if (!m_environment) {
            lock.unlock();  // the shell may take a while; never hold the lock over a subprocess
            auto read = m_options.loginEnvironment();
            lock.lock();
            if (!m_environment) m_environment = std::move(read);
        }
        environment = *m_environment;
    }
    return Spawn::launch(server.argv, *server.cwd, environment);
}

void ProcessControl::waitIdle() {
    m_later.waitIdle();
}

std::vector<std::string> ProcessControl::unansweredContainers() {
    std::lock_guard lock(m_mutex);
    return m_unanswered;
}

bool ProcessControl::signalTree(std::int32_t pid, int signal, const std::vector<ProcessRow>& table) {
    std::unordered_map<std::int32_t, const ProcessRow*> rows;
    for (const auto& row : table) rows.emplace(row.pid, &row);
    std::vector<ProcessRow> descendants;
    for (std::int32_t child : ProcessTree::descendants(pid, table))
        if (auto row = rows.find(child); row != rows.end() && row->second->started != 0)
            descendants.push_back(*row->second);
    if (!send(pid, signal)) return false;
    if (!descendants.empty())
        m_later.post([this, descendants = std::move(descendants), signal] { followUp(descendants, signal); },
                     m_options.followUpDelay);
    return true;
}

void ProcessControl::followUp(const std::vector<ProcessRow>& descendants, int signal) {
    std::unordered_map<std::int32_t, std::uint64_t> started;
    for (const auto& row : m_options.processTable()) started.emplace(row.pid, row.started);
    for (const auto& child : descendants) {
        auto now = started.find(child.pid);
        // A different start time means the pid was reused by another process since.
        if (now != started.end() && now->second == child.started) send(child.pid, signal);
    }
}

bool ProcessControl::runDocker(std::vector<std::string> arguments, std::chrono::milliseconds limit) {
    auto docker = m_options.docker();
    if (!docker) return false;
    m_later.post([this, path = *docker, arguments = std::move(arguments), limit] {
        if (!Spawn::run(path, arguments, limit).timedOut) return;
        std::lock_guard lock(m_mutex);
        m_unanswered.push_back(arguments.back());
    });
    return true;
}

}  // namespace tarvik
