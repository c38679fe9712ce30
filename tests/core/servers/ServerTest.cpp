#include "core/servers/Server.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

ListeningPort on(int port, std::string address, std::int32_t pid = 1) {
    return {pid, "node", "", port, std::move(address)};
}

// Every address of a (pid, port) is kept, and a row is exposed when any of them can be reached
// from another machine.
TEST(ListeningPortDedup, KeepsEveryAddressAndShowsTheExposedOne) {
    struct Case {
        const char* name;
        std::vector<ListeningPort> sockets;
        // per (pid, port) in order: "PID:PORT@ADDRESS [ADDRESSES] exposed|private TEXT"
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"loopback only",
         {on(3000, "127.0.0.1"), on(3000, "::1"), on(3000, "127.0.0.1")},
         {"1:3000@127.0.0.1 [127.0.0.1 ::1] private 127.0.0.1, ::1"}},
        {"wildcard beside loopback on one port",
         {on(3000, "127.0.0.1"), on(3000, "::")},
         {"1:3000@:: [127.0.0.1 ::] exposed ::, 127.0.0.1"}},
        {"wildcard first, then loopback",
         {on(3000, "*"), on(3000, "127.0.0.1")},
         {"1:3000@* [* 127.0.0.1] exposed *, 127.0.0.1"}},
        {"two ports, one of them open",
         {on(3000, "127.0.0.1"), on(3001, "0.0.0.0"), on(3000, "*", 2)},
         {"1:3000@127.0.0.1 [127.0.0.1] private 127.0.0.1", "1:3001@0.0.0.0 [0.0.0.0] exposed 0.0.0.0",
          "2:3000@* [*] exposed *"}},
        {"a LAN address is reachable",
         {on(3000, "127.0.0.1"), on(3000, "192.168.1.5")},
         {"1:3000@192.168.1.5 [127.0.0.1 192.168.1.5] exposed 192.168.1.5, 127.0.0.1"}},
        {"IPv4-mapped and other loopback forms",
         {on(3000, "::ffff:127.0.0.1"), on(3000, "127.1.2.3")},
         {"1:3000@::ffff:127.0.0.1 [::ffff:127.0.0.1 127.1.2.3] private ::ffff:127.0.0.1, 127.1.2.3"}},
        {"an IPv4-mapped LAN address is reachable",
         {on(3000, "::ffff:10.0.0.7")},
         {"1:3000@::ffff:10.0.0.7 [::ffff:10.0.0.7] exposed ::ffff:10.0.0.7"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> seen;
        for (const auto& port : ListeningPort::deduplicated(c.sockets)) {
            Server server;
            server.address = port.address;
            server.addresses = port.addresses;
            std::string addresses;
            for (const auto& address : port.addresses) addresses += (addresses.empty() ? "" : " ") + address;
            seen.push_back(std::to_string(port.pid) + ":" + std::to_string(port.port) + "@" + port.address +
                           " [" + addresses + "] " + (server.isExposedToNetwork() ? "exposed " : "private ") +
                           server.addressText());
        }
        EXPECT_EQ(seen, c.expected);
    }
}

// A server made with its address alone, as older callers make it, still says whether it is exposed.
TEST(ServerDerived, AnAddressAloneStandsForItsSockets) {
    Server server;
    EXPECT_FALSE(server.isExposedToNetwork()) << "an unknown address is not exposed";
    EXPECT_TRUE(server.boundAddresses().empty());
    // Which addresses are reachable is told by the cases of ListeningPortDedup above.
    server.address = "*";
    EXPECT_TRUE(server.isExposedToNetwork());
    EXPECT_EQ(server.boundAddresses(), std::vector<std::string>{"*"});
}

TEST(ServerDerived, DirectoryAndEnergy) {
    Server server;
    const std::pair<std::optional<std::string>, std::optional<std::string>> directories[] = {
        {"/home/anna/code/app", "~/code/app"},
        {"/srv/app", "/srv/app"},
        {"/", std::nullopt},
        {std::nullopt, std::nullopt}};
    for (const auto& [cwd, shown] : directories) {
        server.cwd = cwd;
        EXPECT_EQ(server.displayDirectory("/home/anna"), shown) << cwd.value_or("nil");
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
