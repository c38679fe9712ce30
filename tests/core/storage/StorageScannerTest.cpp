#include "core/storage/StorageScanner.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "core/storage/StorageActions.hpp"
#include "core/support/Spawn.hpp"
#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace StorageScanner;
using Kind = StorageItem::Kind;
using std::nullopt;
namespace fs = std::filesystem;
using test::plainDirs;

const std::string block(200 * 1024, 'x');

const Location& row(std::string_view path) {
    for (const auto& location : locations())
        if (location.path == path) return location;
    throw std::logic_error("no row " + std::string(path));
}

StorageItem cache(const std::string& home, const Location& row, std::uint64_t bytes) {
    return {expand(row.path, home, plainDirs(home)), row.title, row.detail, bytes, row.kind, nullopt, false};
}

std::uint64_t duBytes(const std::string& path) {
    return parseDu(Spawn::run("/usr/bin/du", {"-sk", path}).output).at(path);
}

std::vector<std::string> paths(const std::vector<StorageItem>& items) {
    std::vector<std::string> all;
    for (const auto& item : items) all.push_back(item.path);
    std::sort(all.begin(), all.end());
    return all;
}

TEST(StorageScanner, ParsesDuOutput) {
    const std::pair<const char*, std::map<std::string, std::uint64_t>> cases[] = {
        {"123\t/home/a/.cache/yarn\n", {{"/home/a/.cache/yarn", 125952}}},
        {"abc\t/x\nno tab here\n4\t/y\n\n", {{"/y", 4096}}},
        {" 1 \t/z\n2\t/z\n3\t/a\tb\n", {{"/z", 2048}}}};
    for (const auto& [output, sizes] : cases) EXPECT_EQ(parseDu(output), sizes) << output;
}

TEST(StorageScanner, NamesTheOwnerByDataFolder) {
    const std::string home = "/home/a";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {home + "/.local/share/Steam/steamapps/game.pak", "Steam"},
        {home + "/.var/app/org.mozilla.firefox/cache/x", "firefox"},
        {home + "/.docker/desktop/vms/0/data/Docker.raw", "Docker"},
        {"/srv/.local/share/App/x", nullopt}};
    for (const auto& [path, app] : cases) EXPECT_EQ(owner(path, home), app) << path;
    // Applications keep their data in the XDG data and config homes wherever those are set.
    auto dirs = XdgDirs::of(
        home, test::fakeEnvironment({{"XDG_DATA_HOME", "/data/a"}, {"XDG_CONFIG_HOME", "/etc/a"}}));
    const std::pair<std::string, std::optional<std::string>> moved[] = {
        {"/data/a/Steam/steamapps/game.pak", "Steam"},
        {"/etc/a/Slack/Cache/blob", "Slack"},
        {"/data/a/loose.bin", nullopt},
        {home + "/.local/share/Steam/x", "Steam"}};
    for (const auto& [path, app] : moved) EXPECT_EQ(owner(path, home, dirs), app) << path;
}

