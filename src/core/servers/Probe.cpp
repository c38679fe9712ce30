#include "core/servers/Probe.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "core/servers/CurlAbi.hpp"

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

// libcurl and the TLS stack it brings are loaded on the first probe rather than at start: linking
// them made every run of the command line several milliseconds slower, probing or not.
struct Curl {
    CurlAbi::GlobalInit globalInit = nullptr;
    CurlAbi::EasyInit init = nullptr;
    CurlAbi::EasySetopt setopt = nullptr;
    CurlAbi::EasyPerform perform = nullptr;
    CurlAbi::EasyGetinfo getinfo = nullptr;
    CurlAbi::EasyCleanup cleanup = nullptr;

    [[nodiscard]] bool loaded() const {
        return globalInit && init && setopt && perform && getinfo && cleanup;
    }
};

const Curl& curl() {
    static const Curl library = [] {
        Curl loaded;
        void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!handle) return loaded;
        auto symbol = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
        };
        symbol(loaded.globalInit, "curl_global_init");
        symbol(loaded.init, "curl_easy_init");
        symbol(loaded.setopt, "curl_easy_setopt");
        symbol(loaded.perform, "curl_easy_perform");
        symbol(loaded.getinfo, "curl_easy_getinfo");
        symbol(loaded.cleanup, "curl_easy_cleanup");
        if (loaded.loaded()) loaded.globalInit(CurlAbi::globalDefault);
        return loaded;
    }();
    return library;
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

}  // namespace

HTTPProbe::Outcome probe(int port, double timeout) {
    const Curl& lib = curl();
    if (!lib.loaded()) return HTTPProbe::NotHTTP{};  // no libcurl on this machine: nothing to ask with
    CurlAbi::Handle* handle = lib.init();
    if (!handle) return HTTPProbe::NotHTTP{};
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    const long limit = std::max(1L, static_cast<long>(timeout * 1000));
    lib.setopt(handle, CurlAbi::url, url.c_str());
    lib.setopt(handle, CurlAbi::noBody, 1L);  // HEAD
    // A proxy from the environment must never see a local probe.
    lib.setopt(handle, CurlAbi::proxy, "");
    lib.setopt(handle, CurlAbi::noProxy, "*");
    lib.setopt(handle, CurlAbi::timeoutMs, limit);
    lib.setopt(handle, CurlAbi::connectTimeoutMs, limit);
    lib.setopt(handle, CurlAbi::noSignal, 1L);  // probes run on many threads
    lib.setopt(handle, CurlAbi::followLocation, 0L);
    lib.setopt(handle, CurlAbi::writeFunction, discard);
    lib.setopt(handle, CurlAbi::headerFunction, discard);

    auto started = std::chrono::steady_clock::now();
    CurlAbi::Code code = lib.perform(handle);
    auto elapsed = std::chrono::steady_clock::now() - started;
    long status = 0;
    lib.getinfo(handle, CurlAbi::responseCode, &status);
    lib.cleanup(handle);

    if (code == CurlAbi::couldNotConnect || code == CurlAbi::operationTimedOut)
        return HTTPProbe::Unreachable{};
    if (code != CurlAbi::ok || status == 0)
        return HTTPProbe::NotHTTP{};  // closed, reset, or another protocol
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return HTTPProbe::Http{static_cast<int>(status), static_cast<int>(std::max<long long>(1, milliseconds))};
}

std::vector<HTTPProbe::Outcome> probeAll(const std::vector<int>& ports, double timeout) {
    (void)curl();  // loaded once, before the threads race for it
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
