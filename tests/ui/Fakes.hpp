#pragma once

#include <QVariantMap>
#include <deque>
#include <map>
#include <mutex>

#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/Services.hpp"

// Stand-ins for the machine, the desktop and time: the store's tests script what it sees and
// read back what it did. Time moves only when a test advances it.
namespace tarvik::test {

using namespace std::chrono_literals;

class FakeClock : public ui::Clock {
public:
    Date time = Date{} + std::chrono::hours(24 * 365 * 50);
    [[nodiscard]] Date now() const override { return time; }
};

class FakeScheduler : public ui::Scheduler {
public:
    explicit FakeScheduler(FakeClock& clock) : m_clock(clock) {}

    Handle after(std::chrono::milliseconds delay, std::function<void()> work) override {
        m_due.emplace(std::pair{m_clock.time + delay, ++m_next}, std::move(work));
        return m_next;
    }
    void cancel(Handle handle) override {
        std::erase_if(m_due, [&](const auto& entry) { return entry.first.second == handle; });
    }
    // Moves the clock forward, running every callback that falls due on the way in time order.
    void advance(std::chrono::duration<double> span) {
        const Date end = m_clock.time + std::chrono::duration_cast<Date::duration>(span);
        while (!m_due.empty() && m_due.begin()->first.first <= end) {
            auto entry = m_due.extract(m_due.begin());
            m_clock.time = entry.key().first;
            entry.mapped()();
        }
        m_clock.time = end;
    }

private:
    FakeClock& m_clock;
    Handle m_next = 0;
    std::map<std::pair<Date, Handle>, std::function<void()>> m_due;
};

// Runs the work at once, on the caller's thread.
class FakeBackground : public ui::Background {
public:
    void run(std::function<void()> work, std::function<void()> then) override {
        work();
        then();
    }
};

// Answers each refresh with the next scripted result; the last one repeats.
class FakeSampling : public ui::SamplingStep {
public:
    std::deque<ui::SamplingResult> script;
    std::optional<std::uint64_t> listeners;
    int calls = 0;
    std::optional<std::uint64_t> listenersFingerprint() override { return listeners; }
    ui::SamplingResult sample() override {
        ++calls;
        if (script.size() > 1) {
            auto next = std::move(script.front());
            script.pop_front();
            return next;
        }
        return script.empty() ? ui::SamplingResult{} : script.front();
    }
};

// Answers HTTP at once; safe on a real pool's threads.
class FakeProber : public ui::Prober {
public:
    std::mutex mutex;
    std::vector<int> probed;
    std::map<int, HTTPProbe::Outcome> outcomes;  // by port; others answer 200
    HTTPProbe::Outcome probe(int port, double) override {
        std::lock_guard lock(mutex);
        probed.push_back(port);
        auto found = outcomes.find(port);
        return found == outcomes.end() ? HTTPProbe::Http{200, 3} : found->second;
    }
};

class FakeControl : public ui::ProcessControl {
public:
    std::vector<StopAction> actions;
    std::vector<std::pair<std::int32_t, int>> sent;         // pid, signal
    std::vector<std::string> groupStops, restarts, tidied;  // ids
    std::map<std::int32_t, std::uint32_t> owners;
    std::map<std::uint32_t, std::string> users;  // what userName gives, else the number
    std::optional<std::string> docker;
    std::vector<ProcessRow> table;              // what processTable gives
    std::map<std::int32_t, std::string> names;  // what processName gives

    bool carryOut(const StopAction& action) override {
        actions.push_back(action);
        return true;
    }
    void stopGroup(const std::vector<Server>& servers) override {
        for (const auto& server : servers) groupStops.push_back(server.id());
    }
    void tidyUp(const std::vector<Server>& servers) override {
        for (const auto& server : servers) tidied.push_back(server.id());
    }
    bool restart(const Server& server) override {
        restarts.push_back(server.id());
        return true;
    }
    bool signal(std::int32_t pid, int signal) override {
        sent.emplace_back(pid, signal);
        return true;
    }
    std::optional<std::uint32_t> ownerUid(std::int32_t pid) override {
        auto owner = owners.find(pid);
        return owner == owners.end() ? std::nullopt : std::optional(owner->second);
    }
    std::string userName(std::uint32_t uid) override {
        auto user = users.find(uid);
        return user == users.end() ? std::to_string(uid) : user->second;
    }
    std::optional<std::string> dockerPath() override { return docker; }
    std::vector<ProcessRow> processTable() override { return table; }
    std::string processName(std::int32_t pid) override {
        auto name = names.find(pid);
        return name == names.end() ? std::string() : name->second;
    }
};

class FakeNotifier : public ui::Notifier {
public:
    bool isAvailable = true;
    std::vector<ui::Notification> posts;
    std::function<void(const std::string&)> clickHandler;

    bool available() override { return isAvailable; }
    ui::Authorization authorization() override { return ui::Authorization::authorized; }
    void requestAuthorization(std::function<void(bool, std::optional<std::string>)> done) override {
        done(true, std::nullopt);
    }
    void post(const ui::Notification& notification, Done done) override {
        posts.push_back(notification);
        done(std::nullopt);
    }
    void onClick(std::function<void(const std::string&)> handler) override {
        clickHandler = std::move(handler);
    }
};

class FakeDesktop : public ui::Desktop {
public:
    std::vector<std::string> calls;  // "what:argument"
    bool quitsApps = false;
    std::string fullName;
    std::optional<std::string> downloads;
    QByteArray copiedImage;

