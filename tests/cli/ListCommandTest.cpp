#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <tuple>

#include "cli/ListCommand.hpp"
#include "core/processes/ProcessTree.hpp"
#include "core/servers/Probe.hpp"
#include "core/support/Spawn.hpp"
#include "core/support/Unicode.hpp"
#include "support/TempDir.hpp"
#include "support/TempHome.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

// `tarvik list --json` with `arguments`, parsed; discarded when it printed something else.
json listJson(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"list", "--json"});
    auto result = Spawn::run(TARVIK_BINARY, arguments);
    EXPECT_EQ(result.status, 0);
    return json::parse(result.output, nullptr, false);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// Listed plainly, then grouped and probed: a Python HTTP server in a git repository, one that never
// answers, and a tree of three with an argument a shell acts on.
TEST(ListCommand, ListsServersWithTheirProjectsGroupsAndProbes) {
    test::TempHome home;
    auto repo = home.path() / "shop";
    std::filesystem::create_directories(repo);
    const std::string git = "git -C '" + repo.string() + "' -c user.name=t -c user.email=t@t.invalid ";
    ASSERT_EQ(std::system((git + "init -q -b main && " + git + "commit -q --allow-empty -m one").c_str()), 0);
    test::TestProcess web({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1"},
                          repo.string());
    test::TestProcess silent(test::listener({}));
    test::TestProcess tree(test::listener({"--children", "2", "--title", "a b $(x)"}));
    // "Serving HTTP on 127.0.0.1 port 41234 (http://127.0.0.1:41234/) ..."
    std::string banner = web.firstLine();
    ASSERT_NE(banner.find(" port "), std::string::npos) << banner;
    int port = std::stoi(banner.substr(banner.find(" port ") + 6));
    ASSERT_FALSE(silent.numbers().empty());
    ASSERT_EQ(tree.numbers().size(), 3u);
    const std::vector<int> pids{web.pid(), silent.pid(), tree.pid()};
    auto ours = [&](const json& server) { return std::ranges::count(pids, server["pid"].get<int>()) > 0; };
    const auto flat = listJson({"--interval", "0"});
    const auto plainly = [&](const json& server) { return ours(server) && !server.contains("probe"); };
    EXPECT_EQ(std::count_if(flat.begin(), flat.end(), plainly), 3)
        << "without --probe nothing is said of probing";

    // The group model: its id and flags, every server in full and the merged rows over them.
    std::map<int, json> listed;  // one row per process and port
    std::map<int, std::string> heading;
    for (const auto& group : listJson({"--groups", "--probe", "--interval", "0.2"})) {
        EXPECT_TRUE(group["id"] == group["title"] && group["isSystem"] == (group["kind"] == "system") &&
                    group["displayCount"] == group["rows"].size())
            << group;
        for (const auto& row : group["rows"]) {
            auto server = row["server"].get<std::string>();
            EXPECT_TRUE(std::any_of(group["servers"].begin(), group["servers"].end(),
                                    [&](const json& other) { return other["id"] == server; }) &&
                        row["id"].get<std::string>().starts_with(server.substr(0, server.find(':') + 1)) &&
                        !row["ports"].empty())
                << row;
        }
        for (const auto& server : group["servers"]) {
            if (!ours(server)) continue;
            EXPECT_TRUE(listed.emplace(server["pid"].get<int>(), server).second) << server;
            heading[server["pid"].get<int>()] =
                group["title"].get<std::string>() + "@" + group["branch"].dump();
        }
    }
    ASSERT_EQ(listed.size(), pids.size());
    json& s = listed[web.pid()];
    auto expected = json::parse(R"({"address": "127.0.0.1", "category": "dev", "processCount": 1,
        "args": "/usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1", "isExposedToNetwork": false,
        "project": "shop", "branch": "main", "user": null, "addresses": ["127.0.0.1"]})");
    expected["port"] = port, expected["cwd"] = repo.string();
    expected["id"] = std::to_string(web.pid()) + ":" + std::to_string(port);
    expected["url"] = "http://localhost:" + std::to_string(port);
    for (const auto& [key, value] : expected.items()) EXPECT_EQ(s[key], value) << key;
    EXPECT_EQ(s["kind"]["name"], "Python");
    EXPECT_TRUE(s["processName"].get<std::string>().starts_with("python3"));
    EXPECT_GT(s["memoryBytes"].get<std::uint64_t>(), 1'000'000u);
    EXPECT_TRUE(s["cpuPercent"].is_number() && s["uptimeSeconds"].is_number());
    EXPECT_EQ(listed[tree.pid()]["processCount"], 3);
    EXPECT_EQ(listed[tree.pid()]["argv"].back(), "a b $(x)") << "each argument kept apart";
    EXPECT_EQ(heading[web.pid()], "shop@\"main\"");
    EXPECT_EQ(heading[silent.pid()], "Services@null");
    // Any dev server but a database is probed: one whose kind names no web tool but that answered
    // HTTP reads as http, and the JSON tells a server not probed from one that did not answer.
    EXPECT_TRUE(s["health"].is_string()) << s;
    EXPECT_EQ(s["probe"]["outcome"], "http");
    EXPECT_EQ(s["probe"]["status"], 200);
    EXPECT_EQ(s["protocol"], "http");
    EXPECT_EQ(listed[silent.pid()]["probe"]["outcome"], "unreachable");
    EXPECT_TRUE(listed[silent.pid()]["health"].is_null());
    EXPECT_EQ(listed[silent.pid()]["protocol"], "unknown");
}

