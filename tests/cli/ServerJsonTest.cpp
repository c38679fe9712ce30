#include "cli/ServerJson.hpp"

#include <gtest/gtest.h>

#include "core/processes/ProcessTree.hpp"

namespace tarvik {
namespace {

using nlohmann::ordered_json;

// What the list prints for a server nobody could see the owner of: nothing a script could take
// for a pid or a name. A script that kills every pid must never be handed 0.
TEST(ServerJson, UnknownIsNullNeverZeroOrEmpty) {
    Server hidden;
    hidden.port = 5432;
    hidden.address = "*";
    hidden.kind = {"Hidden listener", "eye-slash", TintToken::slate};
    hidden.user = "postgres";
    Server seen;
    seen.pid = 4211, seen.port = 3000, seen.address = "127.0.0.1", seen.processName = "node";
    seen.argv = {"node", "server.js"};

    const std::tuple<const char*, Server, ordered_json> cases[] = {
        {"an owner that cannot be seen", hidden,
         ordered_json::parse(R"({"pid": null, "processName": null, "argv": null, "user": "postgres",
                                 "address": "*", "addresses": ["*"], "isExposedToNetwork": true,
                                 "id": "0:5432"})")},
        {"a seen owner", seen,
         ordered_json::parse(R"({"pid": 4211, "processName": "node", "argv": ["node", "server.js"],
                                 "user": null, "address": "127.0.0.1", "addresses": ["127.0.0.1"],
                                 "isExposedToNetwork": false})")},
        {"an unknown address", Server{.pid = 7, .port = 80, .processName = "x"},
         ordered_json::parse(R"({"address": null, "addresses": [], "isExposedToNetwork": false})")},
    };
    for (const auto& [name, server, expected] : cases) {
        SCOPED_TRACE(name);
        auto json = cli::toJson(server);
        for (const auto& [key, value] : expected.items()) EXPECT_EQ(json[key], value) << key;
    }
}

// A process tree's CPU reaches the JSON as it was summed, without binary rounding noise.
TEST(ServerJson, ATreesCpuPrintsAsItsDecimalSum) {
    const std::vector<ProcessRow> rows{{10, 1, 100, 34.18}, {11, 10, 100, 34.18}, {12, 10, 100, 34.18}};
    Server server{.pid = 10, .port = 3000};
    server.cpuPercent = ProcessTree::rollUp(rows, {10}).at(10).cpuPercent;
    EXPECT_EQ(cli::toJson(server)["cpuPercent"].dump(), "102.54");
}

}  // namespace
}  // namespace tarvik