    void openUrl(const std::string& url) override { calls.push_back("open:" + url); }
    void reveal(const std::string& path) override { calls.push_back("reveal:" + path); }
    void openFolder(const std::string& path) override { calls.push_back("folder:" + path); }
    void openTrash() override { calls.push_back("trash:"); }
    void copyText(const std::string& text) override { calls.push_back("copy:" + text); }
    bool copyImage(const QByteArray& png) override {
        calls.push_back("copyImage:" + std::to_string(png.size()));
        copiedImage = png;
        return !png.isEmpty();
    }
    std::optional<std::string> downloadsFolder() override { return downloads; }
    void openSettings(ui::SettingsPanel panel) override {
        calls.push_back(panel == ui::SettingsPanel::battery ? "settings:battery" : "settings:notifications");
    }
    bool askToQuit(const AppUsage& app) override {
        calls.push_back("quit:" + app.name);
        return quitsApps;
    }
    std::string userFullName() override { return fullName; }
};

class FakeSettings : public ui::SettingsStore {
public:
    QVariantMap values;
    [[nodiscard]] QVariant value(const QString& key) const override { return values.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values[key] = value; }
};

class FakeLoginItem : public ui::LoginItem {
public:
    bool enabled = false;
    bool fails = false;
    int changes = 0;
    bool isEnabled() override { return enabled; }
    std::optional<std::string> setEnabled(bool value) override {
        ++changes;
        if (fails) return "not allowed";
        enabled = value;
        return std::nullopt;
    }
};

class FakeStorage : public ui::StorageService {
public:
    std::vector<StorageItem> files, caches;
    bool filesComplete = true;
    int scans = 0;
    StorageActions::Result answer{true, {}, 0, std::nullopt};

    StorageScanner::LargeFileSearch largeFiles() override {
        ++scans;
        return {files, filesComplete};
    }
    std::vector<StorageItem> clearable() override { return caches; }
    StorageActions::Result clear(const StorageItem&, const StorageReport&) override { return answer; }
    StorageActions::Result moveToTrash(const StorageItem&, const StorageReport&) override { return answer; }
    StorageActions::Result cleanUpDocker(const std::string&) override { return answer; }
};

class FakeNetwork : public ui::NetworkService {
public:
    std::vector<ProcessTraffic> traffic;
    std::vector<ProcessTraffic> sample() override { return traffic; }
};

// A Vite dev server run by node in /home/ada/shop, using 200 MB.
inline Server devServer(std::int32_t pid, int port, double cpu = 0, std::string kind = "Vite") {
    Server s;
    s.pid = pid;
    s.port = port;
    s.address = "127.0.0.1";
    s.processName = "node";
    s.args = "node vite";
    s.argv = {"node", "vite"};
    s.cwd = "/home/ada/shop";
    s.kind = {std::move(kind), "lightning-fill"};
    s.category = ServerCategory::dev;
    s.memoryBytes = 200u << 20;
    s.cpuPercent = cpu;
    return s;
}

// A scan that found `servers` and `apps` on a machine using 8 of its 16 GB.
inline ui::SamplingResult sampled(std::vector<Server> servers, std::vector<AppUsage> apps = {}) {
    ui::SamplingResult result;
    result.servers = std::move(servers);
    result.vitals.cpu = CPULoad{0.5, 0.3, 0.2};
    result.vitals.apps = std::move(apps);
    result.memory = {8ull << 30, 16ull << 30};
    return result;
}

// An app of one process per pid.
inline AppUsage app(std::string name, double cpu, std::vector<std::int32_t> pids = {}) {
    AppUsage result;
    result.name = std::move(name);
    result.cpuPercent = cpu;
    result.pids = pids;
    for (auto pid : pids) result.processes.push_back({pid, 1, "/opt/" + result.name + "/" + result.name});
    result.processCount = static_cast<int>(pids.size());
    return result;
}

// One set of fakes; `services()` hands them to a store while the pointers stay for the test.
struct FakeWorld {
    FakeClock* clock = new FakeClock;
    FakeScheduler* scheduler = new FakeScheduler(*clock);
    FakeSampling* sampling = new FakeSampling;
    FakeProber* prober = new FakeProber;
    FakeControl* control = new FakeControl;
    FakeNotifier* notifier = new FakeNotifier;
    FakeDesktop* desktop = new FakeDesktop;
    FakeSettings* settings = new FakeSettings;
    FakeLoginItem* loginItem = new FakeLoginItem;
    FakeStorage* storage = new FakeStorage;
    FakeNetwork* network = new FakeNetwork;

    // Call once: the store takes ownership.
    ui::Services services() {
        auto own = [](auto* fake) { return std::unique_ptr<std::remove_pointer_t<decltype(fake)>>(fake); };
        return {own(clock),     own(scheduler), std::make_unique<FakeBackground>(),
                own(sampling),  own(prober),    own(control),
                own(notifier),  own(desktop),   own(settings),
                own(loginItem), own(storage),   own(network),
                "1.4.0",        4242,           1000};
    }
};

// The preview machine behind the world's fakes, loaded into `store` over the hour from the world's
// time on.
inline void loadPreview(FakeWorld& world, ui::ServerStore& store) {
    const auto step = ui::Preview::Machine{}.step;
    auto machine = ui::Preview::machine(world.clock->time);
    const auto span = step * static_cast<int>(machine.samples.size() - 1);
    machine = ui::Preview::machine(world.clock->time + span);
    world.sampling->script.assign(machine.samples.begin(), machine.samples.end());
    world.prober->outcomes = machine.probes;
    world.storage->files = machine.largeFiles;
    world.storage->caches = machine.clearable;
    ui::Preview::load(store, machine.samples.size(), [&] { world.clock->time += machine.step; });
}

// A store that has seen `servers` once.
inline void show(FakeWorld& world, ui::ServerStore& store, std::vector<Server> servers) {
    world.sampling->script = {ui::SamplingResult{std::move(servers)}};
    store.refresh();
}

}  // namespace tarvik::test
