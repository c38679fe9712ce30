#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/support/Date.hpp"
#include "core/support/Spawn.hpp"

namespace tarvik {

// A server's project and the branch checked out there.
struct ProjectAndBranch {
    std::optional<std::string> project;
    std::optional<std::string> branch;
    bool operator==(const ProjectAndBranch&) const = default;
};

namespace GitProject {

// The repository root from `git rev-parse --path-format=absolute --git-common-dir` output: the
// path without a last ".git" component, or the path itself (a bare repository); nullopt for output
// that is not an absolute path (no repository).
[[nodiscard]] std::optional<std::string> root(std::string_view commonDir);

// The repository's name: the root's last component without a trailing ".git"; nullopt when there
// is no root, the root is the home folder (a home kept under git is not a project) or the name is
// empty. Linked worktrees share the main repository's common directory, hence its name.
[[nodiscard]] std::optional<std::string> name(std::string_view commonDir, std::string_view home);

}  // namespace GitProject

namespace ProjectName {

// The project name of a folder outside git: its last component when it lies below `home`, not
// in a hidden folder; nullopt otherwise.
[[nodiscard]] std::optional<std::string> folderFallback(const std::optional<std::string>& cwd,
                                                        std::string_view home);

}  // namespace ProjectName

// Runs git for a repository layout the file reader does not understand: (executable, arguments)
// -> result. Tests count and script it.
using GitRunner = std::function<Spawn::Result(const std::string&, const std::vector<std::string>&)>;

// Project and branch per working folder, remembered for 30 seconds. One shared instance serves
// every scan; the lock covers only the map, never a resolution, so two callers may resolve the same
// folder at once and the later result stays.
class GitCache {
public:
    struct Options {
        GitRunner run;                // defaults to Spawn::run with a 2-second limit
        std::function<Date()> clock;  // defaults to the system clock
        std::string home;             // defaults to the user's home folder
    };
    static constexpr double maxAge = 30.0;  // seconds

    explicit GitCache(Options options = {});

    // (nullopt, nullopt) for no folder, "/" or a folder outside the user area. Thread-safe.
    [[nodiscard]] ProjectAndBranch project(const std::optional<std::string>& cwd);

    static GitCache& shared();

private:
    struct Entry {
        ProjectAndBranch result;
        Date at;
    };
    Options m_options;
    std::mutex m_mutex;  // guards m_entries
    std::unordered_map<std::string, Entry> m_entries;
};

}  // namespace tarvik
