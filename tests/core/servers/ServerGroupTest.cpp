#include "core/servers/ServerGroup.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using std::nullopt;

Server server(std::int32_t pid, int port, std::optional<std::string> project,
              std::optional<std::string> branch, ServerCategory category = ServerCategory::dev,
              std::string kind = "Vite") {
    Server s{.pid = pid, .port = port, .category = category, .branch = branch, .project = project};
    s.kind.name = std::move(kind);
    return s;
}

std::vector<std::string> titles(const std::vector<ServerGroup>& groups) {
    std::vector<std::string> result;
    for (const auto& group : groups)
        result.push_back(group.title + (group.branch ? "@" + *group.branch : ""));
    return result;
}

std::vector<int> ports(const ServerGroup& group) {
    std::vector<int> result;
    for (const auto& s : group.servers) result.push_back(s.port);
    return result;
}

TEST(ServerGrouper, ProjectsByTitleThenServicesThenSystem) {
    auto groups = ServerGrouper::groups({
        server(1, 8080, nullopt, nullopt, ServerCategory::system, "nginx"),
        server(2, 5173, "Shop", nullopt),
        server(3, 9000, nullopt, nullopt),
        server(4, 3000, "shop", "main"),
        server(5, 4000, "blog", nullopt),
        server(6, 22, "shop", "main", ServerCategory::system, "sshd"),  // system wins over its project
        server(7, 6000, "Zebra", nullopt),
        server(8, 7000, "apple", nullopt),
    });
    EXPECT_EQ(titles(groups),
              (std::vector<std::string>{"apple", "blog", "shop@main", "Zebra", "Services", "System"}));
    EXPECT_EQ(ports(groups[2]), (std::vector<int>{3000, 5173}));
    EXPECT_EQ(ports(groups[5]), (std::vector<int>{22, 8080}));
    EXPECT_TRUE(groups[5].isSystem());
    EXPECT_EQ(groups[4].kind, ServerGroup::Kind{ServerGroup::Services{}});
    EXPECT_TRUE(ServerGrouper::groups({}).empty());
}

TEST(ServerGrouper, ProjectNamesShareAGroupByTheirLettersAndNumbersInAnyScript) {
    const std::pair<std::vector<std::string>, std::size_t> cases[] = {
        {{"My-App", "my_app", "MyApp"}, 1},
        {{"CAFÉ", "café"}, 1},
        {{"Straße", "STRASSE"}, 2},  // lower-casing, not folding: ß stays ß
        {{"app1", "app2"}, 2}};
    for (const auto& [names, groupCount] : cases) {
        SCOPED_TRACE(names.front());
        std::vector<Server> servers;
        for (const auto& name : names) servers.push_back(server(1, 3000, name, nullopt));
        EXPECT_EQ(ServerGrouper::groups(servers).size(), groupCount);
    }
}

TEST(PortMerger, OneRowPerProcessAndKindWithItsPortsAscending) {
    std::vector<Server> servers{server(10, 8080, nullopt, nullopt), server(10, 3000, nullopt, nullopt),
                                server(11, 4000, nullopt, nullopt), server(10, 3001, nullopt, nullopt),
                                server(10, 9229, nullopt, nullopt, ServerCategory::dev, "Node")};
    auto rows = PortMerger::merge(servers);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].ports, (std::vector<int>{3000, 3001, 8080}));
    EXPECT_EQ(rows[0].primary.port, 8080) << "the first server stays the primary";
    EXPECT_EQ(rows[0].id(), "10:Vite");
    EXPECT_EQ(rows[2].id(), "10:Node");
    auto grouped = ServerGrouper::groups(servers);
    EXPECT_EQ(PortMerger::merge(grouped[0].servers)[0].primary.port, 3000) << "in a group, the lowest port";
    EXPECT_EQ(ServerGrouper::rowCount(servers), 3);
    EXPECT_EQ(grouped[0].displayCount(), 3);
}

// A row is exposed when any of its sockets is, whichever server is its primary, and it names every
// socket.
TEST(PortMerger, ARowIsExposedWhenAnyOfItsSocketsIs) {
    struct Case {
        const char* name;
        std::vector<std::vector<std::string>> addresses;  // per server, on ports 3000, 3001, ...
        bool exposed;
        std::string text;
        std::vector<std::string> sockets;
    };
    const Case cases[] = {
        {"all loopback", {{"127.0.0.1"}, {"::1"}}, false, "127.0.0.1, ::1", {"127.0.0.1:3000", "[::1]:3001"}},
        {"the second port open to all",
         {{"127.0.0.1"}, {"*"}},
         true,
         "*, 127.0.0.1",
         {"127.0.0.1:3000", "*:3001"}},
        {"wildcard beside loopback on the first port",
         {{"127.0.0.1", "::"}, {"127.0.0.1"}},
         true,
         "::, 127.0.0.1",
         {"127.0.0.1:3000", "[::]:3000", "127.0.0.1:3001"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Server> servers;
        for (std::size_t i = 0; i < c.addresses.size(); ++i) {
            Server s = server(10, 3000 + static_cast<int>(i), nullopt, nullopt);
            s.addresses = c.addresses[i];
            s.address = c.addresses[i].front();  // the primary address as a caller may leave it
            servers.push_back(s);
        }
        auto rows = PortMerger::merge(servers);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].isExposedToNetwork(), c.exposed);
        EXPECT_EQ(rows[0].addressText(), c.text);
        std::vector<std::string> sockets;
        for (const auto& endpoint : rows[0].sockets()) sockets.push_back(endpoint.text());
        EXPECT_EQ(sockets, c.sockets);
    }
    // A row made by hand stands for its primary's sockets.
    MergedServer alone{server(3, 80, nullopt, nullopt), {80}};
    alone.primary.address = "0.0.0.0";
    EXPECT_TRUE(alone.isExposedToNetwork());
    EXPECT_EQ(alone.sockets(), (std::vector<Endpoint>{{"0.0.0.0", 80}}));
}

}  // namespace
}  // namespace tarvik
