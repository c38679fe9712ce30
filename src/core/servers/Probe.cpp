#include "core/servers/Probe.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "core/support/Descriptor.hpp"

namespace tarvik {

namespace HTTPProbe {

std::optional<std::string> label(const Outcome& outcome) {
    const auto* http = std::get_if<Http>(&outcome);
    if (!http) return std::nullopt;
    return std::to_string(http->status) + " \u00B7 " + std::to_string(http->latencyMS) + "ms";
}

bool isHealthy(const Outcome& outcome) {
    const auto* http = std::get_if<Http>(&outcome);
    return http && http->status < 500;
}

}  // namespace HTTPProbe

namespace ServiceProtocols {

ServiceProtocol of(const Server& server) {
    static const std::unordered_map<std::string_view, std::string_view> databaseSchemes = {
        {"PostgreSQL", "postgres"}, {"MySQL", "mysql"},           {"Redis", "redis"},
        {"MongoDB", "mongodb"},     {"ClickHouse", "clickhouse"},
    };
    static const std::unordered_set<std::string_view> httpTools = {
        "Vite",      "Next.js",   "Nuxt",          "Astro",   "Remix",    "Storybook", "webpack",  "React",
        "Expo",      "Parcel",    "Turbopack",     "Uvicorn", "Gunicorn", "Flask",     "Django",   "Jupyter",
        "Streamlit", "Rails",     "Laravel",       "PHP",     "nginx",    "Caddy",     "Apache",   "ngrok",
        "Ollama",    "LM Studio", "Elasticsearch", "MinIO",   "Supabase", "Firebase",  "Wrangler",
    };
    if (auto scheme = databaseSchemes.find(server.kind.name); scheme != databaseSchemes.end())
        return Database{std::string(scheme->second) + "://localhost:" + std::to_string(server.port)};
    if (httpTools.contains(server.kind.name)) return Http{};
    return Unknown{};
}

ServiceProtocol of(const Server& server, const std::optional<HTTPProbe::Outcome>& probe) {
    auto protocol = of(server);
    if (std::holds_alternative<Unknown>(protocol) && probe && std::holds_alternative<HTTPProbe::Http>(*probe))
        return Http{};
    return protocol;
}

bool isProbed(const Server& server) {
    return server.category == ServerCategory::dev && !std::holds_alternative<Database>(of(server));
}

}  // namespace ServiceProtocols

namespace PortProber {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t maxAnswer = 16 * 1024;  // read before the final status line, at most

// Waits for `events` until the deadline; false when it passed first.
bool await(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(std::min<long long>(left, 60'000)));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return true;  // the next call on the socket reports the error
    }
}

enum class Step { done, timedOut, failed };

Step connectTo(int fd, int port, Clock::time_point deadline) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return Step::done;
    if (errno != EINPROGRESS && errno != EINTR) return Step::failed;
    if (!await(fd, POLLOUT, deadline)) return Step::timedOut;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return Step::failed;
    return Step::done;
}

Step sendAll(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!await(fd, POLLOUT, deadline)) return Step::timedOut;
        } else {
            return Step::failed;
        }
    }
    return Step::done;
}

// The final status of the answers read so far: 0 while more is needed, -1 when they are not HTTP.
// Interim answers (1xx) are skipped as a client must.
int finalStatus(std::string_view received) {
    for (;;) {
        constexpr std::string_view prefix = "HTTP/";
        if (received.substr(0, prefix.size()) != prefix.substr(0, std::min(prefix.size(), received.size())))
            return -1;
        const auto lineEnd = received.find('\n');
        if (lineEnd == std::string_view::npos) return received.size() > 1024 ? -1 : 0;
        // "HTTP/1.1 200 OK": the version, one space, three digits.
        const std::string_view line = received.substr(0, lineEnd);
        const auto space = line.find(' ');
        if (space == std::string_view::npos || line.size() < space + 4) return -1;
        int status = 0;
        for (const char c : line.substr(space + 1, 3)) {
            if (c < '0' || c > '9') return -1;
            status = status * 10 + (c - '0');
        }
        if (status < 100 || status > 599) return -1;
        if (status >= 200) return status;
        const auto headersEnd = received.find("\r\n\r\n");
        if (headersEnd == std::string_view::npos) return 0;
        received.remove_prefix(headersEnd + 4);
        if (received.empty()) return 0;
    }
}

}  // namespace

HTTPProbe::Outcome probe(int port, double timeout) {
    const auto started = Clock::now();
    const auto deadline = started + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(std::max(timeout, 0.001)));
    const Descriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket) return HTTPProbe::NotHTTP{};  // out of descriptors: nothing to ask with
    switch (connectTo(socket.fd, port, deadline)) {
        case Step::done:
            break;
        case Step::timedOut:
        case Step::failed:
            return HTTPProbe::Unreachable{};
    }
    // Straight to the port: a proxy from the environment must never see a local probe.
    const std::string request = "HEAD / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nUser-Agent: tarvik\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    switch (sendAll(socket.fd, request, deadline)) {
        case Step::done:
            break;
        case Step::timedOut:
            return HTTPProbe::Unreachable{};
        case Step::failed:
            return HTTPProbe::NotHTTP{};  // it took the connection and dropped it
    }
    std::string received;
    char buffer[512];
    for (;;) {
        const ssize_t count = ::recv(socket.fd, buffer, sizeof buffer, 0);
        if (count > 0) {
            received.append(buffer, static_cast<std::size_t>(count));
            const int status = finalStatus(received);
            // Another protocol, or interim answers that never end.
            if (status < 0 || received.size() > maxAnswer) return HTTPProbe::NotHTTP{};
            if (status == 0) continue;
            const auto milliseconds =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
            return HTTPProbe::Http{status, static_cast<int>(std::max<long long>(1, milliseconds))};
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!await(socket.fd, POLLIN, deadline)) return HTTPProbe::Unreachable{};  // no answer in time
            continue;
        }
        return HTTPProbe::NotHTTP{};  // closed or reset before a whole status line
    }
}

std::vector<HTTPProbe::Outcome> probeAll(const std::vector<int>& ports, double timeout) {
    std::vector<HTTPProbe::Outcome> outcomes(ports.size(), HTTPProbe::Outcome{HTTPProbe::Unreachable{}});
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < ports.size(); i = next++) outcomes[i] = probe(ports[i], timeout);
    };
    std::vector<std::thread> helpers;
    std::size_t wanted = std::min(ports.size(), maxConcurrent);
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // out of threads: the ones running, this one included, share the rest
        }
    }
    work();
    for (auto& thread : helpers) thread.join();
    return outcomes;
}

}  // namespace PortProber

}  // namespace tarvik
