#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Cli.hpp"
#include "core/support/Spawn.hpp"
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

TEST(ListCommand, ShowsAPythonServerStartedInTheHome) {
    test::TempHome home;
    test::TempDir project(home.path());
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
    EXPECT_TRUE(s["branch"].is_null());
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
    EXPECT_TRUE(of(tree.pid())["args"].get<std::string>().ends_with("--children 2 --title 'a b $(x)'"));
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
