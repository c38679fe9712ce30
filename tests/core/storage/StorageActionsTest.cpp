#include "core/storage/StorageActions.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace StorageActions;
using Kind = StorageItem::Kind;
using std::nullopt;
namespace fs = std::filesystem;

std::string contents(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

StorageItem cacheItem(const std::string& path, Kind kind = Kind::regenerable()) {
    return {path, "npm downloads", "", 4096, std::move(kind), nullopt, false};
}

TEST(StorageActions, RemovesAListedCacheWithoutFollowingItsLinks) {
    test::TempDir outside;
    outside.write("keep.txt", "precious");
    test::TempDir home;
    const std::string h = home.path().string();
    home.write(".npm/_cacache/content/a", "x");
    home.link(".npm/_cacache/out", outside.path().string());
    StorageReport report;
    report.clearable = {cacheItem(h + "/.npm/_cacache")};
    EXPECT_EQ(removeCache(h + "/.npm/_cacache/", report, h),
              (Result{true, "Cleared npm downloads.", 4096, nullopt}));
    EXPECT_FALSE(fs::exists(h + "/.npm/_cacache"));
    EXPECT_EQ(contents(outside / "keep.txt"), "precious");
}

TEST(StorageActions, RefusesWhatTheScanDidNotOfferOrThatLiesOutsideHome) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write("Library/Developer/Xcode/Archives/a", "x");
    StorageReport report;
    report.clearable = {cacheItem(h + "/Library/Developer/Xcode/Archives", Kind::personal()),
                        cacheItem("/etc")};
    report.largeFiles = {{"/etc/passwd", "passwd", "/etc", 1, Kind::personal(), nullopt, true}};
    const std::pair<Result, std::string> cases[] = {
        {removeCache("/etc", report, h), "Not cleared: /etc is outside your home folder."},
        {removeCache(h + "/../etc", report, h), "Not cleared: " + h + "/../etc is outside your home folder."},
        {removeCache(h, report, h), "Not cleared: " + h + " is outside your home folder."},
        {removeCache(h + "/.cache/pip", report, h),
         "Not cleared: " + h + "/.cache/pip isn't one of the caches the scan found."},
        {removeCache(h + "/Library/Developer/Xcode/Archives", report, h),
         "Not cleared: npm downloads isn't rebuilt by its tools. Remove it yourself if you no longer need "
         "it."},
        {moveToTrash("/etc/passwd", report, h, {}), "Not moved: /etc/passwd is outside your home folder."},
        {moveToTrash(h + "/x", report, h, {}),
         "Not moved: " + h + "/x isn't one of the large files the scan found."},
    };
    for (const auto& [result, message] : cases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(result, (Result{false, message, 0, nullopt}));
    }
    EXPECT_TRUE(fs::exists(h + "/Library/Developer/Xcode/Archives/a"));
    EXPECT_TRUE(fs::exists("/etc/passwd"));
}

TEST(StorageActions, MovesALargeFileToTheTrashWithItsInfoFileUnderAFreeName) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write("Movies/my film.mov", "first");
    home.write("Downloads/my film.mov", "second");
    StorageReport report;
    for (const auto* folder : {"Movies", "Downloads"})
        report.largeFiles.push_back(
            StorageScanner::largeFileItem(h + "/" + folder + "/my film.mov", 5, nullopt, h));
    auto now = std::chrono::system_clock::from_time_t(1700000000);
    const std::string trash = h + "/.local/share/Trash";
    EXPECT_EQ(moveToTrash(h + "/Movies/my film.mov", report, h, now),
              (Result{true, "Moved my film.mov to the Trash.", 5, trash + "/files/my film.mov"}));
    EXPECT_EQ(moveToTrash(h + "/Downloads/my film.mov", report, h, now),
              (Result{true, "Moved my film.mov to the Trash.", 5, trash + "/files/my film 2.mov"}));
    EXPECT_EQ(contents(trash + "/files/my film.mov"), "first");
    EXPECT_EQ(contents(trash + "/files/my film 2.mov"), "second");
    EXPECT_EQ(contents(trash + "/info/my film.mov.trashinfo"), trashInfo(h + "/Movies/my film.mov", now));
    EXPECT_EQ(contents(trash + "/info/my film 2.mov.trashinfo"),
              trashInfo(h + "/Downloads/my film.mov", now));
    EXPECT_FALSE(fs::exists(h + "/Movies/my film.mov"));
    EXPECT_EQ(moveToTrash(h + "/Movies/my film.mov", report, h, now),
              (Result{false, "Couldn't move my film.mov to the Trash. Use Show in Files and drag it there.",
                      0, nullopt}));
}

TEST(StorageActions, WritesTheInfoFileTheTrashWants) {
    const char* saved = std::getenv("TZ");
    std::string previous = saved ? saved : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(trashInfo("/home/a/my film ü%.mov", std::chrono::system_clock::from_time_t(1700000000)),
              "[Trash Info]\nPath=/home/a/my%20film%20%C3%BC%25.mov\nDeletionDate=2023-11-14T22:13:20\n");
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(StorageActions, ReadsDockersReclaimedLine) {
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"Deleted Containers:\nabc\n\nTotal reclaimed space: 1.5GB\n", 1'500'000'000},
        {"Total reclaimed space: 0B\n", 0},
        {"Total reclaimed space: 12.3kB\r\n", 12'300},
        {"Total reclaimed space: lots\n", nullopt},
        {"nothing\n", nullopt},
    };
    for (const auto& [output, bytes] : cases) {
        SCOPED_TRACE(output);
        EXPECT_EQ(parseReclaimed(output), bytes);
    }
}

TEST(StorageActions, RunsTheDockerCleanUpAndSaysWhenDockerIsNotRunning) {
    test::TempDir bin;
    bin.write("docker",
              "#!/bin/sh\n[ \"$*\" = 'system prune -f' ] || exit 3\necho 'Total reclaimed space: 2MB'\n");
    bin.write("stopped", "#!/bin/sh\necho 'Cannot connect to the Docker daemon' >&2\nexit 1\n");
    for (const auto* name : {"docker", "stopped"}) fs::permissions(bin / name, fs::perms::owner_all);
    EXPECT_EQ(cleanUpDocker(bin / "docker"), (Result{true, "Docker cleaned up.", 2'000'000, nullopt}));
    EXPECT_EQ(cleanUpDocker(bin / "stopped"),
              (Result{false, "Docker isn't running. Open Docker and try again.", 0, nullopt}));
}

}  // namespace
}  // namespace tarvik
