#include "core/Probe.hpp"

#include <curl/curl.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

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
        {"PostgreSQL", "postgres"}, {"MySQL", "mysql"}, {"Redis", "redis"},
        {"MongoDB", "mongodb"},     {"ClickHouse", "clickhouse"},
    };
    static const std::unordered_set<std::string_view> httpTools = {
        "Vite",     "Next.js",   "Nuxt",   "Astro",   "Remix",  "Storybook", "webpack",  "React",
        "Expo",     "Parcel",    "Turbopack", "Uvicorn", "Gunicorn", "Flask", "Django", "Jupyter",
        "Streamlit", "Rails",    "Laravel", "PHP",    "nginx",  "Caddy",     "Apache",   "ngrok",
        "Ollama",   "LM Studio", "Elasticsearch", "MinIO", "Supabase", "Firebase", "Wrangler",
    };
    if (auto scheme = databaseSchemes.find(server.kind.name); scheme != databaseSchemes.end())
        return Database{std::string(scheme->second) + "://localhost:" + std::to_string(server.port)};
    if (httpTools.contains(server.kind.name)) return Http{};
    return Unknown{};
}

}  // namespace ServiceProtocols

namespace PortProber {

namespace {

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

}  // namespace

HTTPProbe::Outcome probe(int port, double timeout) {
    initialiseOnce();
    CURL* handle = curl_easy_init();
    if (!handle) return HTTPProbe::NotHTTP{};
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    const long limit = std::max(1L, static_cast<long>(timeout * 1000));
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);  // HEAD
    // A proxy from the environment must never see a local probe.
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limit);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limit);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);  // probes run on many threads
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, discard);

    auto started = std::chrono::steady_clock::now();
    CURLcode code = curl_easy_perform(handle);
    auto elapsed = std::chrono::steady_clock::now() - started;
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(handle);

    if (code == CURLE_COULDNT_CONNECT || code == CURLE_OPERATION_TIMEDOUT) return HTTPProbe::Unreachable{};
    if (code != CURLE_OK || status == 0) return HTTPProbe::NotHTTP{};  // closed, reset, or another protocol
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return HTTPProbe::Http{static_cast<int>(status), static_cast<int>(std::max<long long>(1, milliseconds))};
}

std::vector<HTTPProbe::Outcome> probeAll(const std::vector<int>& ports, double timeout) {
    initialiseOnce();
    std::vector<HTTPProbe::Outcome> outcomes(ports.size(), HTTPProbe::Outcome{HTTPProbe::Unreachable{}});
    std::vector<std::thread> probes;
    probes.reserve(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i)
        probes.emplace_back([&, i] { outcomes[i] = probe(ports[i], timeout); });
    for (auto& thread : probes) thread.join();
    return outcomes;
}

}  // namespace PortProber

}  // namespace tarvik
