#include "cli/StorageCommand.hpp"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <sstream>

#include "support/TempDir.hpp"

namespace tarvik::cli {
namespace {

using Kind = StorageItem::Kind;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(StorageCommand, PrintsCachesWithTheTotalThenLargeFilesWithOwnerAndLastUse) {
    auto now = std::chrono::system_clock::from_time_t(1700000000);
    StorageReport report;
    report.clearable = {{"/home/a/.npm/_cacache", "npm downloads", "Gone soon.", 2'000'000'000,
                         Kind::regenerable(), std::nullopt, false},
                        {"/home/a/Library/Developer/Xcode/Archives", "Xcode archives", "Yours.",
                         1'000'000'000, Kind::personal(), std::nullopt, false}};
    report.largeFiles = {
        {"/home/a/.config/Slack/x.db", "x.db", "~/.config/Slack", 600'000'000, Kind::appData("Slack"),
         now - 3 * 24h, true},
        {"/home/a/Movies/f.mov", "f.mov", "~/Movies", 550'000'000, Kind::personal(), std::nullopt, true}};
    EXPECT_EQ(renderStorage(report, "/home/a", now, std::nullopt),
              "Safe to clear: 2 GB\n"
              "  CACHE           SIZE  PATH                                DETAIL\n"
              "  npm downloads   2 GB  ~/.npm/_cacache                     Gone soon.\n"
              "  Xcode archives  1 GB  ~/Library/Developer/Xcode/Archives  Yours.\n"
              "\nLargest files\n"
              "  FILE     SIZE  PATH                  USE\n"
              "  x.db   600 MB  ~/.config/Slack/x.db  Opened 3 days ago · Belongs to Slack. Remove it from "
              "inside Slack.\n"
              "  f.mov  550 MB  ~/Movies/f.mov        Never opened · ~/Movies\n");
}

TEST(StorageCommand, ClearsAListedCacheOnlyAfterYes) {
    test::TempDir home;
    home.write(".npm/_cacache/a", std::string(8192, 'x'));
    StorageOptions options;
    options.action = StorageOptions::Action::clear;
    options.home = home.path().string();
    options.minimum = 0;
    options.path = "~/.npm/_cacache";
    for (const auto& [answer, status, gone] : {std::tuple{"n\n", 1, false}, std::tuple{"y\n", 0, true}}) {
        SCOPED_TRACE(answer);
        std::istringstream in(answer);
        std::ostringstream out, err;
        EXPECT_EQ(runStorage(options, in, out, err), status);
        EXPECT_EQ(fs::exists(home / ".npm/_cacache"), !gone);
        EXPECT_EQ(err.str(), "");
    }
    std::istringstream in;
    std::ostringstream out, err;
    options.path = "/etc";
    EXPECT_EQ(runStorage(options, in, out, err), 1);
    EXPECT_EQ(err.str(), "Not cleared: /etc is outside your home folder.\n");
}

TEST(StorageCommand, ParsesItsSubcommands) {
    const std::pair<std::vector<std::string>, std::tuple<StorageOptions::Action, std::string, bool, bool>>
        cases[] = {
            {{"storage", "clear", "/home/a/.npm/_cacache", "--yes"},
             {StorageOptions::Action::clear, "/home/a/.npm/_cacache", true, false}},
            {{"storage", "trash", "/home/a/f.mov"},
             {StorageOptions::Action::trash, "/home/a/f.mov", false, false}},
        };
    for (const auto& [arguments, expected] : cases) {
        SCOPED_TRACE(arguments.back());
        CLI::App app;
        StorageOptions options;
        addStorageCommand(app, options);
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
        EXPECT_EQ(std::tuple(options.action, options.path, options.yes, options.json), expected);
    }
}

TEST(StorageCommand, TrashesAListedLargeFile) {
    test::TempDir home;
    home.write("Movies/f.mov", std::string(64 * 1024, 'x'));
    StorageOptions options{StorageOptions::Action::trash, false, home / "Movies/f.mov", false,
                           home.path().string()};
    options.largeMinimum = 1024;
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(runStorage(options, in, out, err), 0);
    EXPECT_EQ(out.str(), "Moved f.mov to the Trash.\n");
    EXPECT_TRUE(fs::exists(home / ".local/share/Trash/files/f.mov"));
    EXPECT_TRUE(fs::exists(home / ".local/share/Trash/info/f.mov.trashinfo"));
}

}  // namespace
}  // namespace tarvik::cli
