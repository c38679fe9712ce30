#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The one subprocess runner: an absolute path (no PATH search), the caller's environment, standard
// output captured, standard error discarded, standard input inherited.
namespace tarvik::Spawn {

struct Result {
    std::string output;        // decoded as UTF-8, invalid sequences replaced by U+FFFD
    std::int32_t status = -1;  // exit code 0-255; -1 when it could not run or died by a signal
    bool timedOut = false;     // the watchdog ended it
    bool operator==(const Result&) const = default;
};

// Runs to completion with no time limit.
[[nodiscard]] Result run(const std::string& path, const std::vector<std::string>& arguments);

// Runs with a watchdog, the child in a process group of its own: past `limit` the whole group is
// killed (SIGKILL), so that what the child started goes with it unless it left the group, the
// output so far is kept,
// status is -1 and `timedOut` is set. Outside the terminal's foreground group, the child neither
// gets the signals typed at the terminal nor may read from it.
[[nodiscard]] Result run(const std::string& path, const std::vector<std::string>& arguments,
                         std::chrono::milliseconds limit);

struct Options {
    std::optional<std::chrono::milliseconds> limit;  // none: no watchdog and no group of its own
    std::string cwd;                                 // empty: the caller's folder
    bool newSession = false;                         // detach from the caller's terminal and signals
};
// Runs with the given options; a folder that cannot be entered is a launch failure.
[[nodiscard]] Result run(const std::string& path, const std::vector<std::string>& arguments,
                         const Options& options);

// Starts `argv` detached and returns at once: in a session of its own, in `cwd`, standard streams
// on /dev/null, with `environment` ("KEY=value" entries; empty: the caller's), and not as a child
// of the caller, so that nothing is left to reap. argv[0] is taken as a path when it holds a slash
// (relative to `cwd`), else looked up on the PATH of that environment. No shell sees any of it.
// True once the program was executed; false when it could not be found, the folder could not be
// entered, or the exec failed.
[[nodiscard]] bool launch(const std::vector<std::string>& argv, const std::string& cwd,
                          const std::vector<std::string>& environment);

}  // namespace tarvik::Spawn
