#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "cli/ListCommand.hpp"
#include "core/servers/Probe.hpp"
#include "core/support/Spawn.hpp"
#include "support/RunCli.hpp"
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

// Listed plainly, then grouped and probed: a Python HTTP server in a git repository and a listener in
// a worktree of it; one that never answers, and a tree of three with an argument a shell acts on.
TEST(ListCommand, ListsServersWithTheirProjectsGroupsAndProbes) {
    test::TempHome home;
    auto repo = home.path() / "shop";
    std::filesystem::create_directories(repo);
    const std::string git = "git -C '" + repo.string() + "' -c user.name=t -c user.email=t@t.invalid ";
    const std::string setUp = git + "init -q -b main && " + git + "commit -q --allow-empty -m one && " + git +
                              "worktree add -q ../shop-login -b feature/login >/dev/null 2>&1";
    ASSERT_EQ(std::system(setUp.c_str()), 0);
    test::TestProcess web({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1"},
                          repo.string());
    test::TestProcess login(test::listener({}), (home.path() / "shop-login").string());
    test::TestProcess silent(test::listener({}));
    test::TestProcess tree(test::listener({"--children", "2", "--title", "a b $(x)"}));
    // "Serving HTTP on 127.0.0.1 port 41234 (http://127.0.0.1:41234/) ..."
    std::string banner = web.firstLine();
    ASSERT_NE(banner.find(" port "), std::string::npos) << banner;
    int port = std::stoi(banner.substr(banner.find(" port ") + 6));
    ASSERT_FALSE(login.numbers().empty() || silent.numbers().empty());
    ASSERT_EQ(tree.numbers().size(), 3u);
    const std::vector<int> pids{web.pid(), login.pid(), silent.pid(), tree.pid()};
    auto ours = [&](const json& server) { return std::ranges::count(pids, server["pid"].get<int>()) > 0; };

    auto all = listJson({"--interval", "0.2"});
    ASSERT_TRUE(all.is_array()) << all;
    std::map<int, json> listed;  // one row per process and port
    for (const auto& server : all)
        EXPECT_TRUE(!ours(server) || listed.emplace(server["pid"].get<int>(), server).second) << server;
    ASSERT_EQ(listed.size(), pids.size());
    json& s = listed[web.pid()];
    auto expected = json::parse(R"({"address": "127.0.0.1", "category": "dev", "processCount": 1,
        "args": "/usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1", "isExposedToNetwork": false,
        "project": "shop", "branch": "main"})");
    expected["port"] = port, expected["cwd"] = repo.string();
    expected["id"] = std::to_string(web.pid()) + ":" + std::to_string(port);
    expected["url"] = "http://localhost:" + std::to_string(port);
    for (const auto& [key, value] : expected.items()) EXPECT_EQ(s[key], value) << key;
    EXPECT_EQ(s["kind"]["name"], "Python");
    EXPECT_TRUE(s["processName"].get<std::string>().starts_with("python3"));
    EXPECT_GT(s["memoryBytes"].get<std::uint64_t>(), 1'000'000u);
    EXPECT_TRUE(s["cpuPercent"].is_number() && s["uptimeSeconds"].is_number());
    EXPECT_FALSE(s.contains("probe")) << "without --probe nothing is said about probing";
    EXPECT_EQ(listed[tree.pid()]["processCount"], 3);
    EXPECT_EQ(listed[tree.pid()]["argv"].back(), "a b $(x)") << "each argument kept apart";

    auto groups = listJson({"--groups", "--probe", "--interval", "0"});
    ASSERT_TRUE(groups.is_array()) << groups;
    auto orDash = [](const json& text) {
        return text.is_null() ? std::string("-") : text.get<std::string>();
    };
    std::vector<std::string> seen;  // "title@branch: branches of our rows"
    std::map<int, json> probed;
    for (const auto& group : groups) {
        // The group model: its id and flags, every server in full and the merged rows over them.
        EXPECT_EQ(group["id"], group["title"]);
        EXPECT_EQ(group["isSystem"], group["kind"] == "system");
        EXPECT_EQ(group["displayCount"], group["rows"].size());
        for (const auto& row : group["rows"]) {
            auto server = row["server"].get<std::string>();
            EXPECT_TRUE(std::any_of(group["servers"].begin(), group["servers"].end(),
                                    [&](const json& other) { return other["id"] == server; }) &&
                        row["id"].get<std::string>().starts_with(server.substr(0, server.find(':') + 1)) &&
                        !row["ports"].empty())
                << row;
        }
        std::string branches;
        for (const auto& server : group["servers"]) {
            if (!ours(server)) continue;
            probed[server["pid"].get<int>()] = server;
            branches += (branches.empty() ? "" : ",") + orDash(server["branch"]);
        }
        if (!branches.empty())
            seen.push_back(group["title"].get<std::string>() + "@" + orDash(group["branch"]) + ": " +
                           branches);
    }
    // Ports are random, so either worktree may come first; the heading shows the first one's branch.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0] == "shop@main: main,feature/login" ||
                seen[0] == "shop@feature/login: feature/login,main")
        << seen[0];
    EXPECT_EQ(seen[1], "Services@-: -,-");

    // Any dev server but a database is probed: one whose kind names no web tool but that answered
    // HTTP reads as http, and the JSON tells a server not probed from one that did not answer.
    EXPECT_TRUE(probed[web.pid()]["health"].is_string()) << probed[web.pid()];
    EXPECT_EQ(probed[web.pid()]["probe"]["outcome"], "http");
    EXPECT_EQ(probed[web.pid()]["probe"]["status"], 200);
    EXPECT_EQ(probed[web.pid()]["protocol"], "http");
    EXPECT_EQ(probed[silent.pid()]["probe"]["outcome"], "unreachable");
    EXPECT_TRUE(probed[silent.pid()]["health"].is_null());
    EXPECT_EQ(probed[silent.pid()]["protocol"], "unknown");
}

