#include "support/TestProcess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tarvik::test {

TestProcess::TestProcess(const std::vector<std::string>& argv, const std::string& cwd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> pointers;
    for (const auto& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    int error = posix_spawn(&m_pid, argv[0].c_str(), &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        throw std::runtime_error("could not start " + argv[0]);
    }
    m_output = fds[0];
}

TestProcess::~TestProcess() {
    // The group: the process and everything it started. Once reaped, its number may be anyone's.
    if (!m_status) {
        kill(-m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_output >= 0) close(m_output);
}

std::string TestProcess::firstLine(int seconds) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (char c; std::chrono::steady_clock::now() < deadline;) {
        pollfd entry{m_output, POLLIN, 0};
        if (poll(&entry, 1, 100) <= 0) continue;
        if (read(m_output, &c, 1) != 1 || c == '\n') break;
        line += c;
    }
    return line;
}

std::vector<int> TestProcess::numbers(int seconds) {
    std::istringstream stream(firstLine(seconds));
    std::vector<int> values;
    for (int value; stream >> value;) values.push_back(value);
    return values;
}

std::optional<int> TestProcess::exitStatus() {
    int status = 0;
    if (!m_status && waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_status;
}

std::vector<std::string> listener(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {"/usr/bin/python3", std::string(TARVIK_FIXTURES) + "/servers/listen.py"});
    return arguments;
}

std::vector<std::string> withOnly(std::vector<std::string> environment,
                                  const std::vector<std::string>& argv) {
    environment.insert(environment.begin(), {"/usr/bin/env", "-i", "PATH=/usr/bin:/bin"});
    environment.insert(environment.end(), argv.begin(), argv.end());
    return environment;
}

}  // namespace tarvik::test
