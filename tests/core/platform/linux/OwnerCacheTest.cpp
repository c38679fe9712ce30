#include "core/platform/linux/OwnerCache.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using test::TempDir;

const SocketOwners::Memory memory{{{41, {100, 3, 5000}}, {41, {101, 3, 5001}}, {42, {100, 7, 5000}}},
                                  {{100, 5000, true}, {101, 5001, true}, {102, 5002, false}},
                                  {43}};

TEST(OwnerCache, ReadsBackWhatItWroteAndNothingElse) {
    const std::string text = OwnerCache::format(memory, "boot-a");
    EXPECT_EQ(OwnerCache::parse(text, "boot-a"), memory);
    EXPECT_EQ(OwnerCache::parse(OwnerCache::format({}, "boot-a"), "boot-a"), SocketOwners::Memory{});

    auto replaced = [&](std::string_view from, std::string_view to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::pair<std::string, std::string> garbled[] = {
        {"cut short", text.substr(0, text.size() - 4)},
        {"without its last newline", text.substr(0, text.size() - 1)},
        {"another version", replaced("owners 1", "owners 2")},
        {"a number that is not one", replaced("holder 41 100", "holder 41 1x0")},
        {"a pid of 0", replaced("process 102", "process 0")},
        {"a pid out of range", replaced("process 102", "process 4294967398")},
        {"a missing field", replaced(" 5002 seen", " seen")},
        {"an unknown line", replaced("unfound 43", "unheard 43")},
        {"an empty line", replaced("unfound 43\n", "unfound 43\n\n")},
        {"two spaces", replaced("unfound 43", "unfound  43")},
        {"nothing", ""},
    };
    for (const auto& [what, bad] : garbled) EXPECT_EQ(OwnerCache::parse(bad, "boot-a"), std::nullopt) << what;
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : ~0u;
}

TEST(OwnerCache, KeepsItsFileToThisUserAndIgnoresAnyOther) {
    TempDir runtime;
    const std::string folder = runtime.path().string(), file = runtime / "tarvik/socket-owners";
    const auto load = [&] { return OwnerCache::load(folder, "boot-a"); };
    EXPECT_EQ(load(), std::nullopt) << "none written yet";
    ASSERT_TRUE(OwnerCache::save(folder, "boot-a", memory));
    EXPECT_EQ(modeOf(runtime / "tarvik"), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(load(), memory);
    EXPECT_EQ(OwnerCache::load(folder, "boot-b"), std::nullopt) << "pids and inodes of another boot";
    EXPECT_EQ(OwnerCache::load("relative/folder", "boot-a"), std::nullopt);

    // Each change makes the file one that another user could have written or read.
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(load(), std::nullopt) << "a file others may read";
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    ASSERT_EQ(chmod((runtime / "tarvik").c_str(), 0755), 0);
    EXPECT_EQ(load(), std::nullopt) << "a folder others may list";
    EXPECT_FALSE(OwnerCache::save(folder, "boot-a", memory)) << "nor is such a folder written to";
    ASSERT_EQ(chmod((runtime / "tarvik").c_str(), 0700), 0);
    EXPECT_EQ(load(), memory);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        EXPECT_EQ(load(), std::nullopt) << "another user's file";
    }

    // A link in the file's place is not followed, even to a file of the right kind.
    runtime.write("elsewhere", OwnerCache::format(memory, "boot-a"));
    ASSERT_EQ(chmod((runtime / "elsewhere").c_str(), 0600), 0);
    std::filesystem::remove(file);
    runtime.link("tarvik/socket-owners", runtime / "elsewhere");
    EXPECT_EQ(load(), std::nullopt);

    // A save replaces whatever lies there whole.
    ASSERT_TRUE(OwnerCache::save(folder, "boot-a", memory));
    EXPECT_EQ(load(), memory);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(runtime / "tarvik"), {}), 1)
        << "no temporary file left behind";
}

}  // namespace
}  // namespace tarvik
