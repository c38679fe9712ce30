#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/servers/Server.hpp"

namespace tarvik {

namespace HTTPProbe {
struct Http {
    int status = 0;
    int latencyMS = 1;  // whole milliseconds, at least 1
    bool operator==(const Http&) const = default;
};
struct NotHTTP {
    bool operator==(const NotHTTP&) const = default;
};
struct Unreachable {
    bool operator==(const Unreachable&) const = default;
};
// What one HEAD request to a local port found.
using Outcome = std::variant<Http, NotHTTP, Unreachable>;

// "200 · 12ms" for an HTTP answer; nullopt otherwise.
[[nodiscard]] std::optional<std::string> label(const Outcome& outcome);
// An HTTP answer below 500.
[[nodiscard]] bool isHealthy(const Outcome& outcome);
}  // namespace HTTPProbe

// How to talk to a server, from its kind alone.
namespace ServiceProtocols {
struct Database {
    std::string connectionString;  // "postgres://localhost:5432"
    bool operator==(const Database&) const = default;
};
struct Http {
    bool operator==(const Http&) const = default;
};
struct Unknown {
    bool operator==(const Unknown&) const = default;
};
}  // namespace ServiceProtocols

using ServiceProtocol =
    std::variant<ServiceProtocols::Database, ServiceProtocols::Http, ServiceProtocols::Unknown>;

namespace ServiceProtocols {
// A database kind gives its connection string, an HTTP tool's kind `Http`, anything else `Unknown`.
[[nodiscard]] ServiceProtocol of(const Server& server);
// The same, except that an unknown kind that answered HTTP when probed is `Http`.
[[nodiscard]] ServiceProtocol of(const Server& server, const std::optional<HTTPProbe::Outcome>& probe);
// Whether a server is worth probing over HTTP: a dev server that is not a database.
[[nodiscard]] bool isProbed(const Server& server);
}  // namespace ServiceProtocols

namespace PortProber {

// One HEAD request to http://127.0.0.1:PORT/ with `timeout` seconds for the whole exchange, never
// through a proxy. Refused or timed out is `Unreachable`; any answer that is not HTTP `NotHTTP`.
// Thread-safe: each probe has its own connection.
[[nodiscard]] HTTPProbe::Outcome probe(int port, double timeout);

// The ports probed at once on a bounded pool of threads (at most `maxConcurrent`, fewer when the
// system refuses more), outcomes in the same order: about one `timeout` in all for up to
// `maxConcurrent` ports. Never throws.
inline constexpr std::size_t maxConcurrent = 32;
[[nodiscard]] std::vector<HTTPProbe::Outcome> probeAll(const std::vector<int>& ports, double timeout);

}  // namespace PortProber

}  // namespace tarvik
