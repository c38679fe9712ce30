#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <numeric>
#include <set>
#include <sstream>
#include <tuple>

#include "cli/Cli.hpp"
#include "cli/ListCommand.hpp"
#include "core/servers/Probe.hpp"
#include "core/support/Spawn.hpp"
#include "support/FakeEngine.hpp"
#include "support/TempDir.hpp"
#include "support/TempHome.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

// The servers of `tarvik list --json` that belong to the test's own processes.
std::vector<json> listed(const std::vector<int>& pids, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"list", "--json", "--interval", "0.2"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    auto result = Spawn::run(TARVIK_BINARY, arguments);
    EXPECT_EQ(result.status, 0);
    auto all = json::parse(result.output, nullptr, false);
    EXPECT_TRUE(all.is_array()) << result.output;
    std::vector<json> mine;
    for (const auto& server : all)
        if (std::find(pids.begin(), pids.end(), server["pid"].get<int>()) != pids.end())
            mine.push_back(server);
    return mine;
}

TEST(ListCommand, ShowsAPythonServerStartedInARepositoryInTheHome) {
    test::TempHome home;
    test::TempDir project(home.path());
    project.write(".git/HEAD", "ref: refs/heads/main\n");
    project.write(".git/refs/heads/main", "0123456789abcdef0123456789abcdef01234567\n");
    std::filesystem::create_directories(project.path() / ".git/objects");
    test::TestProcess server({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1"},
                             project.path().string());
    // "Serving HTTP on 127.0.0.1 port 41234 (http://127.0.0.1:41234/) ..."
    std::string banner = server.firstLine();
    auto at = banner.find(" port ");
    ASSERT_NE(at, std::string::npos) << banner;
    int port = std::stoi(banner.substr(at + 6));

    auto servers = listed({server.pid()});
    ASSERT_EQ(servers.size(), 1u);
    const auto& s = servers[0];
    EXPECT_EQ(s["port"], port);
    EXPECT_EQ(s["address"], "127.0.0.1");
    EXPECT_TRUE(s["processName"].get<std::string>().starts_with("python3"));
    EXPECT_EQ(s["args"], "/usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1");
    EXPECT_EQ(s["cwd"], project.path().string());
    EXPECT_EQ(s["kind"]["name"], "Python");
    EXPECT_EQ(s["kind"]["tint"], "blue");
    EXPECT_EQ(s["category"], "dev");
    EXPECT_GT(s["memoryBytes"].get<std::uint64_t>(), 1'000'000u);
    EXPECT_TRUE(s["cpuPercent"].is_number());
    EXPECT_TRUE(s["uptimeSeconds"].is_number());
    EXPECT_EQ(s["processCount"], 1);
    EXPECT_EQ(s["id"], std::to_string(server.pid()) + ":" + std::to_string(port));
    EXPECT_EQ(s["url"], "http://localhost:" + std::to_string(port));
    EXPECT_EQ(s["isExposedToNetwork"], false);
    EXPECT_EQ(s["project"], project.path().filename().string());
    EXPECT_EQ(s["branch"], "main");
}

TEST(ListCommand, ListsWithoutContainersWhenDockerDoesNotAnswer) {
    test::FakeEngine engine(false);
    auto result = engine.tarvik({"list", "--all", "--interval", "0"});
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("tarvik: Docker did not answer within 2 s; containers are not shown.\n"),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find(" " + std::to_string(engine.port()) + " "), std::string::npos)
        << "the servers are still listed: " << result.output;
}

TEST(ListCommand, PortListsFitTheirColumnAsRangesOrACount) {
    std::vector<int> twoHundred(200);
    std::iota(twoHundred.begin(), twoHundred.end(), 20000);
    std::vector<int> scattered;
    for (int port = 40000; port < 40400; port += 2) scattered.push_back(port);
    const std::tuple<const char*, std::vector<int>, std::string> cases[] = {
        {"one", {3000}, "3000"},
        {"a pair stays a pair", {3000, 3001}, "3000,3001"},
        {"a run reads as a range", {3000, 3001, 3002, 8080}, "3000-3002,8080"},
        {"two hundred in a row", twoHundred, "20000-20199"},
        {"two hundred apart", scattered, "40000,40002,40004,+197"},
        {"the first port always shows",
         {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25},
         "1,3,5,7,9,11,13,15,17,+4"},
    };
    for (const auto& [what, ports, shown] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(cli::portsText(ports), shown);
        EXPECT_LE(cli::portsText(ports).size(), 24u);
    }
}

