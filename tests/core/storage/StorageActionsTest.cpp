#include "core/storage/StorageActions.hpp"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>

#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace StorageActions;
using Kind = StorageItem::Kind;
using std::nullopt;
namespace fs = std::filesystem;
using test::plainDirs;

StorageItem cacheItem(const std::string& path, Kind kind = Kind::regenerable()) {
    return {path, "npm downloads", "", 4096, std::move(kind), nullopt, false};
}

// Runs `body` in a child process and gives its exit code (-1 when it did not exit).
int inChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// `inChild` as the user: as root, who may remove anything, the child first becomes the user nobody,
// and `home` is handed over to nobody but for folders named root-owned.
int asUser(const test::TempDir& home, const std::function<int()>& body) {
    constexpr uid_t nobody = 65534;
    if (geteuid() == 0)
        for (const auto& entry : fs::recursive_directory_iterator(home.path()))
            if (entry.path().string().find("root-owned") == std::string::npos &&
                lchown(entry.path().c_str(), nobody, nobody) != 0)
                return -1;
    if (geteuid() == 0 && chown(home.path().c_str(), nobody, nobody) != 0) return -1;
    return inChild(
        [&] { return geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0) ? 100 : body(); });
}

TEST(StorageActions, ClearsAReadOnlyCacheWholeOrLeavesItAsItWas) {
    for (bool foreignFolder : {false, true}) {
        SCOPED_TRACE(foreignFolder ? "with another user's folder inside" : "all the user's own");
        if (foreignFolder && geteuid() != 0) GTEST_SKIP() << "making another user's folder needs root";
        test::TempDir home;
        const std::string h = home.path().string(), cache = h + "/go/pkg/mod";
        home.write("go/pkg/mod/cache/download/list", "v1");
        home.write("go/pkg/mod/example.com/m@v1/m.go", "package m");
        if (foreignFolder) home.write("go/pkg/mod/root-owned/x", "x");
        const std::string expected =
            foreignFolder ? "Not cleared: " + cache +
                                "/root-owned belongs to another user. Nothing in Go modules was removed."
                          : "Cleared Go modules.";
        int code = asUser(home, [&] {
            // As the go command leaves its module folders: read-only.
            for (const auto* folder : {"/example.com/m@v1", "/example.com"})
                if (chmod((cache + folder).c_str(), 0555) != 0) return 10;
            StorageReport report;
            report.clearable = StorageScanner::clearable(h, 0);
            auto result = removeCache(cache, report, h);
            return result.message == expected && result.ok == !fs::exists(cache) ? 0 : 1;
        });
        EXPECT_EQ(code, 0);
        if (foreignFolder) {
            EXPECT_EQ(test::readFile(cache + "/example.com/m@v1/m.go"), "package m");
            EXPECT_EQ(test::readFile(cache + "/cache/download/list"), "v1");
            EXPECT_EQ(fs::status(cache + "/example.com").permissions(), static_cast<fs::perms>(0555));
        }
    }
}

TEST(StorageActions, RefusesWhatTheScanDidNotOfferOrThatLiesOutsideHome) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write("Pictures/Archives/a", "x");
    StorageReport report;
    report.clearable = {cacheItem(h + "/Pictures/Archives", Kind::personal()), cacheItem("/etc")};
    report.largeFiles = {{"/etc/passwd", "passwd", "/etc", 1, Kind::personal(), nullopt, true}};
    const std::pair<Result, std::string> cases[] = {
        {removeCache("/etc", report, h), "Not cleared: /etc is outside your home folder."},
        {removeCache(h + "/../etc", report, h), "Not cleared: " + h + "/../etc is outside your home folder."},
        {removeCache(h, report, h), "Not cleared: " + h + " is outside your home folder."},
        {removeCache(h + "/.cache/pip", report, h),
         "Not cleared: " + h + "/.cache/pip isn't one of the caches the scan found."},
        {removeCache(h + "/Pictures/Archives", report, h),
         "Not cleared: npm downloads isn't rebuilt by its tools. Remove it yourself if you no longer need "
         "it."},
        {moveToTrash("/etc/passwd", report, h, {}), "Not moved: /etc/passwd is outside your home folder."},
        {moveToTrash(h + "/x", report, h, {}),
         "Not moved: " + h + "/x isn't one of the large files the scan found."}};
    for (const auto& [result, message] : cases)
        EXPECT_EQ(result, (Result{false, message, 0, nullopt})) << message;
    EXPECT_TRUE(fs::exists(h + "/Pictures/Archives/a"));
    EXPECT_TRUE(fs::exists("/etc/passwd"));
}

