#include "core/servers/GitProject.hpp"

#include "core/servers/GitFiles.hpp"
#include "core/servers/PortScanner.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

namespace GitProject {

std::optional<std::string> root(std::string_view commonDir) {
    std::string_view path = Text::trim(commonDir, Text::whitespace);
    if (!path.starts_with('/')) return std::nullopt;
    if (Text::lastPathComponent(path) == ".git")
        path = Paths::withoutTrailingSlashes(path.substr(0, path.size() - 4));
    return std::string(path);
}

std::optional<std::string> name(std::string_view commonDir, std::string_view home) {
    auto repository = root(commonDir);
    if (!repository || *repository == home) return std::nullopt;
    std::string_view last = Text::lastPathComponent(*repository);
    if (last.ends_with(".git")) last.remove_suffix(4);
    if (last.empty()) return std::nullopt;
    return std::string(last);
}

}  // namespace GitProject

namespace ProjectName {

std::optional<std::string> folderFallback(const std::optional<std::string>& cwd, std::string_view home) {
    if (!cwd || *cwd == "/" || *cwd == home) return std::nullopt;
    std::string prefix = std::string(home) + "/";
    if (!cwd->starts_with(prefix)) return std::nullopt;
    std::string_view inside = std::string_view(*cwd).substr(prefix.size());
    if (inside.starts_with('.')) return std::nullopt;
    std::string_view last = Text::lastPathComponent(*cwd);
    if (last.empty()) return std::nullopt;
    return std::string(last);
}

}  // namespace ProjectName

namespace {

// Bounded, so that git stuck on a hostile repository cannot stall a scan.
Spawn::Result runGit(const std::string& path, const std::vector<std::string>& args) {
    return Spawn::run(path, args, std::chrono::seconds(2));
}

ProjectAndBranch askGit(const std::string& cwd, const GitRunner& run, std::string_view home) {
    static const std::string git = "/usr/bin/git";
    auto common = run(git, {"-C", cwd, "rev-parse", "--path-format=absolute", "--git-common-dir"});
    auto project = common.status == 0 ? GitProject::name(common.output, home) : std::nullopt;
    if (!project) return {ProjectName::folderFallback(cwd, home), std::nullopt};
    auto head = run(git, {"-C", cwd, "rev-parse", "--abbrev-ref", "HEAD"});
    std::string_view branch = Text::trim(head.output, Text::whitespace);
    if (head.status != 0 || branch.empty() || branch == "HEAD")
        return {project, std::nullopt};  // detached or unborn
    return {project, std::string(branch)};
}

}  // namespace

namespace PortScanner {

ProjectAndBranch resolveProject(const std::string& cwd, const GitRunner& run, std::string_view home) {
    auto facts = GitFiles::read(cwd);
    if (!facts) return askGit(cwd, run, home);
    auto project = facts->commonDir ? GitProject::name(*facts->commonDir, home) : std::nullopt;
    if (!project) return {ProjectName::folderFallback(cwd, home), std::nullopt};
    return {project, facts->branch};
}

ProjectAndBranch resolveProject(const std::string& cwd) {
    return resolveProject(cwd, runGit, Paths::homeDirectory());
}

}  // namespace PortScanner

GitCache::GitCache(Options options) : m_options(std::move(options)) {
    if (!m_options.run) m_options.run = runGit;
    if (!m_options.clock) m_options.clock = [] { return std::chrono::system_clock::now(); };
    if (m_options.home.empty()) m_options.home = Paths::homeDirectory();
}

ProjectAndBranch GitCache::project(const std::optional<std::string>& cwd) {
    if (!cwd || *cwd == "/" || !Paths::isUserArea(*cwd, m_options.home)) return {};
    {
        std::lock_guard lock(m_mutex);
        auto it = m_entries.find(*cwd);
        if (it != m_entries.end() && secondsBetween(it->second.at, m_options.clock()) < maxAge)
            return it->second.result;
    }
    auto result = PortScanner::resolveProject(*cwd, m_options.run, m_options.home);
    std::lock_guard lock(m_mutex);
    m_entries[*cwd] = Entry{result, m_options.clock()};
    return result;
}

GitCache& GitCache::shared() {
    static GitCache instance;
    return instance;
}

}  // namespace tarvik