TEST(StorageScanner, CountsOnlyWhatToolsRebuild) {
    StorageReport report;
    report.clearable = {{"/a", "a", "", 2'000'000'000, Kind::regenerable(), nullopt, false},
                        {"/b", "b", "", 1'000'000'000, Kind::personal(), nullopt, false},
                        {"/d", "d", "", 7, Kind::appData("Docker"), nullopt, false}};
    EXPECT_EQ(report.clearableBytes(), 2'000'000'000u);
}

TEST(StorageScanner, ListsCachesFromTheMinimumUpLargestFirstInTableOrderWhenEqual) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write(".cache/pip/a", block);  // equal to the Yarn one below
    home.write(".cache/yarn/a", block);
    home.write(".npm/_cacache/a", std::string(400 * 1024, 'x'));
    home.write(".cargo/registry/a", std::string(16 * 1024, 'x'));  // under the minimum
    auto minimum = duBytes(h + "/.cache/yarn");
    ASSERT_EQ(duBytes(h + "/.cache/pip"), minimum);
    auto npm = duBytes(h + "/.npm/_cacache");
    EXPECT_EQ(clearable(h, plainDirs(h), minimum),
              (std::vector<StorageItem>{cache(h, row("~/.npm/_cacache"), npm),
                                        cache(h, row("$XDG_CACHE_HOME/yarn"), minimum),
                                        cache(h, row("$XDG_CACHE_HOME/pip"), minimum)}));
    EXPECT_EQ(clearable(h, plainDirs(h), minimum + 1),
              (std::vector<StorageItem>{cache(h, row("~/.npm/_cacache"), npm)}));
    test::TempDir empty;
    EXPECT_EQ(clearable(empty.path().string(), plainDirs(empty.path().string()), 0),
              std::vector<StorageItem>{});
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

TEST(StorageScanner, WalksTheHomeForLargeFilesSkippingCachesLinksAndLockedFolders) {
    test::TempDir outside, home;
    outside.write("huge.bin", std::string(512 * 1024, 'x'));
    const std::string h = home.path().string();
    home.write("Movies/film.mov", std::string(300 * 1024, 'x'));
    home.write("Downloads/disk.iso", block);
    // A second name, met after the user folders: the file is listed once, under its first.
    fs::create_hard_link(h + "/Downloads/disk.iso", h + "/disk-copy.iso");
    home.write(".config/Slack/Cache/blob", std::string(250 * 1024, 'x'));
    home.write("future.bin", std::string(150 * 1024, 'x'));
    home.write("notes.txt", std::string(10 * 1024, 'x'));
    for (const char* skipped :
         {".npm/_cacache/content/big", ".local/share/Trash/files/gone.bin", "locked/big.bin"})
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
        all = largeFiles(h, plainDirs(h), minimum, 15).files,
        first = largeFiles(h, plainDirs(h), minimum, 1).files;
        none = largeFiles(h, plainDirs(h), minimum, 15, {std::chrono::milliseconds(5000), 0}).files;
    }).join();
    EXPECT_EQ(all, expected);
    EXPECT_EQ(first, std::vector<StorageItem>{expected[0]});
    EXPECT_EQ(none, std::vector<StorageItem>{});
}

TEST(StorageScannerPlaces, FindsTheLinuxCachesInTheXdgFoldersTheEnvironmentSets) {
    test::TempDir home;
    const std::string h = home.path().string();
    for (const char* file : {".cache/pip/a", ".cache/uv/a", "xdg/cache/pip/a", "xdg/data/pnpm/store/a"})
        home.write(file, block);
    const std::pair<std::map<std::string, std::string, std::less<>>, std::vector<std::string>> cases[] = {
        // Unset: the fallbacks.
        {{}, {h + "/.cache/pip", h + "/.cache/uv"}},
        {{{"XDG_CACHE_HOME", h + "/xdg/cache"}, {"XDG_DATA_HOME", h + "/xdg/data/"}},
         {h + "/xdg/cache/pip", h + "/xdg/data/pnpm/store"}},
        // A relative value is ignored.
        {{{"XDG_CACHE_HOME", "xdg/cache"}}, {h + "/.cache/pip", h + "/.cache/uv"}}};
    for (const auto& [environment, expected] : cases)
        EXPECT_EQ(paths(clearable(h, XdgDirs::of(h, test::fakeEnvironment(environment)), 0)), expected)
            << testing::PrintToString(environment);
}

// Clearing the store claims only what it frees; the notes on it are the storage command's.
TEST(StorageScannerPlaces, CountsHardLinkedFilesAsFreeableOnlyWhenNoLinkRemainsOutside) {
    test::TempDir home;
    const std::string h = home.path().string(), store = h + "/.local/share/pnpm/store";
    std::uint64_t shared = 0;
    fs::create_directories(h + "/project");
    for (const std::string name : {"a", "b", "c"}) {
        home.write(".local/share/pnpm/store/v3/files/" + name, block);
        fs::create_hard_link(store + "/v3/files/" + name, h + "/project/" + name);
        shared += onDisk(store + "/v3/files/" + name, h).bytes;
    }
    // Both names of this one lie inside the store, so removing the store frees it.
    home.write(".local/share/pnpm/store/v3/own", block);
    fs::create_hard_link(store + "/v3/own", store + "/v3/own-again");

    StorageReport report;
    report.clearable = clearable(h, plainDirs(h), 0);
    ASSERT_EQ(paths(report.clearable), std::vector<std::string>{store});
    const auto pnpm = report.clearable[0];
    // du counts a file with several names inside the folder once, as the walk must.
    EXPECT_EQ(pnpm.bytes, duBytes(store));
    EXPECT_EQ(pnpm.sharedBytes, shared);
    EXPECT_EQ(pnpm.freeableBytes(), pnpm.bytes - shared);
    EXPECT_GE(pnpm.freeableBytes(), onDisk(store + "/v3/own", h).bytes);
    auto cleared = StorageActions::removeCache(store, report, h);
    EXPECT_TRUE(cleared.ok) << cleared.message;
    EXPECT_EQ(cleared.freedBytes, pnpm.freeableBytes());
}

TEST(StorageScannerPlaces, LooksInTheUserFoldersFirstAndSaysWhenTheSearchStopped) {
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "Downloads renamed in user-dirs.dirs" : "the English names");
        test::TempDir home;
        const std::string h = home.path().string(), downloads = named ? "Fetched" : "Downloads";
        for (int i = 0; i < 40; ++i) home.write("note" + std::to_string(i) + ".txt", "x");
        home.write(downloads + "/disk.iso", block);
        if (named) home.write(".config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
        auto cut = largeFiles(h, plainDirs(h), 100 * 1024, 15, {std::chrono::milliseconds(60'000), 10});
        EXPECT_FALSE(cut.complete);
        ASSERT_EQ(cut.files.size(), 1u);
        EXPECT_EQ(cut.files[0].path, h + "/" + downloads + "/disk.iso");
        auto whole = largeFiles(h, plainDirs(h), 100 * 1024, 15);
        EXPECT_TRUE(whole.complete);
        EXPECT_EQ(whole.files, cut.files);
    }
}

}  // namespace
}  // namespace tarvik
