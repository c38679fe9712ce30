#include "core/servers/GitProject.hpp"

#include <gtest/gtest.h>

#include <filesystem>

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
        {"/Users/anna/code/shop/.git\n", "/Users/anna/code/shop", "shop"},
        {"/Users/anna/repos/tools.git\n", "/Users/anna/repos/tools.git", "tools"},
        {"  /Users/anna/code/shop-feature/../shop/.git  ", "/Users/anna/code/shop-feature/../shop", "shop"},
        {".git\n", nullopt, nullopt},
        {"", nullopt, nullopt},
        {"fatal: not a git repository\n", nullopt, nullopt},
        {"/Users/anna/.git\n", "/Users/anna", nullopt},  // a home under git is not a project
        {"/.git", "/", nullopt},
    };
    for (const auto& [output, root, name] : cases) {
        SCOPED_TRACE(output);
        EXPECT_EQ(GitProject::root(output), root);
        EXPECT_EQ(GitProject::name(output, "/Users/anna"), name);
    }
}

TEST(GitProject, FallsBackToTheFolderNameOnlyInsideTheHome) {
    const std::pair<std::optional<std::string>, std::optional<std::string>> cases[] = {
        {"/Users/anna/sites/blog", "blog"},
        {"/Users/anna/Library/Application Support/x", nullopt},
        {"/Users/anna/.config/x", nullopt},
        {"/opt/app", nullopt},
        {"/Users/anna", nullopt},
        {"/Users/annabel/x", nullopt},
        {"/", nullopt},
        {nullopt, nullopt},
    };
    for (const auto& [cwd, name] : cases) {
        SCOPED_TRACE(cwd.value_or("nil"));
        EXPECT_EQ(ProjectName::folderFallback(cwd, "/Users/anna"), name);
    }
}

// git runs are counted through the runner; time moves only when the test moves it.
TEST(GitCache, RemembersAFolderForThirtySecondsAndOnlyInTheUserArea) {
    int runs = 0;
    Date now = Date{} + std::chrono::hours(1000);
    GitCache cache({[&](const std::string&, const std::vector<std::string>& args) {
                        ++runs;
                        bool head = std::find(args.begin(), args.end(), "HEAD") != args.end();
                        return Spawn::Result{head ? "main\n" : "/home/anna/shop/.git\n", 0, false};
                    },
                    [&] { return now; }, "/home/anna"});

    EXPECT_EQ(cache.project("/home/anna/shop"), (ProjectAndBranch{"shop", "main"}));
    EXPECT_EQ(runs, 2);
    now += std::chrono::seconds(29);
    EXPECT_EQ(cache.project("/home/anna/shop"), (ProjectAndBranch{"shop", "main"}));
    EXPECT_EQ(runs, 2) << "within 30 seconds git is not run again";
    now += std::chrono::seconds(1);
    (void)cache.project("/home/anna/shop");
    EXPECT_EQ(runs, 4);

    for (std::optional<std::string> outside : {std::optional<std::string>("/opt/shop"), {"/"}, {}})
        EXPECT_EQ(cache.project(outside), ProjectAndBranch{});
    EXPECT_EQ(runs, 4) << "folders outside the user area are never resolved";
}

// Real repositories made by the test under a home folder of its own.
class GitRepositories : public ::testing::Test {
protected:
    test::TempDir home;

    void git(const std::filesystem::path& where, const std::string& command) {
        std::string line = "cd '" + where.string() + "' && git -c user.name=t -c user.email=t@t.invalid " +
                           command + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }
    ProjectAndBranch resolve(const std::filesystem::path& cwd) {
        GitCache cache({{}, {}, home.path().string()});  // fresh: nothing remembered from other tests
        return cache.project(cwd.string());
    }
};

TEST_F(GitRepositories, ResolveProjectsAndBranchesAsGitSeesThem) {
    auto shop = home.path() / "shop";
    std::filesystem::create_directories(shop / "web");
    git(shop, "init -q -b main");
    git(shop, "commit -q --allow-empty -m one");
    git(shop, "commit -q --allow-empty -m two");
    git(shop, "worktree add -q ../shop-login -b feature/login");
    git(shop, "worktree add -q --detach ../shop-detached HEAD~1");
    git(home.path(), "init -q --bare tools.git");
    std::filesystem::create_directories(home.path() / "notes/drafts");

    EXPECT_EQ(resolve(shop), (ProjectAndBranch{"shop", "main"}));
    EXPECT_EQ(resolve(shop / "web"), (ProjectAndBranch{"shop", "main"}));
    EXPECT_EQ(resolve(home.path() / "shop-login"), (ProjectAndBranch{"shop", "feature/login"}));
    EXPECT_EQ(resolve(home.path() / "shop-detached"), (ProjectAndBranch{"shop", nullopt}));
    EXPECT_EQ(resolve(home.path() / "tools.git"), (ProjectAndBranch{"tools", nullopt}));
    EXPECT_EQ(resolve(home.path() / "notes/drafts"), (ProjectAndBranch{"drafts", nullopt}));
    std::filesystem::create_directories(home.path() / ".hidden/thing");
    EXPECT_EQ(resolve(home.path() / ".hidden/thing"), ProjectAndBranch{});
}

}  // namespace
}  // namespace tarvik