TEST(ListCommand, PortListsFitTheirColumnAsRangesOrACount) {
    const std::tuple<const char*, std::vector<int>, std::string> cases[] = {
        {"a run reads as a range", {3000, 3001, 3002, 8080}, "3000-3002,8080"},
        {"the first port always shows",
         {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25},
         "1,3,5,7,9,11,13,15,17,+4"}};
    for (const auto& [what, ports, shown] : cases) EXPECT_EQ(cli::portsText(ports), shown) << what;
}

Server tableServer(std::int32_t pid, int port, std::string kind, TintToken tint) {
    return {.pid = pid,
            .port = port,
            .address = "::1",
            .processName = "node",
            .args = "npm start",
            .cwd = "/srv/shop",
            .kind = {std::move(kind), "bolt", tint},
            .category = ServerCategory::dev,
            .memoryBytes = 52'428'800,
            .cpuPercent = 3.25,
            .uptimeSeconds = 3'700};
}

// One table across the groups: every column lines up below its header, the optional branch and
// health columns appear only when a row needs them, and the command gives way to the width first.
TEST(ListCommand, RendersOneAlignedTableAcrossTheGroups) {
    Server vite = tableServer(4211, 5173, "Vite", TintToken::purple);
    vite.project = "shop", vite.branch = "main";
    Server viteSecond = vite;
    viteSecond.port = 5174;  // the same process and kind: one row with both ports
    Server api = tableServer(77, 3000, "Express", TintToken::emerald);
    api.project = "shop", api.branch = "main";
    Server db = tableServer(900, 15432, "PostgreSQL", TintToken::blue);
    db.address = "0.0.0.0", db.cwd.reset(), db.memoryBytes.reset(), db.cpuPercent.reset();
    db.uptimeSeconds.reset(), db.containerName = "db", db.containerImage = "postgres:16";
    Server sshd = tableServer(1, 22, "SSH", TintToken::slate);
    sshd.category = ServerCategory::system;
    const std::vector<Server> servers{vite, viteSecond, api, db, sshd};
    const cli::Terminal plain{false, std::nullopt};
    const std::string table =
        R"(  KIND        PORTS      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND
shop · main
  Express     3000       ::1        77   50 MB  3.2%   1h 1m  /srv/shop  npm start
  Vite        5173,5174  ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  npm start
Services
  PostgreSQL  15432      0.0.0.0   900       -     -       -  -          db (postgres:16)
)";
    EXPECT_EQ(cli::renderServerTable(servers, false, plain), table);
    EXPECT_EQ(
        cli::renderServerTable(servers, true, plain),
        table +
            "System\n  SSH         22         ::1         1   50 MB  3.2%   1h 1m  /srv/shop  npm start\n");
    EXPECT_EQ(cli::renderServerTable({sshd}, false, plain),
              "No dev servers are running. Use --all to include the system's listeners.\n");

    // Each variant below pins the lines that show what it changes.
    Server login = api;
    login.branch = "feature/login";
    const cli::ProbeOutcomes health{{api.id(), HTTPProbe::Http{200, 3}},
                                    {viteSecond.id(), HTTPProbe::Http{404, 12}},
                                    {vite.id(), HTTPProbe::Unreachable{}}};
    auto rendered = [](const std::vector<Server>& shown, const cli::Terminal& terminal,
                       const cli::ProbeOutcomes* probes = nullptr) {
        return linesOf(cli::renderServerTable(shown, false, terminal, probes));
    };
    auto branched = rendered({vite, login, db}, plain);
    EXPECT_EQ(branched.at(0),
              "  KIND        PORTS  ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  BRANCH         COMMAND");
    EXPECT_EQ(branched.at(1), "shop · feature/login");
    EXPECT_EQ(
        branched.at(3),
        "  Vite        5173   ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  main           npm start");
    auto probed = rendered(servers, plain, &health);
    EXPECT_EQ(probed.at(0),
              "  KIND        PORTS      HEALTH      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND");
    EXPECT_EQ(
        probed.at(3),
        "  Vite        5173,5174  404 · 12ms  ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  npm start");
    EXPECT_EQ(rendered(servers, {false, 86}).at(5),
              "  PostgreSQL  15432      0.0.0.0   900       -     -       -  -          db (postgres…");
    auto dropped = rendered(servers, {false, 84});
    EXPECT_EQ(dropped.at(0), "  KIND        PORTS      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY")
        << "the command goes rather than cut the kind";
    EXPECT_EQ(dropped.at(5), "  PostgreSQL  15432      0.0.0.0   900       -     -       -  -");
    auto coloured = rendered({vite, db}, {true, std::nullopt});
    EXPECT_EQ(coloured.at(0),
              "\x1b[1m  KIND        PORTS  ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND\x1b[0m");
    EXPECT_EQ(coloured.at(4),
              "  \x1b[38;5;75mPostgreSQL\x1b[0m  15432  0.0.0.0   900       -     -       -  -          db "
              "(postgres:16)");
}

