#include "core/servers/Docker.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>

#include "core/servers/PortScanner.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using std::nullopt;

const DockerContainer web{"web", "nginx:1.27", "shop", "frontend"};

TEST(DockerInspector, ReadsPublishedHostPortsAndSkipsTheRest) {
    auto containers = DockerInspector::parse(
        "web\tnginx:1.27\t0.0.0.0:8080->80/tcp, :::8080->80/tcp\tshop\tfrontend\n"
        "db\tpostgres:16\t5432/tcp, 127.0.0.1:15432->5432/tcp\n"
        "other\thttpd\t0.0.0.0:8080->80/tcp\t \t\n"  // 8080 is taken: the first line keeps it
        "ranges\tapp\t0.0.0.0:8000-8001->8000-8001/tcp, [::]:9000->9000/tcp\t\t\n"
        "garbled line without tabs\n"
        "two\tfields\n");
    EXPECT_EQ(containers, (ContainerPorts{{8080, web},
                                          {15432, {"db", "postgres:16", nullopt, nullopt}},
                                          {9000, {"ranges", "app", nullopt, nullopt}}}));
}

TEST(DockerStats, ReadsTheMemoryUsedBeforeTheSlash) {
    EXPECT_EQ(DockerStats::parse("db\t256MiB / 7.654GiB\nweb\t--\n\tempty\nweb\t10MiB / 1GiB\n"),
              (ContainerMemory{{"db", 268435456}, {"web", 10485760}}));
}

TEST(DockerAttribution, AProxyPortShowsItsContainer) {
    Server proxy{
        .pid = 900, .port = 5432, .processName = "docker-proxy", .kind = {"Docker"}, .memoryBytes = 4096};
    const ContainerPorts ports{{8080, web},
                               {5432, {"db", "postgres:16", nullopt, nullopt}},
                               {9000, {"thing", "acme/thing", nullopt, nullopt}}};
    const ContainerMemory memory{{"web", 50u << 20}};
    auto attributed = PortScanner::attributeDocker(proxy, ports, memory);
    EXPECT_EQ(attributed.kind.name, "PostgreSQL");
    EXPECT_EQ(attributed.project, "db") << "without compose, the container's name";
    EXPECT_EQ(attributed.containerImage, "postgres:16");
    EXPECT_EQ(attributed.memoryBytes, 4096u) << "no stats for it: the proxy's own memory";
    proxy.port = 9000;
    EXPECT_EQ(PortScanner::attributeDocker(proxy, ports, memory).kind.name, "Docker")
        << "no rule: kind stays";

    const Server node{.port = 8080, .processName = "node"};
    EXPECT_EQ(PortScanner::attributeDocker(node, ports, memory), node) << "only the engine's processes";
}

TEST(DockerCache, ContainersNameTheProxyServersAndAHungRefreshEndsWithinItsBudget) {
    // A docker client scripted by the test. A new script replaces the last one whole, so that a
    // command still running reads its own to the end.
    test::TempDir dir;
    auto script = [&](const std::string& body) {
        dir.write("next", "#!/bin/sh\n" + body);
        chmod((dir / "next").c_str(), 0755);
        std::filesystem::rename(dir / "next", dir / "docker");
    };
    script(
        "case \"$1\" in ps) printf 'web\\tnginx:1.27\\t0.0.0.0:8080->80/tcp\\tshop\\tfrontend\\n' ;;\n"
        "stats) printf 'web\\t12MiB / 1GiB\\n' ;; info) echo 8589934592 ;; esac\n");
    Date now = Date{} + std::chrono::hours(1000);
    // Each command may take 600 s: only the budget can end the hung refresh below in time.
    DockerCache docker({{dir / "docker"}, [&] { return now; }, 600s});
    auto refresh = [&] { docker.refreshIfStale(true), docker.waitForRefresh(); };
    refresh();
    EXPECT_EQ(docker.vmMemoryLimit(), 8589934592u);

    ProcessSnapshot snapshot;
    snapshot.records = {{100, 1, "/usr/bin/dockerd", {}, 0, 1 << 20},
                        {200, 100, "/usr/bin/docker-proxy", {}, 0, 1 << 20}};
    using Sockets = std::unordered_map<std::int32_t, std::vector<LibProc::Socket>>;
    using Info = std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo>;
    PortScanner::Sources sources{.docker = &docker};
    sources.listeningSockets = [](auto&) { return Sockets{{200, {{8080, "*"}}}}; };
    sources.processInfo = [](auto&) { return Info{}; };
    sources.workingDirectory = [](std::int32_t) { return std::optional<std::string>{}; };
    auto servers = PortScanner::scan(snapshot, sources);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].kind.name, "nginx");
    EXPECT_EQ(servers[0].project, "shop");
    EXPECT_EQ(servers[0].containerName, "web");
    EXPECT_EQ(servers[0].memoryBytes, 12u << 20);

    // Each hung command notes that it ran; its end with its child is Spawn's, tested there.
    script("echo ran >> '" + dir / "hung" + "'\nsleep 600\n");
    now += 9s;
    docker.refreshIfStale(true, 3000ms);  // far above what the script needs to note its run
    auto refreshed = std::async(std::launch::async, [&] { docker.waitForRefresh(); });
    EXPECT_EQ(refreshed.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(test::readFile(dir / "hung"), "ran\n")
        << "the commands after the one that ran out of time are not tried";
    EXPECT_TRUE(docker.unanswered());
    EXPECT_EQ(docker.current().ports.size(), 1u) << "a failed command leaves its part as it was";
    EXPECT_EQ(docker.current().memory.at("web"), 12u << 20);

    script("case \"$1\" in ps) printf 'api\\tnode:22\\t0.0.0.0:3000->3000/tcp\\n' ;; esac\n");
    now += 8s;
    refresh();
    EXPECT_TRUE(docker.current().ports.contains(8080)) << "8 seconds after the last try: still fresh";
    now += 1s;
    refresh();
    EXPECT_TRUE(docker.current().ports.contains(3000));
    EXPECT_FALSE(docker.unanswered());

    // A snapshot of the listening processes' trees holds the engine's proxy, not the engine.
    snapshot.records.erase(snapshot.records.begin());
    sources.listeningSockets = [](auto&) { return Sockets{{200, {{3000, "*"}}}}; };
    EXPECT_EQ(PortScanner::scan(snapshot, sources)[0].containerName, "api");

    snapshot.records = {{300, 1, "/usr/bin/node", {}, 0, 1 << 20}};  // the engine stopped, its proxy too
    sources.listeningSockets = [](auto&) { return Sockets{{300, {{3000, "*"}}}}; };
    EXPECT_EQ(PortScanner::scan(snapshot, sources)[0].containerName, nullopt);
    EXPECT_TRUE(docker.current().ports.empty());
}

}  // namespace
}  // namespace tarvik
