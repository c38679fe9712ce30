#include "core/storage/StorageScanner.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "core/support/Paths.hpp"
#include "core/support/Spawn.hpp"
#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace StorageScanner;
using Kind = StorageItem::Kind;
using std::nullopt;

const Location& row(std::string_view path) {
    for (const auto& location : locations())
        if (location.path == path) return location;
    throw std::logic_error("no row " + std::string(path));
}

StorageItem cache(const std::string& home, const Location& row, std::uint64_t bytes) {
    return {expand(row.path, home, XdgDirs::of(home, test::fakeEnvironment())),
            row.title,
            row.detail,
            bytes,
            row.kind,
            nullopt,
            false};
}

// The home's XDG folders with nothing set, whatever the test's own environment says.
XdgDirs::BaseDirs plain(const std::string& home) {
    return XdgDirs::of(home, test::fakeEnvironment());
}

std::uint64_t duBytes(const std::string& path) {
    return parseDu(Spawn::run("/usr/bin/du", {"-sk", path}).output).at(path);
}

TEST(StorageScanner, ParsesDuOutput) {
    const std::pair<const char*, std::map<std::string, std::uint64_t>> cases[] = {
        {"123\t/Users/a/Library/Caches/Yarn\n", {{"/Users/a/Library/Caches/Yarn", 125952}}},
        {"abc\t/x\nno tab here\n4\t/y\n\n", {{"/y", 4096}}},
        {" 1 \t/z\n2\t/z\n3\t/a\tb\n", {{"/z", 2048}}},
    };
    for (const auto& [output, sizes] : cases) EXPECT_EQ(parseDu(output), sizes) << output;
}

TEST(StorageScanner, KnowsFilesInsideBundles) {
    EXPECT_TRUE(isInsideBundle("/Users/a/Applications/Big.app/Contents/data.bin"));
    EXPECT_TRUE(isInsideBundle("/Users/a/Pictures/P.photoslibrary/originals/1.heic"));
    EXPECT_FALSE(isInsideBundle("/Users/a/Movies/film.mov"));
    EXPECT_FALSE(isInsideBundle("/Users/a/Downloads/Tool.app"));
}

TEST(StorageScanner, NamesTheOwnerByDataFolder) {
    const std::string home = "/home/a";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {home + "/Library/Application Support/Slack/Cache/x", "Slack"},
        {home + "/Library/Group Containers/group.com.example.Notes/db", "Notes"},
        {home + "/Library/Caches/com.apple.mail/x", "com.apple.mail"},
        {home + "/Library/Mail/V10/x", nullopt},
        {home + "/.local/share/Steam/steamapps/game.pak", "Steam"},
        {home + "/.var/app/org.mozilla.firefox/cache/x", "firefox"},
        {home + "/.docker/desktop/vms/0/data/Docker.raw", "Docker"},
        {"/srv/Library/Caches/App/x", nullopt},
    };
    for (const auto& [path, app] : cases) EXPECT_EQ(owner(path, home), app) << path;
    // Applications keep their data in the XDG data and config homes wherever those are set.
    auto dirs = XdgDirs::of(
        home, test::fakeEnvironment({{"XDG_DATA_HOME", "/data/a"}, {"XDG_CONFIG_HOME", "/etc/a"}}));
    const std::pair<std::string, std::optional<std::string>> moved[] = {
        {"/data/a/Steam/steamapps/game.pak", "Steam"},
        {"/etc/a/Slack/Cache/blob", "Slack"},
        {"/data/a/loose.bin", nullopt},
        {home + "/.local/share/Steam/x", "Steam"},
    };
    for (const auto& [path, app] : moved) EXPECT_EQ(owner(path, home, dirs), app) << path;
}

