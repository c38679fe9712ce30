#include "cli/StorageCommand.hpp"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik::cli {
namespace {

using Kind = StorageItem::Kind;
using namespace std::chrono_literals;

TEST(StorageCommand, PrintsCachesWithTheTotalThenLargeFilesWithOwnerAndLastUse) {
    auto now = std::chrono::system_clock::from_time_t(1700000000);
    StorageReport report;
    report.clearable = {{"/home/a/.npm/_cacache", "npm downloads", "Gone soon.", 2'000'000'000,
                         Kind::regenerable(), std::nullopt, false},
                        {"/home/a/Pictures/Exports/2023-4/Archives", "Photo archives", "Yours.",
                         1'000'000'000, Kind::personal(), std::nullopt, false}};
    report.largeFiles = {
        {"/home/a/.config/Slack/x.db", "x.db", "~/.config/Slack", 600'000'000, Kind::appData("Slack"),
         now - 3 * 24h, true},
        {"/home/a/Movies/f.mov", "f.mov", "~/Movies", 550'000'000, Kind::personal(), std::nullopt, true}};
    EXPECT_EQ(renderStorage(report, "/home/a", now, std::nullopt),
              "Safe to clear: 2 GB\n"
              "  CACHE           SIZE  PATH                                DETAIL\n"
              "  npm downloads   2 GB  ~/.npm/_cacache                     Gone soon.\n"
              "  Photo archives  1 GB  ~/Pictures/Exports/2023-4/Archives  Yours.\n"
              "\nLargest files\n"
              "  FILE     SIZE  PATH                  USE\n"
              "  x.db   600 MB  ~/.config/Slack/x.db  Opened 3 days ago · Belongs to Slack. Remove it from "
              "inside Slack.\n"
              "  f.mov  550 MB  ~/Movies/f.mov        Never opened · ~/Movies\n");
}

// The subcommands as their command lines give them: a listed cache goes after a yes, asked or
// given, never a path outside the home; a listed large file goes to the Trash.
TEST(StorageCommand, ClearsAListedCacheOnlyAfterYesAndTrashesAListedLargeFile) {
    test::TempDir home;
    home.write(".npm/_cacache/a", std::string(8192, 'x'));
    home.write(".cache/pip/a", std::string(8192, 'x'));
    home.write("Movies/f.mov", std::string(64 * 1024, 'x'));
    const std::tuple<std::vector<std::string>, const char*, int, std::string, std::string> steps[] = {
        // arguments, answer, status, how standard output ends, standard error
        {{"clear", "~/.npm/_cacache"}, "n\n", 1, "? [y/N] Nothing cleared.\n", ""},
        {{"clear", "/etc", "--yes"}, "", 1, "", "Not cleared: /etc is outside your home folder.\n"},
        {{"clear", "~/.npm/_cacache"}, "y\n", 0, "? [y/N] Cleared npm downloads.\n", ""},
        {{"clear", "--yes", home / ".cache/pip"}, "", 0, "Cleared pip downloads.\n", ""},
        {{"trash", "~/Movies/f.mov"}, "", 0, "Moved f.mov to the Trash.\n", ""}};
    for (auto [arguments, answer, status, said, complaint] : steps) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        CLI::App app;
        StorageOptions options;
        addStorageCommand(app, options);
        arguments.insert(arguments.begin(), "storage");
        std::reverse(arguments.begin(), arguments.end());  // as CLI11 takes a vector
        app.parse(arguments);
        options.home = home.path().string(), options.minimum = 0, options.largeMinimum = 1024;
        options.environment = test::fakeEnvironment();
        std::istringstream in(answer);
        std::ostringstream out, err;
        EXPECT_EQ(runStorage(options, in, out, err), status);
        EXPECT_TRUE(out.str().ends_with(said)) << out.str();
        EXPECT_EQ(err.str(), complaint);
    }
    EXPECT_FALSE(std::filesystem::exists(home / ".npm/_cacache") ||
                 std::filesystem::exists(home / ".cache/pip"));
    EXPECT_TRUE(std::filesystem::exists(home / ".local/share/Trash/files/f.mov"));
}

// A cache behind a link that leaves the home folder is shown where it lies and not counted; one
// shared through hard links says how little clearing it frees; a search cut short says so.
TEST(StorageCommand, SaysWhereCachesLieWhatHardLinksKeepAndThatTheSearchStopped) {
    auto now = std::chrono::system_clock::from_time_t(1700000000);
    StorageReport report;
    report.clearable = {{"/home/a/.cargo/registry", "Cargo downloads", "Gone soon.", 3'000'000'000,
                         Kind::regenerable(), std::nullopt, false},
                        {"/home/a/.local/share/pnpm/store", "pnpm store", "Again.", 157'000'000,
                         Kind::regenerable(), std::nullopt, false}};
    report.clearable[0].realPath = "/mnt/fast/registry";
    report.clearable[0].place = StorageItem::Place::outsideHome;
    report.clearable[1].sharedBytes = 153'000'000;
    report.largeFilesComplete = false;
    EXPECT_EQ(renderStorage(report, "/home/a", now, std::nullopt, {std::chrono::seconds(5), 2'000'000}),
              "Safe to clear: 4 MB\n"
              "  CACHE              SIZE  PATH                                     DETAIL\n"
              "  Cargo downloads    3 GB  ~/.cargo/registry -> /mnt/fast/registry  Gone soon. Not cleared "
              "here: it lives at /mnt/fast/registry, outside your home folder.\n"
              "  pnpm store       157 MB  ~/.local/share/pnpm/store                Again. 153 MB of it is "
              "shared with files outside it (hard links); clearing it frees only 4 MB.\n"
              "\nLargest files\n"
              "  The search for large files stopped at its limit (5 s or 2,000,000 entries) before it found "
              "any.\n");
    report.largeFiles = {
        {"/home/a/Movies/f.mov", "f.mov", "~/Movies", 550'000'000, Kind::personal(), std::nullopt, true}};
    EXPECT_NE(
        renderStorage(report, "/home/a", now, std::nullopt)
            .find("\nLargest files\n  The search for large files stopped at its limit (5 s or 2,000,000 "
                  "entries); these are the largest it found.\n  FILE "),
        std::string::npos);
    auto json = toJson(report);
    EXPECT_EQ(json["clearableBytes"], 4'000'000);
    EXPECT_EQ(json["largeFilesComplete"], false);
    EXPECT_EQ(json["clearable"][0]["realPath"], "/mnt/fast/registry");
    EXPECT_EQ(json["clearable"][0]["place"], "outsideHome");
    EXPECT_EQ(json["clearable"][1]["realPath"], nullptr);
    EXPECT_EQ(json["clearable"][1]["sharedBytes"], 153'000'000);
    EXPECT_EQ(json["clearable"][1]["freeableBytes"], 4'000'000);
}

}  // namespace
}  // namespace tarvik::cli
