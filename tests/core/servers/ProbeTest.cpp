#include "core/servers/Probe.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/Listener.hpp"

namespace tarvik {
namespace {

using test::Listener;

std::string http(int status) {
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

// Limits are generous where an answer comes, so that only silence waits them out. Proxies named in
// the environment are never used.
TEST(PortProber, TellsHttpFromSilenceAndFromOtherProtocols) {
    Listener ok(Listener::Mode::answer, http(404)), failing(Listener::Mode::answer, http(503));
    Listener silent(Listener::Mode::silent), hangUp(Listener::Mode::hangUp);
    Listener database(Listener::Mode::banner, std::string("\x4a\x00\x00\x00\x0a"
                                                          "8.0.36\x00",
                                                          12));
    int closedPort = [] {
        Listener gone(Listener::Mode::hangUp);
        return gone.port();
    }();

    // A proxy that would swallow the requests; the probes must go straight to their ports.
    const auto proxy = "http://127.0.0.1:" + std::to_string(silent.port());
    const char* proxies[] = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"};
    for (const char* name : proxies) setenv(name, proxy.c_str(), 1);
    auto found = PortProber::probe(ok.port(), 5.0), broken = PortProber::probe(failing.port(), 5.0);
    for (const char* name : proxies) unsetenv(name);
    ASSERT_TRUE(std::holds_alternative<HTTPProbe::Http>(found));
    EXPECT_EQ(std::get<HTTPProbe::Http>(found).status, 404);
    EXPECT_GE(std::get<HTTPProbe::Http>(found).latencyMS, 1) << "latency is never 0";
    EXPECT_TRUE(HTTPProbe::isHealthy(found));
    ASSERT_TRUE(std::holds_alternative<HTTPProbe::Http>(broken));
    EXPECT_EQ(std::get<HTTPProbe::Http>(broken).status, 503);
    EXPECT_FALSE(HTTPProbe::isHealthy(broken));

    EXPECT_EQ(PortProber::probe(closedPort, 1.0), HTTPProbe::Outcome{HTTPProbe::Unreachable{}});
    EXPECT_EQ(PortProber::probe(silent.port(), 0.3), HTTPProbe::Outcome{HTTPProbe::Unreachable{}});
    EXPECT_EQ(PortProber::probe(hangUp.port(), 5.0), HTTPProbe::Outcome{HTTPProbe::NotHTTP{}});
    EXPECT_EQ(PortProber::probe(database.port(), 5.0), HTTPProbe::Outcome{HTTPProbe::NotHTTP{}});
    EXPECT_FALSE(HTTPProbe::isHealthy(HTTPProbe::NotHTTP{}));
    EXPECT_EQ(HTTPProbe::label(HTTPProbe::NotHTTP{}), std::nullopt);
    EXPECT_EQ(HTTPProbe::label(HTTPProbe::Http{200, 12}), "200 \u00B7 12ms");
}

TEST(PortProber, ProbesEveryPortAtOnce) {
    // The listener answers only once all the probes are connected together, which probes made one
    // after another never are: each would wait out its limit alone and find no HTTP.
    constexpr std::size_t count = 8;
    Listener together(Listener::Mode::answerTogether, http(200), count);
    auto outcomes = PortProber::probeAll(std::vector<int>(count, together.port()), 5.0);
    ASSERT_EQ(outcomes.size(), count);
    for (const auto& outcome : outcomes) {
        ASSERT_TRUE(std::holds_alternative<HTTPProbe::Http>(outcome));
        EXPECT_EQ(std::get<HTTPProbe::Http>(outcome).status, 200);
    }
}

TEST(ServiceProtocols, DatabasesGiveConnectionStringsAndToolsHttp) {
    auto of = [](std::string kind, int port) {
        Server s;
        s.kind.name = std::move(kind);
        s.port = port;
        return ServiceProtocols::of(s);
    };
    EXPECT_EQ(of("Redis", 6380), ServiceProtocol{ServiceProtocols::Database{"redis://localhost:6380"}});
    EXPECT_EQ(of("PostgreSQL", 5432),
              ServiceProtocol{ServiceProtocols::Database{"postgres://localhost:5432"}});
    EXPECT_EQ(of("Vite", 5173), ServiceProtocol{ServiceProtocols::Http{}});
    EXPECT_EQ(of("Node", 3000), ServiceProtocol{ServiceProtocols::Unknown{}});
    EXPECT_EQ(of("rapportd", 1), ServiceProtocol{ServiceProtocols::Unknown{}});
    EXPECT_EQ(of("vite", 5173), ServiceProtocol{ServiceProtocols::Unknown{}}) << "names match exactly";
}

}  // namespace
}  // namespace tarvik
