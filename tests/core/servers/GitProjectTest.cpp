#include "core/servers/GitProject.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <future>

#include "core/servers/GitFiles.hpp"
#include "core/servers/PortScanner.hpp"
#include "support/TempDir.hpp"

namespace tarvik {

void PrintTo(const ProjectAndBranch& value, std::ostream* out) {
    *out << "(" << value.project.value_or("nil") << ", " << value.branch.value_or("nil") << ")";
}

namespace {

using std::nullopt;

TEST(GitProject, NamesTheRepositoryFromItsCommonDirectory) {
    const std::tuple<const char*, std::optional<std::string>, std::optional<std::string>> cases[] = {
        {"/Users/anna/repos/tools.git\n", "/Users/anna/repos/tools.git", "tools"},
        {"  /Users/anna/code/shop-feature/../shop/.git  ", "/Users/anna/code/shop-feature/../shop", "shop"},
        {"fatal: not a git repository\n", nullopt, nullopt},
        {"/Users/anna/.git\n", "/Users/anna", nullopt},  // a home under git is not a project
        {"/.git", "/", nullopt}};
    for (const auto& [output, root, name] : cases) {
        EXPECT_EQ(GitProject::root(output), root) << output;
        EXPECT_EQ(GitProject::name(output, "/Users/anna"), name) << output;
    }
}

TEST(GitProject, FallsBackToTheFolderNameOnlyInsideTheHome) {
    const std::pair<std::optional<std::string>, std::optional<std::string>> cases[] = {
        {"/home/anna/sites/blog", "blog"},
        {"/home/anna/.config/x", nullopt},
        {"/home/anna", nullopt},
        {"/home/annabel/x", nullopt},
        {nullopt, nullopt}};
    for (const auto& [cwd, name] : cases)
        EXPECT_EQ(ProjectName::folderFallback(cwd, "/home/anna"), name) << cwd.value_or("nil");
}

TEST(GitFiles, ReadsTheLinesOfGitsSmallFiles) {
    EXPECT_EQ(GitFiles::gitdirLine("gitdir: ../.git/modules/lib\r\n", "/x/super/lib"),
              "/x/super/lib/../.git/modules/lib");
    EXPECT_EQ(GitFiles::gitdirLine("gitdir: /x/shop/.git/worktrees/a\n", "/y"), "/x/shop/.git/worktrees/a");
    for (const char* bad : {"gitdir:/x\n", "gitdir: \n", "/x/shop/.git\n", ""})
        EXPECT_EQ(GitFiles::gitdirLine(bad, "/y"), nullopt) << bad;
    EXPECT_EQ(GitFiles::commondirLine("../..\n", "/x/.git/worktrees/a"), "/x/.git/worktrees/a/../..");
    EXPECT_EQ(GitFiles::commondirLine("/x/.git", "/y/.git/worktrees/a"), "/x/.git");

    using Kind = GitFiles::Head::Kind;
    const std::string id = "0123456789abcdef0123456789ABCDEF01234567";
    const std::pair<std::string, GitFiles::Head> heads[] = {
        {"ref:refs/heads/feature/a", {Kind::branch, "feature/a"}},
        {id + id.substr(0, 24), {Kind::detached, ""}},
        {id.substr(1), {}},
        {"ref: refs/remotes/origin/main\n", {}},
        {"ref: refs/heads/../../config\n", {}}};
    for (const auto& [content, head] : heads) EXPECT_EQ(GitFiles::headLine(content), head) << content;
}

// Repositories laid out under a home of the test's own. git is scripted, so an answer naming
// "scripted" came from asking it.
class GitLayouts : public ::testing::Test {
protected:
    using Entries = std::vector<std::pair<std::string, std::string>>;
    const std::string id = "0123456789abcdef0123456789abcdef01234567";
    test::TempDir home;
    int gitRuns = 0;
    GitRunner scriptedGit = [this](const std::string&, const std::vector<std::string>& args) {
        ++gitRuns;
        bool head = std::find(args.begin(), args.end(), "HEAD") != args.end();
        return Spawn::Result{head ? "scripted\n" : "/elsewhere/scripted/.git\n", 0, false};
    };