TEST(StorageActions, NeverFollowsALinkedTrashNorChangesAFolderItDidNotMake) {
    for (const char* linked : {".local/share/Trash", ".local/share", ".local/share/Trash/files"}) {
        SCOPED_TRACE(linked);
        test::TempDir home, elsewhere;
        const std::string h = home.path().string();
        fs::permissions(elsewhere.path(), static_cast<fs::perms>(0755));
        fs::create_directories(h + "/.local/share/Trash/info");
        fs::remove_all(h + "/" + linked);
        home.link(linked, elsewhere.path().string());
        home.write("big.iso", "data");
        StorageReport report;
        report.largeFiles = {StorageScanner::largeFileItem(h + "/big.iso", 4, nullopt, h)};
        EXPECT_FALSE(moveToTrash(h + "/big.iso", report, h, {}).ok);
        EXPECT_EQ(test::readFile(h + "/big.iso"), "data");
        EXPECT_EQ(fs::status(elsewhere.path()).permissions(), static_cast<fs::perms>(0755));
        EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    }
}

TEST(StorageActions, RunsTheDockerCleanUpReadsWhatItReclaimedAndSaysWhenDockerIsNotRunning) {
    test::TempDir bin;
    const std::pair<const char*, const char*> scripts[] = {
        {"docker", "[ \"$*\" = 'system prune -f' ] || exit 3\necho 'Total reclaimed space: 2MB'\necho\n"},
        {"quiet", "exit 0\n"},
        {"stopped", "echo 'Cannot connect to the Docker daemon' >&2\nexit 1\n"}};
    for (const auto& [name, script] : scripts) {
        bin.write(name, std::string("#!/bin/sh\n") + script);
        fs::permissions(bin / name, fs::perms::owner_all);
    }
    EXPECT_EQ(cleanUpDocker(bin / "docker"),
              (Result{true, "Total reclaimed space: 2MB", 2'000'000, nullopt}));
    EXPECT_EQ(cleanUpDocker(bin / "quiet"), (Result{true, "Docker cleaned up.", 0, nullopt}));
    EXPECT_EQ(cleanUpDocker(bin / "stopped"),
              (Result{false, "Docker isn't running. Open Docker and try again.", 0, nullopt}));
}

const std::string block(64 * 1024, 'x');

// Nothing on another file system is measured or cleared: neither one mounted inside a cache nor a
// cache that a link leads onto one. The mounts live in the child's own mount namespace.
TEST(StorageActionsPlaces, NeitherMeasuresNorClearsAnotherFileSystem) {
    test::TempDir home;
    const std::string h = home.path().string(), goBuild = h + "/.cache/go-build",
                      disk = fs::canonical(home.path()).string() + "/disk";
    home.write(".cache/go-build/00/a", "x");
    fs::create_directories(goBuild + "/mounted");
    fs::create_directories(disk);
    home.link(".cargo", disk + "/cargo");
    int code = inChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return 77;
        for (const std::string& at : {goBuild + "/mounted", disk})
            if (mount("tmpfs", at.c_str(), "tmpfs", 0, "size=8m") != 0) return 77;
        std::ofstream(goBuild + "/mounted/keep") << std::string(2 << 20, 'k');
        fs::create_directories(disk + "/cargo/registry");
        std::ofstream(disk + "/cargo/registry/a") << block;
        StorageReport report;
        report.clearable = StorageScanner::clearable(h, plainDirs(h), 0);
        // Largest first: the registry, then the build cache without what is mounted in it.
        const auto& items = report.clearable;
        if (items.size() != 2 || items[0].place != StorageItem::Place::otherFileSystem ||
            items[1].bytes >= (1u << 20))
            return 1;
        if (removeCache(goBuild, report, h) !=
            Result{false,
                   "Not cleared: another file system is mounted at " + goBuild +
                       "/mounted. Nothing in Go build cache was removed.",
                   0, nullopt})
            return 2;
        if (removeCache(h + "/.cargo/registry", report, h) !=
            Result{false,
                   "Nothing in Cargo downloads was removed: it lives at " + disk +
                       "/cargo/registry, on another file system than your home folder.",
                   0, nullopt})
            return 3;
        return fs::file_size(goBuild + "/mounted/keep") == (2u << 20) &&
                       test::readFile(goBuild + "/00/a") == "x" &&
                       test::readFile(disk + "/cargo/registry/a") == block
                   ? 0
                   : 4;
    });
    if (code == 77) GTEST_SKIP() << "mounting a file system in a private namespace needs root here";
    EXPECT_EQ(code, 0);
}