// A process listening on loopback on one port and on every interface on another is one row, and
// that row is exposed with both sockets named: the list does not hide the open one.
TEST(ListCommand, ARowWithOneSocketOpenToTheNetworkIsExposed) {
    Server loopback = tableServer(4211, 5173, "Vite", TintToken::purple), open = loopback;
    loopback.address = "127.0.0.1", open.port = 5174, open.address = "*";
    const std::vector<Server> servers{loopback, open};
    const auto groups = nlohmann::ordered_json::parse(cli::groupsJson(ServerGrouper::groups(servers)));
    ASSERT_EQ(groups.at(0)["rows"].size(), 1u);
    EXPECT_EQ(groups[0]["rows"][0]["isExposedToNetwork"], true);
    EXPECT_EQ(groups[0]["rows"][0]["sockets"], nlohmann::ordered_json::array({"127.0.0.1:5173", "*:5174"}));
    const auto table = cli::renderServerTable(servers, false, {false, std::nullopt});
    EXPECT_NE(table.find("  *, 127.0.0.1  "), std::string::npos) << table;
}

// The terminal's columns of a line as it shows it: colour codes take none.
std::size_t shownWidth(const std::string& line) {
    static const std::regex colour("\x1b\\[[0-9;]*m");
    return Unicode::displayWidth(std::regex_replace(line, colour, ""));
}

// Long and hostile names: control characters (each shown as a visible escape, several columns),
// wide characters, a folder and a command far wider than any terminal.
std::vector<Server> hostileServers() {
    Server vite{.pid = 4211,
                .port = 5173,
                .address = "127.0.0.1",
                .processName = "node",
                .args = "node " + std::string(200, 'a') + " \x1b[31mred\r\n 漢字漢字漢字",
                .cwd = "/srv/" + std::string(120, 'd') + "/\x1b[2J",
                .kind = {"Vite\x1b]0;owned\x07\tserver", "bolt", TintToken::purple},
                .category = ServerCategory::dev,
                .memoryBytes = 52'428'800,
                .cpuPercent = 102.54,
                .uptimeSeconds = 370'000,
                .branch = "feature/" + std::string(80, 'b'),
                .project = "項目項目項目項目\n項目項目項目項目項目項目項目",
                .addresses = {"127.0.0.1", "::", "fe80::1234:5678:9abc:def0"}};
    Server second = vite, other = vite;
    second.port = 5174;
    other.pid = 77, other.port = 3000, other.branch = "main", other.kind.name = std::string(60, 'K');
    const Server hidden{.port = 22, .address = "*", .kind = {"Hidden listener", "lock-fill"}, .user = "root"};
    std::vector<Server> servers{vite, second, other, hidden};
    for (int i = 0; i < 12; ++i) {
        Server many = other;
        many.port = 4000 + 2 * i;  // twelve ports, none consecutive
        servers.push_back(many);
    }
    return servers;
}