    // A repository folder as git recognises one, `head` in its HEAD, then `entries`: a path
    // ending in '/' is a folder, any other a file with that content.
    void lay(const std::string& gitdir, const std::string& head, Entries entries = {}) {
        entries.insert(entries.end(),
                       {{gitdir + "/HEAD", head}, {gitdir + "/objects/", ""}, {gitdir + "/refs/", ""}});
        for (const auto& [path, content] : entries)
            path.ends_with('/') ? (void)std::filesystem::create_directories(home / path)
                                : home.write(path, content);
    }
    ProjectAndBranch resolve(const std::string& cwd) {
        return PortScanner::resolveProject(home / cwd, scriptedGit, home.path().string());
    }
};

TEST_F(GitLayouts, ReadRepositoriesAsGitDoesAndAskGitOnlyWhatTheyCannotRead) {
    const std::string main = "ref: refs/heads/main\n";
    lay("shop/.git", main, {{"shop/.git/refs/heads/main", id}, {"shop/web/.git/", ""}});
    lay("fresh/.git", main);
    lay("slash/.git", "ref: refs/heads/feature/a\n",
        {{"slash/.git/packed-refs", "# pack-refs with: peeled\n" + id + " refs/heads/feature/a\n"}});
    lay("tools.git", main, {{"tools.git/refs/heads/main", id}});
    lay("super/.git/modules/lib", id, {{"super/lib/.git", "gitdir: ../.git/modules/lib\n"}});
    lay("junk/.git", "hello\n", {{"lost/.git", "gitdir: ../nowhere\n"}, {"odd/.git", "nonsense\n"}});
    const std::tuple<const char*, ProjectAndBranch, bool> cases[] = {
        {"shop/web", {"shop", "main"}, false},  // past the empty .git folder there
        {"fresh", {"fresh", nullopt}, false},   // unborn: git prints "HEAD"
        {"slash", {"slash", "feature/a"}, false}, {"tools.git/refs", {"tools", "main"}, false},
        {"super/lib", {"lib", nullopt}, false},   {"lost", {"lost", nullopt}, false},
        {"odd", {"scripted", "scripted"}, true},  {"junk", {"scripted", "scripted"}, true}};
    for (const auto& [cwd, expected, asksGit] : cases) {
        SCOPED_TRACE(cwd);
        int before = gitRuns;
        EXPECT_EQ(resolve(cwd), expected);
        EXPECT_EQ(gitRuns > before, asksGit);
    }
}

TEST_F(GitLayouts, AHeadThatIsAFifoGivesNoBranchWithoutBlocking) {
    std::filesystem::create_directories(home / "shop/.git/objects");
    std::filesystem::create_directories(home / "shop/.git/refs");
    ASSERT_EQ(mkfifo((home / "shop/.git/HEAD").c_str(), 0600), 0);
    auto result = std::async(std::launch::async, [&] { return resolve("shop"); });
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "resolving blocked on the FIFO";
        close(open((home / "shop/.git/HEAD").c_str(), O_WRONLY | O_NONBLOCK));  // lets a blocked open return
    }
    EXPECT_EQ(result.get(), (ProjectAndBranch{"shop", nullopt}));
    EXPECT_EQ(gitRuns, 0);
}

TEST_F(GitLayouts, AgreeWithRepositoriesThatGitMade) {
    if (access("/usr/bin/git", X_OK) != 0) GTEST_SKIP() << "git is not installed";
    const std::string script =
        "cd '" + home.path().string() +
        "' && export GIT_AUTHOR_NAME=t GIT_COMMITTER_NAME=t EMAIL=t@t.invalid && "
        "(mkdir shop && cd shop && git init -q -b main && git commit -q --allow-empty -m one && "
        "git commit -q --allow-empty -m two && git worktree add -q ../shop-login -b feature/login && "
        "git worktree add -q --detach ../shop-detached HEAD~1 && git pack-refs --all && "
        "cd ../shop-login && git commit -q --allow-empty -m three) >/dev/null 2>&1";  // a loose ref again
    ASSERT_EQ(std::system(script.c_str()), 0);

    EXPECT_EQ(resolve("shop"), (ProjectAndBranch{"shop", "main"}));
    EXPECT_EQ(resolve("shop-login"), (ProjectAndBranch{"shop", "feature/login"}));
    EXPECT_EQ(resolve("shop-detached"), (ProjectAndBranch{"shop", nullopt}));
    EXPECT_EQ(gitRuns, 0);
}

TEST_F(GitLayouts, TheCacheRemembersAFolderForThirtySecondsAndOnlyInTheUserArea) {
    Date now = Date{} + std::chrono::hours(1000);
    GitCache cache({scriptedGit, [&] { return now; }, home / "me"});
    for (const char* gitdir : {"me/shop/.git", "elsewhere/.git"})
        lay(gitdir, "ref: refs/heads/main\n", {{std::string(gitdir) + "/refs/heads/main", id}});

    EXPECT_EQ(cache.project(home / "me/shop"), (ProjectAndBranch{"shop", "main"}));
    home.write("me/shop/.git/HEAD", id);
    now += std::chrono::seconds(29);
    EXPECT_EQ(cache.project(home / "me/shop"), (ProjectAndBranch{"shop", "main"}));
    now += std::chrono::seconds(1);
    EXPECT_EQ(cache.project(home / "me/shop"), (ProjectAndBranch{"shop", nullopt}));
    for (std::optional<std::string> outside : {std::optional(home / "elsewhere"), {"/"}, {}})
        EXPECT_EQ(cache.project(outside), ProjectAndBranch{});
}

}  // namespace
}  // namespace tarvik