// The scan tells where each linked cache lies: out of the home folder, within it, or at the home
// folder itself. One within is cleared at its real place, and a link inside it is removed, never
// followed; one outside, or the home folder itself, is left be.
TEST(StorageActionsPlaces, ClearsALinkedCacheAtItsRealPlaceButNeverOneOutsideHomeNorHomeItself) {
    test::TempDir home, outside;
    const std::string h = home.path().string(), real = fs::canonical(home.path()).string(),
                      away = fs::canonical(outside.path()).string();
    outside.write("keep.txt", "precious");
    outside.write("cargo/registry/a", block);
    home.link(".cargo", away + "/cargo");
    home.write("disks/m2/repository/org/a.jar", block);
    home.link("disks/m2/repository/out", away);
    home.link(".m2", h + "/disks/m2");
    home.link(".cache/pip", h);
    home.write(".npm/_cacache/a", block);
    StorageReport report;
    report.clearable = StorageScanner::clearable(h, plainDirs(h), 0);
    // Each with where it lies, and whether its bytes were measured there.
    using Place = StorageItem::Place;
    std::map<std::string, std::tuple<std::optional<std::string>, Place, bool>> places;
    for (const auto& item : report.clearable)
        places[item.path] = {item.realPath, item.place, item.bytes >= block.size()};
    EXPECT_EQ(places, (decltype(places){
                          {h + "/.cargo/registry", {away + "/cargo/registry", Place::outsideHome, true}},
                          {h + "/.m2/repository", {real + "/disks/m2/repository", Place::home, true}},
                          {h + "/.cache/pip", {real, Place::outsideHome, true}},
                          {h + "/.npm/_cacache", {nullopt, Place::home, true}}}));

    const std::pair<std::string, std::string> refused[] = {
        {"/.cargo/registry", "Cargo downloads was removed: it lives at " + away + "/cargo/registry"},
        {"/.cache/pip", "pip downloads was removed: it lives at " + real}};
    for (const auto& [path, message] : refused)
        EXPECT_EQ(removeCache(h + path, report, h),
                  (Result{false, "Nothing in " + message + ", outside your home folder.", 0, nullopt}));
    EXPECT_EQ(test::readFile(away + "/cargo/registry/a"), block);
    auto result = removeCache(h + "/.m2/repository/", report, h);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(fs::exists(h + "/disks/m2/repository"));
    EXPECT_TRUE(fs::is_symlink(h + "/.m2"));
    EXPECT_EQ(test::readFile(outside / "keep.txt"), "precious");
}

// The file is moved where it really lies, past links, into the data home's Trash under a free name
// beside its info file; the data home is set elsewhere in the home folder, where the file managers
// look. A file that lies outside the home folder stays.
TEST(StorageActionsPlaces, TrashesAFileWhereItReallyLiesUnderAFreeNameAndNeverOneOutsideHome) {
    test::TempDir home, outside;
    const std::string h = home.path().string(), real = fs::canonical(home.path()).string(),
                      trash = h + "/data/Trash", name = "my film ü%.mov";
    const auto dirs = XdgDirs::of(h, test::fakeEnvironment({{"XDG_DATA_HOME", h + "/data"}}));
    StorageReport report;
    for (const std::string folder : {"Movies", "Downloads"}) {
        home.write("media/" + folder + "/" + name, folder);
        report.largeFiles.push_back(
            StorageScanner::largeFileItem(h + "/media/" + folder + "/" + name, 5, nullopt, h));
    }
    home.link("films", h + "/media");
    outside.write("big.iso", "iso");
    home.link("elsewhere", outside.path().string());
    report.largeFiles.push_back(StorageScanner::largeFileItem(h + "/elsewhere/big.iso", 3, nullopt, h));
    std::tm local{20, 13, 22, 14, 10, 123, 0, 0, -1};  // 2023-11-14 22:13:20, local time
    const auto now = std::chrono::system_clock::from_time_t(std::mktime(&local));
    for (auto [folder, trashed] :
         {std::pair{"Movies", "my film ü%.mov"}, {"Downloads", "my film ü% 2.mov"}}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(moveToTrash(h + "/films/" + folder + "/" + name, report, h, dirs, now),
                  (Result{true, "Moved my film ü%.mov to the Trash.", 5, trash + "/files/" + trashed}));
        EXPECT_EQ(test::readFile(trash + "/files/" + trashed), folder);
        EXPECT_EQ(test::readFile(trash + "/info/" + trashed + ".trashinfo"),
                  "[Trash Info]\nPath=" + real + "/media/" + folder +
                      "/my%20film%20%C3%BC%25.mov\nDeletionDate=2023-11-14T22:13:20\n");
    }
    EXPECT_EQ(fs::status(trash).permissions(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(h + "/.local/share/Trash"));
    EXPECT_EQ(
        moveToTrash(h + "/media/Movies/" + name, report, h, dirs, now),
        (Result{false, "Couldn't move my film ü%.mov to the Trash. Use Show in Files and drag it there.", 0,
                nullopt}));
    EXPECT_EQ(moveToTrash(h + "/elsewhere/big.iso", report, h, dirs, {}),
              (Result{false,
                      "Nothing was moved: it lives at " + fs::canonical(outside / "big.iso").string() +
                          ", outside your home folder.",
                      0, nullopt}));
    EXPECT_EQ(test::readFile(outside / "big.iso"), "iso");
}

}  // namespace
}  // namespace tarvik
