// Where the scanner looks and how it counts: the XDG folders, caches behind links, hard links and
// a search for large files cut short.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/storage/StorageScanner.hpp"
#include "core/support/Spawn.hpp"
#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace StorageScanner;
using Place = StorageItem::Place;
namespace fs = std::filesystem;

const std::string block(200 * 1024, 'x');

const StorageItem* itemAt(const std::vector<StorageItem>& items, const std::string& path) {
    auto found =
        std::find_if(items.begin(), items.end(), [&](const auto& item) { return item.path == path; });
    return found == items.end() ? nullptr : &*found;
}

std::uint64_t onDisk(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

std::vector<std::string> paths(const std::vector<StorageItem>& items) {
    std::vector<std::string> all;
    for (const auto& item : items) all.push_back(item.path);
    std::sort(all.begin(), all.end());
    return all;
}

TEST(StorageScannerPlaces, FindsTheLinuxCachesInTheXdgFoldersTheEnvironmentSets) {
    test::TempDir home;
    const std::string h = home.path().string();
    for (const char* file : {".cache/pip/a", ".cache/uv/a", "xdg/cache/pip/a", "xdg/data/pnpm/store/a"})
        home.write(file, block);
    const std::pair<std::map<std::string, std::string, std::less<>>, std::vector<std::string>> cases[] = {
        // Unset: the fallbacks, and uv's folder once though the Mac's row and Linux's both name it.
        {{}, {h + "/.cache/pip", h + "/.cache/uv"}},
        {{{"XDG_CACHE_HOME", h + "/xdg/cache"}, {"XDG_DATA_HOME", h + "/xdg/data/"}},
         {h + "/.cache/uv", h + "/xdg/cache/pip", h + "/xdg/data/pnpm/store"}},
        // A relative value is ignored.
        {{{"XDG_CACHE_HOME", "xdg/cache"}}, {h + "/.cache/pip", h + "/.cache/uv"}},
    };
    for (const auto& [environment, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(environment));
        auto items = clearable(h, XdgDirs::of(h, test::fakeEnvironment(environment)), 0);
        EXPECT_EQ(paths(items), expected);
        StorageReport report;
        report.clearable = items;
        EXPECT_GE(report.clearableBytes(), expected.size() * block.size());
    }
}

TEST(StorageScannerPlaces, ShowsWhereALinkedCacheReallyLiesAndCountsOnlyTheOnesAtHome) {
    test::TempDir home, outside;
    const std::string h = home.path().string();
    const std::string away = fs::canonical(outside.path()).string(),
                      real = fs::canonical(home.path()).string();
    outside.write("cargo/registry/a", block);
    home.write("disks/m2/repository/a", block);
    home.write(".npm/_cacache/a", block);
    home.link(".cargo", away + "/cargo");
    home.link(".m2", h + "/disks/m2");
    auto items = clearable(h, XdgDirs::of(h, test::fakeEnvironment()), 0);
    const auto* cargo = itemAt(items, h + "/.cargo/registry");
    const auto* maven = itemAt(items, h + "/.m2/repository");
    const auto* npm = itemAt(items, h + "/.npm/_cacache");
    ASSERT_TRUE(cargo && maven && npm) << testing::PrintToString(paths(items));
    EXPECT_EQ(cargo->realPath, away + "/cargo/registry");
    EXPECT_EQ(cargo->place, Place::outsideHome);
    EXPECT_GE(cargo->bytes, block.size());
    EXPECT_EQ(placeNote(*cargo),
              "Not cleared here: it lives at " + away + "/cargo/registry, outside your home folder.");
    EXPECT_EQ(maven->realPath, real + "/disks/m2/repository");
    EXPECT_EQ(maven->place, Place::home);
    EXPECT_EQ(placeNote(*maven), "");
    EXPECT_EQ(npm->realPath, std::nullopt);
    StorageReport report;
    report.clearable = items;
    EXPECT_EQ(report.clearableBytes(), maven->bytes + npm->bytes);
}

TEST(StorageScannerPlaces, CountsHardLinkedFilesAsFreeableOnlyWhenNoLinkRemainsOutside) {
    test::TempDir home;
    const std::string h = home.path().string(), store = h + "/.local/share/pnpm/store";
    std::uint64_t shared = 0;
    for (const char* name : {"a", "b", "c"}) {
        home.write(std::string(".local/share/pnpm/store/v3/files/") + name, block);
        fs::create_directories(h + "/project/node_modules/pkg");
        fs::create_hard_link(store + "/v3/files/" + name, h + "/project/node_modules/pkg/" + name);
        shared += onDisk(store + "/v3/files/" + name);
    }
    // Both names of this one lie inside the store, so removing the store frees it.
    home.write(".local/share/pnpm/store/v3/own", block);
    fs::create_hard_link(store + "/v3/own", store + "/v3/own-again");

    auto items = clearable(h, XdgDirs::of(h, test::fakeEnvironment()), 0);
    const auto* pnpm = itemAt(items, store);
    ASSERT_NE(pnpm, nullptr);
    // du counts a file with several names inside the folder once, as the walk must.
    auto du = parseDu(Spawn::run("/usr/bin/du", {"-sk", store}).output).at(store);
    EXPECT_EQ(pnpm->bytes, du);
    EXPECT_EQ(pnpm->sharedBytes, shared);
    EXPECT_EQ(pnpm->freeableBytes(), pnpm->bytes - shared);
    EXPECT_GE(pnpm->freeableBytes(), onDisk(store + "/v3/own"));
    StorageReport report;
    report.clearable = items;
    EXPECT_EQ(report.clearableBytes(), pnpm->freeableBytes());
    EXPECT_NE(sharedNote(*pnpm).find(" of it is shared with files outside it (hard links); clearing it "
                                     "frees only "),
              std::string::npos);

    // With nothing else inside, a store linked into projects frees next to nothing.
    fs::remove(store + "/v3/own"), fs::remove(store + "/v3/own-again");
    items = clearable(h, XdgDirs::of(h, test::fakeEnvironment()), 0);
    ASSERT_NE(itemAt(items, store), nullptr);
    EXPECT_EQ(itemAt(items, store)->sharedBytes, shared);
    EXPECT_LT(itemAt(items, store)->freeableBytes(), block.size());
}

TEST(StorageScannerPlaces, ListsALargeFileWithTwoNamesOnce) {
    test::TempDir home;
    const std::string h = home.path().string();
    home.write("Videos/film.mkv", block);
    fs::create_hard_link(h + "/Videos/film.mkv", h + "/film-copy.mkv");
    auto search = largeFiles(h, XdgDirs::of(h, test::fakeEnvironment()), 100 * 1024, 15);
    EXPECT_TRUE(search.complete);
    ASSERT_EQ(search.files.size(), 1u);
    EXPECT_EQ(search.files[0].path, h + "/Videos/film.mkv");
}

TEST(StorageScannerPlaces, LooksInTheUserFoldersFirstAndSaysWhenTheSearchStopped) {
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "Downloads renamed in user-dirs.dirs" : "the English names");
        test::TempDir home;
        const std::string h = home.path().string(), downloads = named ? "Fetched" : "Downloads";
        for (int i = 0; i < 40; ++i) home.write("note" + std::to_string(i) + ".txt", "x");
        home.write(downloads + "/disk.iso", block);
        if (named) home.write(".config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
        auto dirs = XdgDirs::of(h, test::fakeEnvironment());
        auto cut = largeFiles(h, dirs, 100 * 1024, 15, {std::chrono::milliseconds(60'000), 10});
        EXPECT_FALSE(cut.complete);
        ASSERT_EQ(cut.files.size(), 1u);
        EXPECT_EQ(cut.files[0].path, h + "/" + downloads + "/disk.iso");
        auto whole = largeFiles(h, dirs, 100 * 1024, 15);
        EXPECT_TRUE(whole.complete);
        EXPECT_EQ(whole.files, cut.files);
    }
}

}  // namespace
}  // namespace tarvik
