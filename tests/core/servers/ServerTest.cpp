#include "core/servers/Server.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(ListeningPortDedup, KeepsFirstSightingAndPrefersSpecificAddresses) {
    std::vector<ListeningPort> ports = {
        {1, "node", "", 3000, "*"}, {1, "node", "", 3000, "127.0.0.1"}, {1, "node", "", 3000, "::1"},
        {2, "node", "", 3000, "*"}, {1, "node", "", 4000, "::1"},       {1, "node", "", 4000, "*"},
        {3, "ruby", "", 5000, "*"}, {3, "ruby", "", 5000, "*"},
    };
    auto result = ListeningPort::deduplicated(ports);
    std::vector<std::string> seen;
    for (const auto& p : result)
        seen.push_back(std::to_string(p.pid) + ":" + std::to_string(p.port) + "@" + p.address);
    EXPECT_EQ(seen, (std::vector<std::string>{"1:3000@127.0.0.1", "2:3000@*", "1:4000@::1", "3:5000@*"}));
}

TEST(ServerDerived, DirectoryAndEnergy) {
    Server server;
    const std::pair<std::optional<std::string>, std::optional<std::string>> directories[] = {
        {"/Users/anna/code/app", "~/code/app"},
        {"/Users/anna/Library/Caches/x", std::nullopt},
        {"/", std::nullopt},
        {std::nullopt, std::nullopt}};
    for (const auto& [cwd, shown] : directories) {
        server.cwd = cwd;
        EXPECT_EQ(server.displayDirectory("/Users/anna"), shown) << cwd.value_or("nil");
    }
    EXPECT_FALSE(server.energy());
    const std::pair<double, Energy> energies[] = {
        {4.99, Energy::low}, {5.0, Energy::medium}, {29.99, Energy::medium}, {30.0, Energy::high}};
    for (auto [cpu, energy] : energies) {
        server.cpuPercent = cpu;
        EXPECT_EQ(server.energy(), energy) << cpu;
    }
}

TEST(ServerDerived, OverridingReplacesOnlyGivenFields) {
    Server server;
    server.project = "shop";
    server.memoryBytes = 10;
    auto copy = server.overriding({.branch = "main", .memoryBytes = 20});
    EXPECT_EQ(copy.project, "shop");
    EXPECT_EQ(copy.branch, "main");
    EXPECT_EQ(copy.memoryBytes, 20u);
    EXPECT_EQ(server.overriding({}), server);
}

}  // namespace
}  // namespace tarvik
