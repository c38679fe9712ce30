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
    using enum Listener::Mode;
    Listener ok(answer, http(404)), failing(answer, http(503)), silent, closing(hangUp);
    Listener database(hold, std::string("\x4a\0\0\0\n8.0.36\0", 12));
    const int closedPort = Listener().port();

    // A proxy that would swallow the requests; the probes must go straight to their ports.
    const auto proxy = "http://127.0.0.1:" + std::to_string(silent.port());
    const char* proxies[] = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"};
    for (const char* name : proxies) setenv(name, proxy.c_str(), 1);
    auto found = PortProber::probe(ok.port(), 5.0), broken = PortProber::probe(failing.port(), 5.0);
    for (const char* name : proxies) unsetenv(name);
    EXPECT_EQ(std::get<HTTPProbe::Http>(found).status, 404);  // throws, and so fails, for no HTTP
    EXPECT_GE(std::get<HTTPProbe::Http>(found).latencyMS, 1) << "latency is never 0";
    EXPECT_EQ(std::get<HTTPProbe::Http>(broken).status, 503);
    EXPECT_TRUE(HTTPProbe::isHealthy(found));
    EXPECT_FALSE(HTTPProbe::isHealthy(broken));

    EXPECT_EQ(PortProber::probe(closedPort, 1.0), HTTPProbe::Outcome{HTTPProbe::Unreachable{}});
    EXPECT_EQ(PortProber::probe(silent.port(), 0.3), HTTPProbe::Outcome{HTTPProbe::Unreachable{}});
    EXPECT_EQ(PortProber::probe(closing.port(), 5.0), HTTPProbe::Outcome{HTTPProbe::NotHTTP{}});
    EXPECT_EQ(PortProber::probe(database.port(), 5.0), HTTPProbe::Outcome{HTTPProbe::NotHTTP{}});
    EXPECT_FALSE(HTTPProbe::isHealthy(HTTPProbe::NotHTTP{}));

    // An interim answer is not the status; a banner that only starts like HTTP is no answer.
    Listener hinting(answer, "HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n" + http(301));
    EXPECT_EQ(std::get<HTTPProbe::Http>(PortProber::probe(hinting.port(), 5.0)).status, 301);
    for (const std::string banner : {"HTTP/1.1 2xx Fine\r\n\r\n", "HTTP/1.1 999 Odd\r\n\r\n", "HTTPS?\r\n"}) {
        Listener odd(answer, banner);
        EXPECT_EQ(PortProber::probe(odd.port(), 5.0), HTTPProbe::Outcome{HTTPProbe::NotHTTP{}}) << banner;
    }
    EXPECT_EQ(HTTPProbe::label(HTTPProbe::NotHTTP{}), std::nullopt);
}

TEST(PortProber, ProbesEveryPortAtOnce) {
    // The listener answers only once all the probes are connected together, which probes made one
    // after another never are: each would wait out its limit alone and find no HTTP.
    constexpr std::size_t count = 8;
    Listener together(Listener::Mode::answer, http(200), count);
    auto outcomes = PortProber::probeAll(std::vector<int>(count, together.port()), 5.0);
    ASSERT_EQ(outcomes.size(), count);
    for (const auto& outcome : outcomes) EXPECT_TRUE(HTTPProbe::isHealthy(outcome));
}

TEST(ServiceProtocols, DatabasesGiveConnectionStringsAndToolsHttp) {
    auto of = [](std::string kind, int port) { return ServiceProtocols::of({.port = port, .kind = {kind}}); };
    using Database = ServiceProtocols::Database;
    EXPECT_EQ(of("Redis", 6380), ServiceProtocol{Database{"redis://localhost:6380"}});
    EXPECT_EQ(of("PostgreSQL", 5432), ServiceProtocol{Database{"postgres://localhost:5432"}});
    EXPECT_EQ(of("Vite", 5173), ServiceProtocol{ServiceProtocols::Http{}});
    EXPECT_EQ(of("Node", 3000), ServiceProtocol{ServiceProtocols::Unknown{}});
    EXPECT_EQ(of("rapportd", 1), ServiceProtocol{ServiceProtocols::Unknown{}});
    EXPECT_EQ(of("vite", 5173), ServiceProtocol{ServiceProtocols::Unknown{}}) << "names match exactly";
}

}  // namespace
}  // namespace tarvik