TEST(ListCommand, OneRowPerProcessAndPortWithTreesAndQuotedArguments) {
    test::TempHome home;
    test::TempDir project(home.path());
    // One process bound to one port twice; a tree of three; a socket shared with a forked worker.
    test::TestProcess dual(test::listener({"--addr", "0.0.0.0", "--addr", "127.0.0.1"}));
    test::TestProcess tree(test::listener({"--children", "2", "--title", "a b $(x)"}),
                           project.path().string());
    test::TestProcess shared(test::listener({"--share", "1"}));
    int dualPort = dual.numbers().at(0);
    ASSERT_EQ(tree.numbers().size(), 3u);
    auto worker = shared.numbers().at(1);

    auto servers = listed({dual.pid(), tree.pid(), shared.pid(), worker});
    ASSERT_EQ(servers.size(), 4u);
    auto of = [&](int pid) {
        return *std::find_if(servers.begin(), servers.end(), [&](const json& s) { return s["pid"] == pid; });
    };
    EXPECT_EQ(of(dual.pid())["port"], dualPort);
    EXPECT_EQ(of(dual.pid())["address"], "127.0.0.1");
    EXPECT_EQ(of(tree.pid())["processCount"], 3);
    EXPECT_TRUE(of(tree.pid())["args"].get<std::string>().ends_with("--children 2 --title a b $(x)"))
        << "the rules see the arguments joined as ps prints them";
    auto argv = of(tree.pid())["argv"].get<std::vector<std::string>>();
    ASSERT_GE(argv.size(), 2u);
    EXPECT_EQ(argv.back(), "a b $(x)") << "each argument kept apart";
    EXPECT_EQ(of(shared.pid())["port"], of(worker)["port"]);
    EXPECT_NE(of(shared.pid())["id"], of(worker)["id"]);
}

TEST(ListCommand, GroupsWorktreesOfOneProjectBeforeTheServices) {
    test::TempHome home;
    auto repo = home.path() / "shop";
    std::filesystem::create_directories(repo);
    std::string git = "cd '" + repo.string() + "' && git -c user.name=t -c user.email=t@t.invalid ";
    ASSERT_EQ(std::system((git + "init -q -b main && " + git + "commit -q --allow-empty -m one && " + git +
                           "worktree add -q ../shop-login -b feature/login >/dev/null 2>&1")
                              .c_str()),
              0);
    test::TempDir outside("/tmp");
    test::TestProcess main(test::listener({}), repo.string());
    test::TestProcess login(test::listener({}), (home.path() / "shop-login").string());
    test::TestProcess service(test::listener({}), outside.path().string());
    std::vector<int> pids{main.pid(), login.pid(), service.pid()};
    for (auto* process : {&main, &login, &service}) ASSERT_FALSE(process->numbers().empty());

    auto result = Spawn::run(TARVIK_BINARY, {"list", "--json", "--groups", "--interval", "0"});
    ASSERT_EQ(result.status, 0);
    std::vector<std::string> seen;  // "title@branch: branches of our rows"
    for (const auto& group : json::parse(result.output)) {
        // The group model: its id and flags, every server in full and the merged rows over them.
        EXPECT_EQ(group["id"], group["title"]);
        EXPECT_EQ(group["isSystem"], group["kind"] == "system");
        ASSERT_TRUE(group["rows"].is_array());
        EXPECT_EQ(group["displayCount"], group["rows"].size());
        std::set<std::string> serverIds;
        for (const auto& server : group["servers"]) serverIds.insert(server["id"].get<std::string>());
        for (const auto& row : group["rows"]) {
            EXPECT_TRUE(serverIds.contains(row["server"].get<std::string>())) << row.dump();
            EXPECT_TRUE(row["id"].get<std::string>().starts_with(
                row["server"].get<std::string>().substr(0, row["server"].get<std::string>().find(':') + 1)))
                << row.dump();
            EXPECT_FALSE(row["ports"].empty());
        }
        std::string rows;
        for (const auto& row : group["servers"])
            if (std::find(pids.begin(), pids.end(), row["pid"].get<int>()) != pids.end())
                rows += (rows.empty() ? "" : ",") +
                        (row["branch"].is_null() ? "-" : row["branch"].get<std::string>());
        if (!rows.empty())
            seen.push_back(group["title"].get<std::string>() + "@" +
                           (group["branch"].is_null() ? "-" : group["branch"].get<std::string>()) + ": " +
                           rows);
    }
    // Ports are random, so either worktree may come first; the heading shows the first one's branch.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0] == "shop@main: main,feature/login" ||
                seen[0] == "shop@feature/login: feature/login,main")
        << seen[0];
    EXPECT_EQ(seen[1], "Services@-: -");
}