// A process listening on loopback on one port and on every interface on another is one row, and
// that row is exposed with both sockets named: the list does not hide the open one.
TEST(ListCommand, ARowWithOneSocketOpenToTheNetworkIsExposed) {
    test::TestProcess both(test::listener({"--extra", "0.0.0.0"}));
    auto ports = both.numbers();
    ASSERT_EQ(ports.size(), 2u);
    const std::string pid = std::to_string(both.pid()), loopback = std::to_string(ports[0]),
                      open = std::to_string(ports[1]);

    std::map<std::string, json> servers;  // by id
    for (const auto& server : listJson({"--interval", "0"}))
        if (server["pid"] == both.pid()) servers[server["id"].get<std::string>()] = server;
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[pid + ":" + loopback]["isExposedToNetwork"], false);
    EXPECT_EQ(servers[pid + ":" + loopback]["addresses"], json::array({"127.0.0.1"}));
    EXPECT_EQ(servers[pid + ":" + open]["isExposedToNetwork"], true);
    EXPECT_EQ(servers[pid + ":" + open]["addresses"], json::array({"*"}));

    std::vector<json> rows;
    for (const auto& group : listJson({"--groups", "--interval", "0"}))
        for (const auto& row : group["rows"])
            if (row["id"].get<std::string>().starts_with(pid + ":")) rows.push_back(row);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["isExposedToNetwork"], true) << rows[0];
    // By port, so either may come first.
    auto sockets = rows[0]["sockets"].get<std::vector<std::string>>();
    std::ranges::sort(sockets);
    EXPECT_EQ(sockets, (std::vector<std::string>{"*:" + open, "127.0.0.1:" + loopback}));

    auto text = Spawn::run(TARVIK_BINARY, {"list", "--interval", "0"});
    ASSERT_EQ(text.status, 0);
    std::istringstream lines(text.output);
    std::string ours;
    for (std::string line; std::getline(lines, line);)
        if (line.find(" " + pid + " ") != std::string::npos) ours = line;
    EXPECT_NE(ours.find("  *, 127.0.0.1  "), std::string::npos) << text.output;
}

TEST(ListCommand, PortListsFitTheirColumnAsRangesOrACount) {
    const std::tuple<const char*, std::vector<int>, std::string> cases[] = {
        {"a run reads as a range", {3000, 3001, 3002, 8080}, "3000-3002,8080"},
        {"the first port always shows",
         {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25},
         "1,3,5,7,9,11,13,15,17,+4"},
    };
    for (const auto& [what, ports, shown] : cases) EXPECT_EQ(cli::portsText(ports), shown) << what;
}

Server tableServer(std::int32_t pid, int port, std::string kind, TintToken tint) {
    Server server;
    server.pid = pid, server.port = port, server.address = "::1";
    server.processName = "node", server.args = "npm start";
    server.cwd = "/srv/shop";
    server.kind = {std::move(kind), "bolt", tint};
    server.category = ServerCategory::dev;
    server.memoryBytes = 52'428'800, server.cpuPercent = 3.25, server.uptimeSeconds = 3'700;
    return server;
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
        std::istringstream text(cli::renderServerTable(shown, false, terminal, probes));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
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
    auto cut = rendered(servers, {false, 86});
    EXPECT_EQ(cut.at(0), "  KIND        PORTS      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND");
    EXPECT_EQ(cut.at(5),
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

TEST(ListCommand, BadOptionsGiveOneLineAndStatusTwo) {
    for (std::vector<std::string> bad : {std::vector<std::string>{"list", "--bogus"},
                                         {"list", "--interval", "-1"},
                                         {"list", "--interval", "soon"},
                                         {"nonsense"}}) {
        auto said = test::runCli(bad);
        EXPECT_EQ(said.status, 2) << bad.back();
        EXPECT_EQ(std::ranges::count(said.err, '\n'), 1) << said.err;
        EXPECT_TRUE(said.out.empty());
    }
    auto help = test::runCli({"--help"}), listHelp = test::runCli({"list", "--help"});
    EXPECT_TRUE(help.status == 0 && help.out.find("list") != std::string::npos) << help.out;
    EXPECT_TRUE(listHelp.status == 0 && listHelp.out.find("--interval") != std::string::npos &&
                listHelp.out.find("--json") != std::string::npos)
        << listHelp.out;
}

}  // namespace
}  // namespace tarvik
