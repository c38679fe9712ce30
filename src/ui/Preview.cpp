#include "ui/Preview.hpp"

#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "core/Version.hpp"
#include "core/servers/PortScanner.hpp"
#include "core/servers/ServerClassifier.hpp"
#include "ui/ServerStore.hpp"
#include "ui/linux/MachineServices.hpp"
#include "ui/store/StoreChecks.hpp"

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
    std::string userName(std::uint32_t uid) override { return std::to_string(uid); }
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

// The machine now: light work, most of the memory in use, a hybrid laptop chip.
SystemVitals vitalsNow() {
    SystemVitals vitals;
    vitals.cpu = CPULoad{0.23, 0.16, 0.07};
    vitals.memory = MemoryBreakdown{16ull * 1024 * MB, 7ull * 1024 * MB, 2ull * 1024 * MB,
                                    512 * MB,          4ull * 1024 * MB, 2ull * 1024 * MB,
                                    256 * MB,          4ull * 1024 * MB, 5ull * 1024 * MB};
    vitals.disk = DiskSpace{212'000'000'000, 512'000'000'000};
    vitals.networkIn = 1'200'000;
    vitals.networkOut = 86'000;
    // Four efficiency cores below eight performance threads, as on a hybrid laptop chip.
    vitals.cores =
        CoreLoad::label({0.08, 0.12, 0.05, 0.1, 0.42, 0.18, 0.36, 0.22, 0.61, 0.14, 0.27, 0.09}, 4);
    vitals.apps = apps();
    return vitals;
}

// A flask app stopped four minutes ago, a mail catcher's container 42 minutes ago.
std::vector<Server> stoppedEarlier(double minutesAgo) {
    std::vector<Server> listed;
    if (minutesAgo > 42) {
        auto mail = dev(6100, 8025, "mailpit", "/", std::nullopt, std::nullopt, 40, 0, 3600);
        mail.containerName = "mailpit";
        mail.containerImage = "axllent/mailpit";
        listed.push_back(std::move(mail));
    }
    if (minutesAgo > 4) {
        auto flask = dev(6001, 5000, "flask", "/home/ada/code/api", "api", "main", 88, 0, 600);
        flask.args = "python3 -m flask run";
        flask.argv = {"python3", "-m", "flask", "run"};
        listed.push_back(std::move(flask));
    }
    return listed;
}

