#include "core/servers/Docker.hpp"

#include <unistd.h>

#include <algorithm>

#include "core/support/ByteUnits.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Spawn.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

namespace DockerInspector {

std::vector<std::string> candidates(std::string_view home) {
    return {"/usr/local/bin/docker", std::string(home) + "/.docker/bin/docker", "/usr/bin/docker",
            "/snap/bin/docker"};
}

std::optional<std::string> binaryPath() {
    return binaryPath(candidates(Paths::homeDirectory()));
}

std::optional<std::string> binaryPath(const std::vector<std::string>& candidates) {
    for (const auto& path : candidates)
        if (access(path.c_str(), X_OK) == 0) return path;
    return std::nullopt;
}

std::vector<int> hostPorts(std::string_view field) {
    std::vector<int> ports;
    for (auto entry : Text::split(field, ',')) {
        auto arrow = entry.find("->");
        if (arrow == std::string_view::npos) continue;  // exposed, not published
        auto published = entry.substr(0, arrow);
        auto colon = published.rfind(':');
        auto port = Text::trim(colon == std::string_view::npos ? published : published.substr(colon + 1));
        if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos)
            continue;  // a range
        if (auto value = Text::parseInt32(port)) ports.push_back(*value);
    }
    return ports;
}

ContainerPorts parse(std::string_view text) {
    ContainerPorts result;
    auto label = [](const std::vector<std::string_view>& fields,
                    std::size_t index) -> std::optional<std::string> {
        if (fields.size() <= index) return std::nullopt;
        auto value = Text::trim(fields[index]);
        if (value.empty()) return std::nullopt;
        return std::string(value);
    };
    for (auto line : Text::lines(text)) {
        auto fields = Text::fields(line, '\t');  // a blank label is a field of its own
        if (fields.size() < 3) continue;         // not a container line
        DockerContainer container{std::string(fields[0]), std::string(fields[1]), label(fields, 3),
                                  label(fields, 4)};
        for (int port : hostPorts(fields[2])) result.try_emplace(port, container);
    }
    return result;
}

}  // namespace DockerInspector

namespace DockerStats {

ContainerMemory parse(std::string_view text) {
    ContainerMemory result;
    for (auto line : Text::lines(text)) {
        auto fields = Text::fields(line, '\t');
        if (fields.size() < 2) continue;
        auto name = Text::trim(fields[0]);
        if (name.empty()) continue;
        auto usage = fields[1];
        if (auto used = ByteUnits::parse(usage.substr(0, usage.find('/')))) result[std::string(name)] = *used;
    }
    return result;
}

}  // namespace DockerStats

DockerCache::DockerCache() : DockerCache(Options{}) {}

DockerCache::DockerCache(Options options) : m_options(std::move(options)) {
    if (m_options.candidates.empty())
        m_options.candidates = DockerInspector::candidates(Paths::homeDirectory());
    if (!m_options.clock) m_options.clock = [] { return std::chrono::system_clock::now(); };
}

void DockerCache::refreshIfStale(bool engineRunning, std::optional<std::chrono::milliseconds> budget) {
    std::lock_guard lock(m_mutex);
    if (!engineRunning) {
        m_ports.clear();
        m_memory.clear();
        m_unanswered = false;
        return;
    }
    if (m_refreshing) return;
    if (m_fetchedAt && secondsBetween(*m_fetchedAt, m_options.clock()) <= maxAge) return;
    auto docker = DockerInspector::binaryPath(m_options.candidates);
    if (!docker) return;
    m_refreshing = true;
    m_queue.enqueue([this, path = *docker, budget] { refresh(path, budget); });
}

void DockerCache::refresh(const std::string& docker, std::optional<std::chrono::milliseconds> budget) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    bool outOfTime = false;
    // The output of a command that exited 0 in time. A daemon that let one command run out of
    // time will not answer the next either, so those are not tried.
    auto ask = [&](const std::vector<std::string>& arguments) -> std::optional<std::string> {
        auto limit = m_options.commandTimeout;
        if (budget)
            limit = std::min(limit, *budget - duration_cast<milliseconds>(steady_clock::now() - start));
        if (outOfTime || limit.count() <= 0) {
            outOfTime = true;
            return std::nullopt;
        }
        auto result = Spawn::run(docker, arguments, limit);
        outOfTime = result.timedOut;
        if (result.status != 0) return std::nullopt;
        return std::move(result.output);
    };
    auto ps = ask({"ps", "--no-trunc", "--format",
                   "{{.Names}}\t{{.Image}}\t{{.Ports}}\t{{.Label \"com.docker.compose.project\"}}\t"
                   "{{.Label \"com.docker.compose.service\"}}"});
    const bool psUnanswered = outOfTime;
    auto stats = ask({"stats", "--no-stream", "--format", "{{.Name}}\t{{.MemUsage}}"});
    auto info = ask({"info", "--format", "{{.MemTotal}}"});

    std::lock_guard lock(m_mutex);
    if (info) m_vmLimit = Text::parseUInt64(Text::trim(*info, Text::whitespace));
    if (ps) m_ports = DockerInspector::parse(*ps);
    if (stats) m_memory = DockerStats::parse(*stats);
    m_unanswered = psUnanswered;
    m_fetchedAt = m_options.clock();
    m_refreshing = false;
}

DockerCache::Contents DockerCache::current() const {
    std::lock_guard lock(m_mutex);
    return {m_ports, m_memory};
}

std::optional<std::uint64_t> DockerCache::vmMemoryLimit() const {
    std::lock_guard lock(m_mutex);
    return m_vmLimit;
}

bool DockerCache::unanswered() const {
    std::lock_guard lock(m_mutex);
    return m_unanswered;
}

void DockerCache::waitForRefresh() {
    m_queue.waitIdle();
}

DockerCache& DockerCache::shared() {
    static DockerCache instance;
    return instance;
}

namespace DockerEngine {

bool isEngineProcess(std::string_view name) {
    return name == "com.docker.backend" || name == "com.docker.vmnetd.helper" || name == "dockerd" ||
           name == "com.docker.virtualization";
}

bool mayPublishForContainer(std::string_view processName) {
    return Text::lowercased(processName).find("docker") != std::string::npos;
}

}  // namespace DockerEngine

}  // namespace tarvik
