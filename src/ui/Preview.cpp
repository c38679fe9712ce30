#include "ui/Preview.hpp"

#include <QVariantMap>
#include <algorithm>
#include <cmath>

#include "core/Version.hpp"
#include "core/servers/ServerClassifier.hpp"
#include "ui/linux/MachineServices.hpp"

namespace tarvik::ui::Preview {

namespace {

constexpr std::uint64_t MB = 1024 * 1024;

Server dev(std::int32_t pid, int port, std::string_view rule, std::string cwd,
           std::optional<std::string> project, std::optional<std::string> branch, std::uint64_t megabytes,
           double cpu, int uptime) {
    Server server;
    server.pid = pid;
    server.port = port;
    server.address = "127.0.0.1";
    server.kind =
        ServerClassifier::devKind(rule).value_or(ServerKind{"Node", "hexagon-fill", TintToken::green});
    server.category = ServerCategory::dev;
    server.processName = std::string(rule);
    server.args = std::string(rule);
    server.argv = {std::string(rule)};
    server.cwd = std::move(cwd);
    server.project = std::move(project);
    server.branch = std::move(branch);
    server.memoryBytes = megabytes * MB;
    server.cpuPercent = cpu;
    server.uptimeSeconds = uptime;
    server.processCount = 1;
    return server;
}

Server system(std::int32_t pid, int port, std::string name, std::uint64_t megabytes) {
    Server server;
    server.pid = pid;
    server.port = port;
    server.address = "*";
    server.processName = name;
    server.kind = {std::move(name), "gear-six-fill", TintToken::slate};
    server.category = ServerCategory::system;
    server.memoryBytes = megabytes * MB;
    server.cpuPercent = 0;
    server.uptimeSeconds = 86'400 * 3;
    return server;
}

std::vector<Server> servers() {
    auto vite = dev(4211, 5173, "vite", "/home/ada/code/shop", "shop", "main", 312, 2.4, 5'400);
    vite.address = "*";
    vite.args = "node /home/ada/code/shop/node_modules/.bin/vite --host";
    vite.argv = {"node", "/home/ada/code/shop/node_modules/.bin/vite", "--host"};
    vite.processCount = 3;
    auto hmr = vite;
    hmr.port = 24678;
    auto next = dev(4388, 3000, "next dev", "/home/ada/code/shop", "shop", "main", 1'240, 11.8, 7'200);
    next.args = "node /home/ada/code/shop/node_modules/.bin/next dev";
    next.processCount = 4;
    auto django = dev(5120, 8000, "manage.py runserver", "/home/ada/code/blog", "blog", "feature/login", 96,
                      0, 26 * 3600);
    django.args = "python3 manage.py runserver";
    django.argv = {"python3", "manage.py", "runserver"};
    auto postgres = dev(812, 5432, "postgres", "/var/lib/postgresql/15/main", std::nullopt, std::nullopt, 184,
                        0.3, 86'400 * 2);
    auto redis = dev(2290, 6379, "redis-server", "/", std::nullopt, std::nullopt, 64, 0.2, 86'400);
    redis.kind = ServerClassifier::devKind("redis").value_or(redis.kind);
    redis.processName = "docker-proxy";
    redis.containerName = "cache";
    redis.containerImage = "redis:7-alpine";
    std::vector<Server> all = {
        vite, hmr, next, django, postgres, redis, system(1022, 22, "sshd", 6), system(1180, 631, "cupsd", 9)};
    PortScanner::sort(all);
    return all;
}

// Does nothing and reports nothing: the preview never reaches the machine or the desktop.
struct NoSampling : SamplingStep {
    SamplingResult sample() override { return {}; }
};

struct NoTraffic : NetworkService {
    std::vector<ProcessTraffic> sample() override { return {}; }
};

struct Nothing : Prober, ProcessControl, Notifier, Desktop, SettingsStore, LoginItem, StorageService {
    HTTPProbe::Outcome probe(int, double) override { return HTTPProbe::Unreachable{}; }
    bool carryOut(const StopAction&) override { return false; }
    void stopGroup(const std::vector<Server>&) override {}
    void tidyUp(const std::vector<Server>&) override {}
    bool restart(const Server&) override { return false; }
    bool signal(std::int32_t, int) override { return false; }
    std::optional<std::uint32_t> ownerUid(std::int32_t) override { return std::nullopt; }
    std::optional<std::string> dockerPath() override { return std::nullopt; }
    std::vector<ProcessRow> processTable() override { return {}; }
    std::string processName(std::int32_t) override { return {}; }
    bool available() override { return false; }
    Authorization authorization() override { return Authorization::denied; }
    void requestAuthorization(std::function<void(bool, std::optional<std::string>)> done) override {
        done(false, std::nullopt);
    }
    void post(const Notification&, Done done) override { done(std::string("preview")); }
    void onClick(std::function<void(const std::string&)>) override {}
    void openUrl(const std::string&) override {}
    void reveal(const std::string&) override {}
    void openFolder(const std::string&) override {}
    void openTrash() override {}
    void copyText(const std::string&) override {}
    bool copyImage(const QByteArray&) override { return false; }
    std::optional<std::string> downloadsFolder() override { return std::nullopt; }
    void openSettings(SettingsPanel) override {}
    bool askToQuit(const AppUsage&) override { return false; }
    std::string userFullName() override { return "Ada Lovelace"; }
    QVariant value(const QString& key) const override { return values.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values[key] = value; }
    bool isEnabled() override { return false; }
    std::optional<std::string> setEnabled(bool) override { return "preview"; }
    StorageScanner::LargeFileSearch largeFiles() override { return {}; }
    std::vector<StorageItem> clearable() override { return {}; }
    StorageActions::Result clear(const StorageItem&, const StorageReport&) override { return {}; }
    StorageActions::Result moveToTrash(const StorageItem&, const StorageReport&) override { return {}; }
    StorageActions::Result cleanUpDocker(const std::string&) override { return {}; }

    QVariantMap values;
};

ProcessRecord process(std::int32_t pid, std::string path, const std::string& app, double cpu,
                      std::uint64_t megabytes) {
    ProcessRecord record;
    record.pid = pid;
    record.ppid = 1;
    record.path = std::move(path);
    record.owner = {app, std::nullopt, false};
    record.cpuPercent = cpu;
    record.memoryBytes = megabytes * MB;
    return record;
}

AppUsage app(std::string name, double cpu, std::vector<ProcessRecord> processes) {
    AppUsage result;
    result.name = std::move(name);
    result.cpuPercent = cpu;
    result.processCount = static_cast<int>(processes.size());
    for (const auto& member : processes) {
        result.memoryBytes += member.memoryBytes;
        result.pids.push_back(member.pid);
    }
    std::sort(result.pids.begin(), result.pids.end());
    result.processes = std::move(processes);
    return result;
}

std::vector<AppUsage> apps() {
    return {
        app("Firefox", 18.4,
            {process(3101, "/usr/lib/firefox/firefox", "Firefox", 9.2, 610),
             process(3144, "/usr/lib/firefox/firefox", "Firefox", 4.8, 420),
             process(3160, "/usr/lib/firefox/firefox", "Firefox", 2.6, 380),
             process(3188, "/usr/lib/firefox/firefox", "Firefox", 1.2, 250),
             process(3203, "/usr/lib/firefox/firefox", "Firefox", 0.6, 120)}),
        app("node", 12.6,
            {process(4388, "/usr/bin/node", "node", 11.8, 1'240),
             process(4211, "/usr/bin/node", "node", 0.8, 312)}),
        app("code", 6.1,
            {process(2801, "/usr/share/code/code", "code", 4.0, 540),
             process(2840, "/usr/share/code/code", "code", 2.1, 300)}),
        app("gnome-shell", 3.2, {process(1410, "/usr/bin/gnome-shell", "gnome-shell", 3.2, 290)}),
        app("Slack", 1.4, {process(3650, "/usr/lib/slack/slack", "Slack", 1.4, 460)}),
    };
}

// An hour of readings, one every 8 s, that drift smoothly like a machine at light work.
ValueHistory hour(Date now) {
    ValueHistory history(3600);
    constexpr int step = 8;
    for (int second = 3600 - step; second >= 0; second -= step) {
        const Date at = now - std::chrono::seconds(second);
        const double t = (3600.0 - second) / 3600.0;
        const double wave = std::sin(t * 9.0) * 0.5 + std::sin(t * 23.0 + 1.3) * 0.3;
        const double burst = 30 * std::exp(-std::pow((t - 0.66) / 0.025, 2));
        const double user = std::max(2.0, 14 + 6 * wave + burst);
        const double system = std::max(1.0, 6 + 2 * std::sin(t * 13.0 + 0.4) + burst * 0.3);
        history.record("cpu", user + system, at);
        history.record("cpu.user", user, at);
        history.record("cpu.system", system, at);
        const double memory = (9.2 + 1.1 * t + 0.3 * wave) * 1024 * MB;
        history.record("memory", memory, at);
        history.record("memory.compressed", (0.4 + 0.15 * t) * 1024 * MB, at);
        history.record("net.in", std::max(0.0, 400'000 + 350'000 * wave + burst * 40'000), at);
        history.record("net.out", std::max(0.0, 60'000 + 30'000 * std::sin(t * 17.0)), at);
        const double read = std::max(0.0, 900'000 + 800'000 * std::sin(t * 11.0 + 2));
        const double written = std::max(0.0, 500'000 + 400'000 * std::sin(t * 7.0 + 1));
        history.record("disk", read + written, at);
        history.record("disk.read", read, at);
        history.record("disk.write", written, at);
        // Memory went to swap once, during the burst.
        history.record("memory.swapout", burst > 1 ? burst * 200'000 : 0, at);
        history.record("dev.memory", (1.6 + 0.5 * t) * 1024 * MB, at);
        history.record("dev.cpu", std::max(0.0, 3 + 2 * wave + burst * 0.4), at);
    }
    return history;
}

StorageItem cache(std::string path, std::string title, std::string detail, std::uint64_t bytes,
                  StorageItem::Kind kind = StorageItem::Kind::regenerable()) {
    return {
        std::move(path), std::move(title), std::move(detail), bytes, std::move(kind), std::nullopt, false};
}

StorageItem file(std::string path, std::string title, std::string detail, std::uint64_t bytes,
                 StorageItem::Kind kind, std::optional<Date> lastUsed) {
    return {std::move(path), std::move(title), std::move(detail), bytes, std::move(kind), lastUsed, true};
}

// Three tool caches, Docker's disk image and three large files, one of them an app's own.
void decorateStorage(ServerStore& store, Date now) {
    constexpr std::uint64_t GB = 1'000'000'000;
    store.setPreviewStorage(
        {file("/home/ada/Downloads/debian-12-amd64-DVD-1.iso", "debian-12-amd64-DVD-1.iso", "~/Downloads",
              4 * GB, StorageItem::Kind::personal(), std::nullopt),
         file("/home/ada/.local/share/Steam/steamapps/common/Portal 2/pak01_dir.vpk", "pak01_dir.vpk",
              "~/.local/share/Steam/steamapps/common/Portal 2", 2'600'000'000,
              StorageItem::Kind::appData("Steam"), now - std::chrono::hours(30)),
         file("/home/ada/Videos/talk-recording.mkv", "talk-recording.mkv", "~/Videos", 1'300'000'000,
              StorageItem::Kind::personal(), now - std::chrono::hours(24 * 9))},
        {cache("/home/ada/.npm/_cacache", "npm downloads", "npm downloads packages again when needed.",
               2'100'000'000),
         cache("/home/ada/.docker/desktop/vms", "Docker disk image", "Images, containers and build cache.",
               1'800'000'000, StorageItem::Kind::appData("Docker")),
         cache("/home/ada/.cargo/registry", "Cargo downloads", "Cargo downloads crates again when needed.",
               1'400'000'000),
         cache("/home/ada/.cache/pip", "pip downloads", "pip downloads packages again when needed.",
               640'000'000)});
}

// A machine kept busy by a build: warm but not hot, memory worth a look and a note about the disk.
void decorateHeat(ServerStore& store) {
    HeatReport heat;
    heat.level = HeatLevel::workingHard;
    heat.systemWatts = 24;
    heat.causes = {HeatCauses::App{apps()[1]}, HeatCauses::App{apps()[0]}};
    const std::vector<Finding> findings{
        {Finding::Kind::memory, Finding::Severity::warning, "Memory is getting tight",
         "Firefox holds 1.7 GB. Closing tabs you're done with frees it.", apps()[0]},
        {Finding::Kind::disk, Finding::Severity::notice, "Caches are taking space",
         "About 4 GB of caches can be cleared safely from the Disk page.", std::nullopt},
    };
    store.setPreviewHeat(std::move(heat), findings);
}

}  // namespace

PreviewData data() {
    return {servers(), true, {11ull * 1024 * MB, 16ull * 1024 * MB}, 0.23};
}

void decorate(ServerStore& store, Date now) {
    const auto& all = store.servers();
    auto find = [&](int port) {
        for (const auto& server : all)
            if (server.port == port) return server;
        return Server{};
    };
    const Server vite = find(5173), next = find(3000), django = find(8000);
    IdleSummary idle{{django}, 1, *django.memoryBytes, {8000}, 26 * 3600};
    store.setPreviewInsights({Insights::Idle{idle}, Insights::MemoryGrowth{next, 620 * MB, 30},
                              Insights::Exposed{{vite, find(24678)}}});
    store.setPreviewIdle({django.pid, 1180, 1304});
    store.setPreviewDockerVMLimit(8ull * 1024 * MB);
    store.setPreviewProbe(vite.id(), HTTPProbe::Http{200, 12});
    store.setPreviewProbe(next.id(), HTTPProbe::Http{200, 48});
    store.setPreviewProbe(django.id(), HTTPProbe::Http{302, 9});

    RecentStops stops;
    auto flask = dev(6001, 5000, "flask", "/home/ada/code/api", "api", "main", 88, 0, 600);
    flask.args = "python3 -m flask run";
    flask.argv = {"python3", "-m", "flask", "run"};
    auto mail = dev(6100, 8025, "mailpit", "/", std::nullopt, std::nullopt, 40, 0, 3600);
    mail.containerName = "mailpit";
    mail.containerImage = "axllent/mailpit";
    stops.record({mail}, now - std::chrono::minutes(42));
    stops.record({flask}, now - std::chrono::minutes(4));
    store.setPreviewRecentStops(std::move(stops));

    SystemVitals vitals;
    vitals.cpu = CPULoad{0.23, 0.16, 0.07};
    vitals.memory = MemoryBreakdown{16ull * 1024 * MB, 7ull * 1024 * MB, 2ull * 1024 * MB, 512 * MB,
                                    4ull * 1024 * MB,  2ull * 1024 * MB, 256 * MB,         4ull * 1024 * MB};
    vitals.disk = DiskSpace{212'000'000'000, 512'000'000'000};
    vitals.networkIn = 1'200'000;
    vitals.networkOut = 86'000;
    // Four efficiency cores below eight performance threads, as on a hybrid laptop chip.
    vitals.cores =
        CoreLoad::label({0.08, 0.12, 0.05, 0.1, 0.42, 0.18, 0.36, 0.22, 0.61, 0.14, 0.27, 0.09}, 4);
    vitals.apps = apps();
    store.setPreviewVitals(std::move(vitals));
    auto averaged = apps();
    for (auto& usage : averaged) usage.cpuPercent = std::round(usage.cpuPercent * 7) / 10;
    store.setPreviewHistories(hour(now), ValueHistory(3600), std::move(averaged));
    decorateStorage(store, now);
    decorateHeat(store);
}

Services inertServices() {
    Services services;
    services.clock = std::make_unique<SystemClock>();
    services.scheduler = std::make_unique<TimerScheduler>();
    services.background = std::make_unique<PoolBackground>(1);
    services.sampling = std::make_unique<NoSampling>();
    services.prober = std::make_unique<Nothing>();
    services.control = std::make_unique<Nothing>();
    services.notifier = std::make_unique<Nothing>();
    services.desktop = std::make_unique<Nothing>();
    services.settings = std::make_unique<Nothing>();
    services.loginItem = std::make_unique<Nothing>();
    services.storage = std::make_unique<Nothing>();
    services.network = std::make_unique<NoTraffic>();
    services.version = TARVIK_VERSION;
    return services;
}

std::unique_ptr<ServerStore> store() {
    auto result = std::make_unique<ServerStore>(inertServices(), data());
    decorate(*result, result->now());
    return result;
}

}  // namespace tarvik::ui::Preview