TEST(ListCommand, ProbeLabelsHttpServersWithStatusAndLatency) {
    test::TempDir site;
    std::filesystem::create_directories(site.path() / "flask-app");  // the name makes it a Flask server
    test::TestProcess server({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                              "--directory", (site.path() / "flask-app").string()});
    ASSERT_NE(server.firstLine().find(" port "), std::string::npos);
    auto servers = listed({server.pid()}, {"--probe"});
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0]["kind"]["name"], "Flask");
    std::string health = servers[0]["health"].is_string() ? servers[0]["health"].get<std::string>() : "";
    EXPECT_TRUE(health.starts_with("200 \u00B7 ") && health.ends_with("ms")) << health;
}

// Any dev server that is not a database is probed; one whose kind tells nothing but that answered
// HTTP reads as http, and the JSON tells a server not probed from one that did not answer.
TEST(ListCommand, ProbesEveryDevServerAndSaysWhatCameBack) {
    test::TempDir site;
    test::TestProcess web({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                           "--directory", site.path().string()});
    ASSERT_NE(web.firstLine().find(" port "), std::string::npos);
    test::TestProcess silent(test::listener({}));  // accepts and never answers
    ASSERT_FALSE(silent.numbers().empty());
    auto servers = listed({web.pid(), silent.pid()}, {"--probe"});
    ASSERT_EQ(servers.size(), 2u);
    for (const auto& server : servers) {
        SCOPED_TRACE(server.dump());
        EXPECT_EQ(server["category"], "dev");
        EXPECT_NE(server["kind"]["name"], "Flask") << "a kind outside the named web tools";
        if (server["pid"] == web.pid()) {
            EXPECT_EQ(server["probe"]["outcome"], "http");
            EXPECT_EQ(server["probe"]["status"], 200);
            EXPECT_EQ(server["protocol"], "http");
        } else {
            EXPECT_EQ(server["probe"]["outcome"], "unreachable");
            EXPECT_TRUE(server["health"].is_null());
            EXPECT_EQ(server["protocol"], "unknown");
        }
    }
    auto unprobed = listed({web.pid()});
    ASSERT_EQ(unprobed.size(), 1u);
    EXPECT_FALSE(unprobed[0].contains("probe")) << "without --probe nothing is said about probing";
}