TEST(StorageScanner, CountsOnlyWhatToolsRebuildAndHoldsNoPurgeableSpace) {
    StorageReport report;
    report.clearable = {{"/a", "a", "", 2'000'000'000, Kind::regenerable(), nullopt, false},
                        {"/b", "b", "", 1'000'000'000, Kind::personal(), nullopt, false},
                        {"/c", "c", "", 3'000'000'000, Kind::simulators(), nullopt, false},
                        {"/d", "d", "", 7, Kind::appData("Docker"), nullopt, false}};
    EXPECT_EQ(report.clearableBytes(), 5'000'000'000u);
    EXPECT_EQ(purgeable(100, 100), 0u);
    EXPECT_EQ(purgeable(100, 150), 50u);
    EXPECT_EQ(purgeable(nullopt, 150), 0u);
    EXPECT_EQ(purgeable(), 0u);
}

TEST(StorageScanner, ListsCachesFromTheMinimumUpLargestFirstInTableOrderWhenEqual) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write(".cache/pip/a", std::string(200 * 1024, 'x'));  // equal to the Yarn one below
    home.write("Library/Caches/Yarn/a", std::string(200 * 1024, 'x'));
    home.write(".npm/_cacache/a", std::string(400 * 1024, 'x'));
    home.write(".cargo/registry/a", std::string(16 * 1024, 'x'));  // under the minimum
    auto minimum = duBytes(h + "/Library/Caches/Yarn");
    ASSERT_EQ(duBytes(h + "/.cache/pip"), minimum);
    auto npm = duBytes(h + "/.npm/_cacache");
    EXPECT_EQ(clearable(h, plain(h), minimum),
              (std::vector<StorageItem>{cache(h, row("~/.npm/_cacache"), npm),
                                        cache(h, row("~/Library/Caches/Yarn"), minimum),
                                        cache(h, row("$XDG_CACHE_HOME/pip"), minimum)}));
    EXPECT_EQ(clearable(h, plain(h), minimum + 1),
              (std::vector<StorageItem>{cache(h, row("~/.npm/_cacache"), npm)}));
    test::TempDir empty;
    EXPECT_EQ(clearable(empty.path().string(), plain(empty.path().string()), 0), std::vector<StorageItem>{});
}

StorageItem onDisk(const std::string& path, const std::string& home) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    auto accessed = std::chrono::system_clock::from_time_t(info.st_atim.tv_sec) +
                    std::chrono::duration_cast<std::chrono::system_clock::duration>(
                        std::chrono::nanoseconds(info.st_atim.tv_nsec));
    return largeFileItem(path, static_cast<std::uint64_t>(info.st_blocks) * 512, accessed, home);
}

// Gives up, for the calling thread only, the capabilities that let root open any folder, so that
// file modes bind root as they bind every other user.
void dropFolderOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct capabilities[2]{};
    if (syscall(SYS_capget, &header, capabilities) != 0) return;
    for (unsigned capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        capabilities[capability / 32].effective &= ~(1u << (capability % 32));
    syscall(SYS_capset, &header, capabilities);
}

TEST(StorageScanner, WalksTheHomeForLargeFilesSkippingBundlesCachesLinksAndLockedFolders) {
    test::TempDir outside, home;
    outside.write("huge.bin", std::string(512 * 1024, 'x'));
    const std::string h = home.path().string();
    home.write("Movies/film.mov", std::string(300 * 1024, 'x'));
    home.write("Downloads/disk.iso", std::string(200 * 1024, 'x'));
    home.write(".config/Slack/Cache/blob", std::string(250 * 1024, 'x'));
    home.write("future.bin", std::string(150 * 1024, 'x'));
    home.write("notes.txt", std::string(10 * 1024, 'x'));
    for (const char* skipped :
         {"Applications/Big.app/Contents/data.bin", "Pictures/Mine.photoslibrary/originals/1.heic",
          ".npm/_cacache/content/big", ".local/share/Trash/files/gone.bin", "locked/big.bin"})
        home.write(skipped, std::string(400 * 1024, 'x'));
    home.link("loop/self", "..");
    home.link("loop/to-home", h);
    home.link("outside.bin", outside / "huge.bin");
    home.link("dangling", h + "/nowhere/at/all");
    ASSERT_EQ(chmod((h + "/locked").c_str(), 0), 0);
    // A file last opened in the year 3000 (any user can set that) is past what the clock can count.
    auto future = onDisk(h + "/future.bin", h);
    future.lastUsed = std::chrono::system_clock::time_point::max();
    const timespec times[2] = {{32503680000, 0}, {0, UTIME_OMIT}};  // 3000-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, (home / "future.bin").c_str(), times, 0), 0);

    const std::uint64_t minimum = 100 * 1024;
    auto expected = std::vector<StorageItem>{onDisk(h + "/Movies/film.mov", h),
                                             onDisk(h + "/.config/Slack/Cache/blob", h),
                                             onDisk(h + "/Downloads/disk.iso", h), future};
    ASSERT_EQ(expected[1].kind, Kind::appData("Slack"));
    std::vector<StorageItem> all, first, none;
    std::thread([&] {
        dropFolderOverride();
        int probe = open((h + "/locked").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (probe >= 0) close(probe);
        ASSERT_LT(probe, 0) << "the locked folder must be closed to this walk, root or not";
        all = largeFiles(h, plain(h), minimum, 15).files, first = largeFiles(h, plain(h), minimum, 1).files;
        none = largeFiles(h, plain(h), minimum, 15, {std::chrono::milliseconds(5000), 0}).files;
    }).join();
    EXPECT_EQ(all, expected);
    EXPECT_EQ(first, std::vector<StorageItem>{expected[0]});
    EXPECT_EQ(none, std::vector<StorageItem>{});
}

}  // namespace
}  // namespace tarvik
