#include "core/servers/DevFootprint.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

constexpr std::uint64_t MB = 1 << 20;

Server server(std::int32_t pid, std::optional<std::uint64_t> bytes, std::optional<std::string> box = {},
              std::optional<std::string> project = {}, ServerCategory c = ServerCategory::dev) {
    return {.pid = pid, .category = c, .memoryBytes = bytes, .project = project, .containerName = box};
}

TEST(DevFootprint, CountsEachProcessAndContainerOnce) {
    EXPECT_EQ(DevFootprint::uniqueBytes({server(1, std::nullopt), server(1, 5 * MB), server(2, 2 * MB)}),
              2 * MB);
    EXPECT_EQ(DevFootprint::uniqueBytes({server(1, 1 * MB, "1"), server(1, 2 * MB)}), 3 * MB)
        << "a container is not a pid";
    const std::vector<Server> servers{server(1, 100 * MB), server(1, 100 * MB), server(9, 70 * MB, "db"),
                                      server(10, 70 * MB, "db"),
                                      server(4, 900 * MB, {}, {}, ServerCategory::system)};
    const DevFootprint expected{100 * MB, 70 * MB, 830 * MB, 1000 * MB, 8000 * MB};
    EXPECT_EQ(DevFootprint::from(servers, 1000 * MB, 8000 * MB), expected);
    EXPECT_EQ(DevFootprint::from(servers, 150 * MB, 0), (DevFootprint{100 * MB, 70 * MB, 0, 150 * MB, 0}));
}

TEST(ProjectUsage, OneEntryPerGroupButSystemLargestFirst) {
    const Server system = server(6, 99 * MB, {}, "shop", ServerCategory::system);
    const std::vector<Server> servers{
        server(1, 10 * MB, {}, "shop"), server(1, 10 * MB, {}, "shop"), system,
        server(2, 5 * MB, {}, "blog"),  server(3, 5 * MB, {}, "blog"),  server(5, 15 * MB),
        server(7, 10 * MB, {}, "api")};
    // Equal sizes keep group order, which is by title.
    const std::vector<ProjectUsage> expected{
        {"Services", 15 * MB, 1}, {"api", 10 * MB, 1}, {"blog", 10 * MB, 2}, {"shop", 10 * MB, 1}};
    EXPECT_EQ(ProjectUsage::from(servers), expected);
}

}  // namespace
}  // namespace tarvik