// The lines, each ended by a newline.
std::string lines(std::initializer_list<std::string_view> texts) {
    std::string joined;
    for (std::string_view text : texts) joined.append(text).append("\n");
    return joined;
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
// health columns appear only when a row needs them, and the last column is cut to the width.
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
    const std::string table = lines(
        {"  KIND        PORTS      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND", "shop · main",
         "  Express     3000       ::1        77   50 MB  3.2%   1h 1m  /srv/shop  npm start",
         "  Vite        5173,5174  ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  npm start", "Services",
         "  PostgreSQL  15432      0.0.0.0   900       -     -       -  -          db (postgres:16)"});
    EXPECT_EQ(cli::renderServerTable(servers, false, plain), table);
    EXPECT_EQ(cli::renderServerTable(servers, true, plain),
              table + lines({"System",
                             "  SSH         22         ::1         1   50 MB  3.2%   1h 1m  /srv/shop  "
                             "npm start"}));
    EXPECT_EQ(cli::renderServerTable({sshd}, false, plain),
              "No dev servers are running. Use --all to include the system's listeners.\n");

    // Each variant below pins only the lines it changes; every line still counts.
    Server login = api;
    login.branch = "feature/login";
    const cli::ProbeOutcomes health{{api.id(), HTTPProbe::Http{200, 3}},
                                    {viteSecond.id(), HTTPProbe::Http{404, 12}},
                                    {vite.id(), HTTPProbe::Unreachable{}}};
    struct Case {
        const char* name;
        std::vector<Server> servers;
        cli::Terminal terminal;
        const cli::ProbeOutcomes* health;
        std::vector<std::pair<std::size_t, std::string>> changed;
    };
    const Case cases[] = {
        {"a worktree on another branch",
         {vite, login, db},
         plain,
         nullptr,
         {{0, "  KIND        PORTS  ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  BRANCH         COMMAND"},
          {1, "shop · feature/login"},
          {3,
           "  Vite        5173   ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  main           npm start"},
          {5,
           "  PostgreSQL  15432  0.0.0.0   900       -     -       -  -                         db "
           "(postgres:16)"}}},
        {"probed",
         servers,
         plain,
         &health,
         {{0, "  KIND        PORTS      HEALTH      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND"},
          {3,
           "  Vite        5173,5174  404 · 12ms  ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  npm start"},
          {5,
           "  PostgreSQL  15432      -           0.0.0.0   900       -     -       -  -          db "
           "(postgres:16)"}}},
        {"cut to the width",
         servers,
         {false, 79},
         nullptr,
         {{0, "  KIND        PORTS      ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMA…"},
          {5, "  PostgreSQL  15432      0.0.0.0   900       -     -       -  -          db (p…"}}},
        {"coloured",
         {vite, db},
         {true, std::nullopt},
         nullptr,
         {{0, "\x1b[1m  KIND        PORTS  ADDRESS   PID  MEMORY   CPU  UPTIME  DIRECTORY  COMMAND\x1b[0m"},
          {1, "\x1b[1mshop · main\x1b[0m"},
          {2,
           "  \x1b[38;5;141mVite\x1b[0m        5173   ::1      4211   50 MB  3.2%   1h 1m  /srv/shop  npm "
           "start"},
          {4,
           "  \x1b[38;5;75mPostgreSQL\x1b[0m  15432  0.0.0.0   900       -     -       -  -          db "
           "(postgres:16)"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream rendered(cli::renderServerTable(c.servers, false, c.terminal, c.health));
        std::vector<std::string> shown;
        for (std::string line; std::getline(rendered, line);) shown.push_back(line);
        ASSERT_EQ(shown.size(), c.servers.size() == 2 ? 5u : 6u);
        for (const auto& [index, line] : c.changed) EXPECT_EQ(shown[index], line) << "line " << index;
    }
}

int runCli(std::vector<std::string> arguments, std::string& out, std::string& err) {
    arguments.insert(arguments.begin(), "tarvik");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::ostringstream outStream, errStream;
    int status = cli::run(static_cast<int>(arguments.size()), argv.data(), outStream, errStream);
    out = outStream.str();
    err = errStream.str();
    return status;
}

TEST(ListCommand, BadOptionsGiveOneLineAndStatusTwo) {
    for (std::vector<std::string> bad : {std::vector<std::string>{"list", "--bogus"},
                                         {"list", "--interval", "-1"},
                                         {"list", "--interval", "soon"},
                                         {"nonsense"}}) {
        std::string out, err;
        EXPECT_EQ(runCli(bad, out, err), 2) << bad.back();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_TRUE(out.empty());
    }
    std::string out, err;
    EXPECT_EQ(runCli({"--help"}, out, err), 0);
    EXPECT_NE(out.find("list"), std::string::npos);
    EXPECT_EQ(runCli({"list", "--help"}, out, err), 0);
    EXPECT_NE(out.find("--interval"), std::string::npos);
    EXPECT_NE(out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
