#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tarvik::test {

// A process the test starts in a process group of its own. Its first output line is read on
// request; the whole group is killed when the object goes, so nothing outlives the test.
class TestProcess {
public:
    // `argv[0]` is an absolute path; `cwd` empty keeps the test's folder.
    explicit TestProcess(const std::vector<std::string>& argv, const std::string& cwd = {});
    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return m_pid; }
    // The first line the process prints (waits at most `seconds`); empty when none came.
    std::string firstLine(int seconds = 10);
    // The whitespace-separated numbers of the first line.
    std::vector<int> numbers(int seconds = 10);
    // The exit status once the process has exited by itself (-1 when a signal ended it); nullopt
    // while it runs. Does not wait.
    std::optional<int> exitStatus();

private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::optional<int> m_status;
};

// The python listener of the fixtures with its arguments.
[[nodiscard]] std::vector<std::string> listener(std::vector<std::string> arguments);
// `argv` run with only `environment` ("KEY=value") and the system's PATH.
[[nodiscard]] std::vector<std::string> withOnly(std::vector<std::string> environment,
                                                const std::vector<std::string>& argv);

}  // namespace tarvik::test