TEST(ListCommand, EveryLineFitsTheTerminalWidth) {
    const auto servers = hostileServers();
    const cli::ProbeOutcomes health{{servers[0].id(), HTTPProbe::Http{200, 3}}};
    for (int width : {40, 60, 80, 120}) {
        for (bool colour : {false, true}) {
            SCOPED_TRACE("width " + std::to_string(width) + (colour ? ", in colour" : ""));
            auto lines = linesOf(cli::renderServerTable(servers, true, {colour, width}, &health));
            ASSERT_GT(lines.size(), 4u);
            for (const auto& line : lines)
                EXPECT_LE(shownWidth(line), static_cast<std::size_t>(width)) << line;
            EXPECT_TRUE(lines[0].find("KIND") != std::string::npos &&
                        lines[0].find("PORTS") != std::string::npos)
                << "the kind and the ports stay: " << lines[0];
            bool cut = std::ranges::any_of(
                lines, [](const std::string& line) { return line.find("…") != std::string::npos; });
            EXPECT_TRUE(cut) << "every width here is too narrow for the long names";
        }
    }
    // Without a width nothing is cut.
    auto full = cli::renderServerTable(servers, true, {false, std::nullopt});
    EXPECT_NE(full.find(std::string(200, 'a')), std::string::npos);
}

TEST(ListCommand, TheFootprintLineWrapsToTheWidth) {
    DevFootprint footprint;
    footprint.serversBytes = 1'200'000'000, footprint.containersBytes = 300'000'000;
    footprint.otherBytes = 7'000'000'000, footprint.usedBytes = 8'500'000'000;
    const std::string line = cli::footprintLine(footprint);
    for (int width : {20, 40, 60}) {
        SCOPED_TRACE(width);
        auto lines = linesOf(cli::wrapped(line, width));
        EXPECT_GT(lines.size(), 1u);
        std::string joined;
        for (const auto& piece : lines) {
            EXPECT_LE(Unicode::displayWidth(piece), static_cast<std::size_t>(width)) << piece;
            joined += (joined.empty() ? "" : " ") + piece;
        }
        EXPECT_EQ(joined, line);
    }
    EXPECT_EQ(cli::wrapped(line, std::nullopt), line + "\n");
}

using nlohmann::ordered_json;

// What the list prints for a server nobody could see the owner of: nothing a script could take
// for a pid or a name. A script that kills every pid must never be handed 0.
TEST(ServerJson, UnknownIsNullNeverZeroOrEmpty) {
    const Server hidden{
        .port = 5432, .address = "*", .kind = {"Hidden listener", "lock-fill"}, .user = "postgres"};

    const std::tuple<const char*, Server, ordered_json> cases[] = {
        {"an owner that cannot be seen", hidden,
         ordered_json::parse(R"({"pid": null, "processName": null, "argv": null, "user": "postgres",
                                 "address": "*", "addresses": ["*"], "isExposedToNetwork": true,
                                 "id": "0:5432"})")},
        {"an unknown address", Server{.pid = 7, .port = 80, .processName = "x"},
         ordered_json::parse(R"({"address": null, "addresses": [], "isExposedToNetwork": false,
                                 "desktopEntryPath": null})")},
        {"a desktop application's server",
         Server{.pid = 8, .port = 81, .desktopEntryPath = "/usr/share/applications/code.desktop"},
         ordered_json::parse(R"({"desktopEntryPath": "/usr/share/applications/code.desktop"})")}};
    for (const auto& [name, server, expected] : cases) {
        SCOPED_TRACE(name);
        auto record = ordered_json::parse(cli::serversJson({server})).at(0);
        for (const auto& [key, value] : expected.items()) EXPECT_EQ(record[key], value) << key;
    }
    // A process tree's CPU reaches the JSON as it was summed, without binary rounding noise.
    const std::vector<ProcessRow> rows{{10, 1, 100, 34.18}, {11, 10, 100, 34.18}, {12, 10, 100, 34.18}};
    Server server{.pid = 10, .port = 3000};
    server.cpuPercent = ProcessTree::rollUp(rows, {10}).at(10).cpuPercent;
    EXPECT_NE(cli::serversJson({server}).find("\"cpuPercent\": 102.54,"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
