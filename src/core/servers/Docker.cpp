#include "core/servers/Docker.hpp"

#include <unistd.h>

#include "core/support/ByteUnits.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Spawn.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

namespace DockerInspector {

std::vector<std::string> candidates(std::string_view home) {
    return {"/usr/local/bin/docker",
            "/opt/homebrew/bin/docker",
            "/Applications/Docker.app/Contents/Resources/bin/docker",
            std::string(home) + "/.docker/bin/docker",
            "/usr/bin/docker",
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

void DockerCache::refreshIfStale(bool engineRunning) {
    std::lock_guard lock(m_mutex);
    if (!engineRunning) {
        m_ports.clear();
        m_memory.clear();
        return;
    }
    if (m_refreshing) return;
    if (m_fetchedAt && secondsBetween(*m_fetchedAt, m_options.clock()) <= maxAge) return;
    auto docker = DockerInspector::binaryPath(m_options.candidates);
    if (!docker) return;
    m_refreshing = true;
    m_queue.enqueue([this, path = *docker] { refresh(path); });
}

void DockerCache::refresh(const std::string& docker) {
    auto limit = m_options.commandTimeout;
    auto [ps, psOk] = run(docker,
                          {"ps", "--no-trunc", "--format",
                           "{{.Names}}\t{{.Image}}\t{{.Ports}}\t{{.Label \"com.docker.compose.project\"}}\t"
                           "{{.Label \"com.docker.compose.service\"}}"},
                          limit);
    auto [stats, statsOk] =
        run(docker, {"stats", "--no-stream", "--format", "{{.Name}}\t{{.MemUsage}}"}, limit);
    auto [info, infoOk] = run(docker, {"info", "--format", "{{.MemTotal}}"}, limit);

    std::lock_guard lock(m_mutex);
    if (infoOk) m_vmLimit = Text::parseUInt64(Text::trim(info, Text::whitespace));
    if (psOk) m_ports = DockerInspector::parse(ps);
    if (statsOk) m_memory = DockerStats::parse(stats);
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

void DockerCache::waitForRefresh() {
    m_queue.waitIdle();
}

std::pair<std::string, bool> DockerCache::run(const std::string& path,
                                              const std::vector<std::string>& arguments,
                                              std::chrono::milliseconds timeout) {
    auto result = Spawn::run(path, arguments, timeout);
    return {std::move(result.output), result.status == 0 && !result.timedOut};
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

}  // namespace DockerEngine

}  // namespace tarvik