// One reading `minutesAgo`, drifting smoothly like a machine at light work with one burst two
// thirds into the hour. Next's memory doubles over the last half hour; Django and CUPS sit idle
// throughout, while the others stir now and then.
SamplingResult reading(double minutesAgo) {
    SamplingResult result;
    result.vitals = vitalsNow();
    result.memory = result.vitals.memory->usage();
    result.dockerVMLimit = 8ull * 1024 * MB;
    result.servers = servers();
    for (auto& server : result.servers) {
        if (server.port == 3000)
            server.memoryBytes =
                (620 + std::uint64_t(std::clamp(30 - minutesAgo, 0.0, 30.0) * 620 / 30)) * MB;
        if (minutesAgo > 0 && (server.pid == 1022 || server.pid == 812 || server.pid == 2290))
            server.cpuPercent = 1.5;
    }
    for (auto& server : stoppedEarlier(minutesAgo)) result.servers.push_back(std::move(server));
    PortScanner::sort(result.servers);
    if (minutesAgo <= 0) return result;

    const double t = 1 - minutesAgo / 60;
    const double wave = std::sin(t * 9.0) * 0.5 + std::sin(t * 23.0 + 1.3) * 0.3;
    const double burst = 30 * std::exp(-std::pow((t - 0.66) / 0.025, 2));
    const double user = std::max(2.0, 14 + 6 * wave + burst);
    const double system = std::max(1.0, 6 + 2 * std::sin(t * 13.0 + 0.4) + burst * 0.3);
    result.vitals.cpu = CPULoad{(user + system) / 100, user / 100, system / 100};
    result.vitals.memory->available =
        result.vitals.memory->total - std::uint64_t((9.2 + 1.1 * t + 0.3 * wave) * 1024 * MB);
    result.memory = result.vitals.memory->usage();
    result.vitals.memory->compressed = std::uint64_t((0.4 + 0.15 * t) * 1024 * MB);
    result.vitals.networkIn = std::max(0.0, 400'000 + 350'000 * wave + burst * 40'000);
    result.vitals.networkOut = std::max(0.0, 60'000 + 30'000 * std::sin(t * 17.0));
    result.vitals.diskRead = std::max(0.0, 900'000 + 800'000 * std::sin(t * 11.0 + 2));
    result.vitals.diskWrite = std::max(0.0, 500'000 + 400'000 * std::sin(t * 7.0 + 1));
    // Memory went to swap once, during the burst.
    result.vitals.swapOutPerSecond = burst > 1 ? burst * 200'000 : 0;
    return result;
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

// Answers at once, on the caller's thread: the preview is loaded before it is shown.
struct AtOnce : Background {
    void run(std::function<void()> work, std::function<void()> then) override {
        work();
        then();
    }
};

struct StoppedClock : Clock {
    Date time;
    [[nodiscard]] Date now() const override { return time; }
};

// The machine's services, each answering from its part of the machine.
struct MachineSampling : SamplingStep {
    explicit MachineSampling(std::vector<SamplingResult> readings) : samples(std::move(readings)) {}
    SamplingResult sample() override {
        std::lock_guard lock(mutex);
        return samples[std::min(next++, samples.size() - 1)];
    }
    std::vector<SamplingResult> samples;
    std::mutex mutex;
    std::size_t next = 0;
};

struct MachineProber : Prober {
    explicit MachineProber(std::map<int, HTTPProbe::Outcome> answers) : probes(std::move(answers)) {}
    HTTPProbe::Outcome probe(int port, double) override {
        auto found = probes.find(port);
        return found == probes.end() ? HTTPProbe::Outcome(HTTPProbe::Unreachable{}) : found->second;
    }
    std::map<int, HTTPProbe::Outcome> probes;
};

struct MachineStorage : Nothing {
    MachineStorage(std::vector<StorageItem> large, std::vector<StorageItem> regenerable)
        : files(std::move(large)), caches(std::move(regenerable)) {}
    StorageScanner::LargeFileSearch largeFiles() override { return {files, true}; }
    std::vector<StorageItem> clearable() override { return caches; }
    std::vector<StorageItem> files, caches;
};

struct MachineNetwork : NetworkService {
    explicit MachineNetwork(std::vector<ProcessTraffic> moved) : traffic(std::move(moved)) {}
    std::vector<ProcessTraffic> sample() override { return traffic; }
    std::vector<ProcessTraffic> traffic;
};

}  // namespace

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

Machine machine(Date now) {
    Machine result;
    // A little over an hour, so that what sat still all along counts as idle.
    constexpr int minutes = 62;
    const int count = minutes * 60 / static_cast<int>(result.step.count()) + 1;
    for (int i = 0; i < count; ++i)
        result.samples.push_back(reading(double(count - 1 - i) * double(result.step.count()) / 60));
    result.probes = {{5173, HTTPProbe::Http{200, 12}},
                     {3000, HTTPProbe::Http{200, 48}},
                     {8000, HTTPProbe::Http{302, 9}},
                     {24678, HTTPProbe::NotHTTP{}}};
    // Three large files, one of them an app's own; three tool caches and Docker's disk image.
    constexpr std::uint64_t GB = 1'000'000'000;
    result.largeFiles = {
        file("/home/ada/Downloads/debian-12-amd64-DVD-1.iso", "debian-12-amd64-DVD-1.iso", "~/Downloads",
             4 * GB, StorageItem::Kind::personal(), std::nullopt),
        file("/home/ada/.local/share/Steam/steamapps/common/Portal 2/pak01_dir.vpk", "pak01_dir.vpk",
             "~/.local/share/Steam/steamapps/common/Portal 2", 2'600'000'000,
             StorageItem::Kind::appData("Steam"), now - std::chrono::hours(30)),
        file("/home/ada/Videos/talk-recording.mkv", "talk-recording.mkv", "~/Videos", 1'300'000'000,
             StorageItem::Kind::personal(), now - std::chrono::hours(24 * 9))};
    result.clearable = {
        cache("/home/ada/.npm/_cacache", "npm downloads", "npm downloads packages again when needed.",
              2'100'000'000),
        cache("/home/ada/.docker/desktop/vms", "Docker disk image", "Images, containers and build cache.",
              1'800'000'000, StorageItem::Kind::appData("Docker")),
        cache("/home/ada/.cargo/registry", "Cargo downloads", "Cargo downloads crates again when needed.",
              1'400'000'000),
        cache("/home/ada/.cache/pip", "pip downloads", "pip downloads packages again when needed.",
              640'000'000)};
    return result;
}

void load(ServerStore& store, std::size_t samples, const std::function<void()>& tick) {
    for (std::size_t i = 0; i < samples; ++i) {
        if (i > 0) tick();
        store.refresh();
    }
    store.probeServers();
    store.checks().scanStorage(true);
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
    const Date now = std::chrono::system_clock::now();
    auto fixed = machine(now);
    const auto step = fixed.step;
    const auto count = fixed.samples.size();
    auto clock = std::make_unique<StoppedClock>();
    clock->time = now - step * static_cast<int>(count - 1);
    auto* time = clock.get();
    auto services = inertServices();
    services.clock = std::move(clock);
    services.background = std::make_unique<AtOnce>();
    services.sampling = std::make_unique<MachineSampling>(std::move(fixed.samples));
    services.prober = std::make_unique<MachineProber>(std::move(fixed.probes));
    services.storage =
        std::make_unique<MachineStorage>(std::move(fixed.largeFiles), std::move(fixed.clearable));
    services.network = std::make_unique<MachineNetwork>(std::move(fixed.traffic));
    auto result = std::make_unique<ServerStore>(std::move(services));
    load(*result, count, [time, step] { time->time += step; });
    return result;
}

}  // namespace tarvik::ui::Preview
