// Clearing and trashing judged by where the bytes really lie: behind links, on other file systems,
// hard-linked from elsewhere, and in the data home's Trash.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "core/storage/StorageActions.hpp"
#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace StorageActions;
using std::nullopt;
namespace fs = std::filesystem;

const std::string block(64 * 1024, 'x');

XdgDirs::BaseDirs plain(const std::string& home) {
    return XdgDirs::of(home, test::fakeEnvironment());
}

std::string contents(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(StorageActionsPlaces, LeavesACacheWhoseLinkLeadsOutOfTheHomeFolder) {
    test::TempDir home, outside;
    const std::string h = home.path().string(), away = fs::canonical(outside.path()).string();
    outside.write("cargo/registry/index/a", block);
    home.link(".cargo", away + "/cargo");
    home.write("real/pip/a", block);
    home.link(".cache/pip", h);  // the home folder itself
    StorageReport report;
    report.clearable = StorageScanner::clearable(h, plain(h), 0);
    const std::pair<std::string, std::string> cases[] = {
        {h + "/.cargo/registry", "Nothing in Cargo downloads was removed: it lives at " + away +
                                     "/cargo/registry, outside your home folder."},
        {h + "/.cache/pip", "Nothing in pip downloads was removed: it lives at " +
                                fs::canonical(home.path()).string() + ", outside your home folder."},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(removeCache(path, report, h), (Result{false, message, 0, nullopt}));
    }
    EXPECT_EQ(contents(away + "/cargo/registry/index/a"), block);
    EXPECT_EQ(contents(h + "/real/pip/a"), block);
}

TEST(StorageActionsPlaces, ClearsACacheLinkedWithinTheHomeFolderAtItsRealPlace) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write("disks/m2/repository/org/a.jar", block);
    home.link(".m2", h + "/disks/m2");
    StorageReport report;
    report.clearable = StorageScanner::clearable(h, plain(h), 0);
    auto result = removeCache(h + "/.m2/repository", report, h);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(fs::exists(h + "/disks/m2/repository"));
    EXPECT_TRUE(fs::is_symlink(h + "/.m2"));
}

TEST(StorageActionsPlaces, ClaimsOnlyTheBytesAClearFrees) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write(".cache/pnpm/a", block);
    home.write(".cache/pnpm/b", block);
    fs::create_directories(h + "/project");
    fs::create_hard_link(h + "/.cache/pnpm/a", h + "/project/a");
    StorageReport report;
    report.clearable = StorageScanner::clearable(h, plain(h), 0);
    ASSERT_EQ(report.clearable.size(), 1u);
    const auto& item = report.clearable[0];
    ASSERT_GT(item.sharedBytes, 0u);
    auto result = removeCache(h + "/.cache/pnpm", report, h);
    EXPECT_EQ(result, (Result{true, "Cleared pnpm cache.", item.bytes - item.sharedBytes, nullopt}));
    EXPECT_EQ(contents(h + "/project/a"), block);
}

// Runs `body` in a child process and gives its exit code (-1 when it did not exit).
int inChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(StorageActionsPlaces, LeavesACacheOnAnotherFileSystemInsideTheHomeFolder) {
    test::TempDir home;
    const std::string h = home.path().string(), disk = fs::canonical(home.path()).string() + "/disk";
    fs::create_directories(disk);
    home.link(".cargo", disk + "/cargo");
    // The mount lives in the child's own mount namespace and goes with it.
    int code = inChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8m") != 0)
            return 77;
        fs::create_directories(disk + "/cargo/registry");
        std::ofstream(disk + "/cargo/registry/a") << block;
        StorageReport report;
        report.clearable = StorageScanner::clearable(h, plain(h), 0);
        if (report.clearable.size() != 1 || report.clearable[0].place != StorageItem::Place::otherFileSystem)
            return 1;
        auto result = removeCache(h + "/.cargo/registry", report, h);
        if (result != Result{false,
                             "Nothing in Cargo downloads was removed: it lives at " + disk +
                                 "/cargo/registry, on another file system than your home folder.",
                             0, nullopt})
            return 2;
        return contents(disk + "/cargo/registry/a") == block ? 0 : 3;
    });
    if (code == 77) GTEST_SKIP() << "mounting a file system in a private namespace needs root here";
    EXPECT_EQ(code, 0);
}

TEST(StorageActionsPlaces, TrashesAFileWhereItReallyLiesAndNeverOneOutsideHome) {
    test::TempDir home, outside;
    const std::string h = home.path().string(), real = fs::canonical(home.path()).string();
    home.write("media/films/big.mkv", "film");
    home.link("films", h + "/media/films");
    outside.write("big.iso", "iso");
    home.link("elsewhere", outside.path().string());
    StorageReport report;
    report.largeFiles = {StorageScanner::largeFileItem(h + "/media/films/big.mkv", 4, nullopt, h),
                         StorageScanner::largeFileItem(h + "/elsewhere/big.iso", 3, nullopt, h)};
    // The data home is set elsewhere in the home folder, where the file managers look.
    auto dirs = XdgDirs::of(h, test::fakeEnvironment({{"XDG_DATA_HOME", h + "/data"}}));
    EXPECT_EQ(moveToTrash(h + "/films/big.mkv", report, h, dirs, {}),
              (Result{true, "Moved big.mkv to the Trash.", 4, h + "/data/Trash/files/big.mkv"}));
    EXPECT_EQ(contents(h + "/data/Trash/files/big.mkv"), "film");
    EXPECT_NE(
        contents(h + "/data/Trash/info/big.mkv.trashinfo").find("Path=" + real + "/media/films/big.mkv\n"),
        std::string::npos);
    EXPECT_FALSE(fs::exists(h + "/.local/share/Trash"));

    EXPECT_EQ(moveToTrash(h + "/elsewhere/big.iso", report, h, dirs, {}),
              (Result{false,
                      "Nothing was moved: it lives at " + fs::canonical(outside / "big.iso").string() +
                          ", outside your home folder.",
                      0, nullopt}));
    EXPECT_EQ(contents(outside / "big.iso"), "iso");
}

}  // namespace
}  // namespace tarvik
