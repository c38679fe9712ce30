#include <gtest/gtest.h>

#include <QObject>
#include <atomic>
#include <csignal>
#include <mutex>
#include <set>

#include "core/servers/ProcessControl.hpp"
#include "support/ProcStat.hpp"
#include "ui/Fakes.hpp"
#include "ui/LiveMachine.hpp"
#include "ui/ServerStore.hpp"
#include "ui/store/StoreActions.hpp"

// Stops through a store on the application's own threads, timers and process control, over a
// machine that exists only in memory: no real process is signalled.
namespace tarvik {
namespace {

using namespace std::chrono_literals;

// Dev servers, each with a worker child, that end on their first signal. Safe on any thread; each
// look at it notes how many threads this process has, and whether it came from the test's own
// thread, which is the store's.
class PretendMachine {
public:
    explicit PretendMachine(int servers) {
        for (std::int32_t i = 0; i < servers; ++i) {
            m_running.insert({server(i), 1, 0, 0, 100});
            m_running.insert({worker(i), server(i), 0, 0, 200});
        }
    }
    static std::int32_t server(int i) { return 100000 + i; }
    static std::int32_t worker(int i) { return 200000 + i; }

    std::vector<ProcessRow> table() {
        look();
        std::lock_guard lock(m_mutex);
        return {m_running.begin(), m_running.end()};
    }
    std::vector<Server> servers() {
        std::vector<Server> listed;
        for (const auto& row : table()) {
            if (row.pid >= worker(0)) continue;
            listed.push_back(test::devServer(row.pid, 3000 + (row.pid - server(0))));
        }
        return listed;
    }
    int signal(std::int32_t pid, int signal) {
        look();
        std::lock_guard lock(m_mutex);
        if (signal == SIGCONT) return 0;
        auto row = std::find_if(m_running.begin(), m_running.end(),
                                [&](const ProcessRow& r) { return r.pid == pid; });
        if (row == m_running.end()) return -1;
        m_running.erase(row);
        ++m_ended;
        return 0;
    }
    int ended() {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }
    void noteThreads() {
        const auto now = test::threadCount();
        for (auto seen = mostThreads.load(); now > seen && !mostThreads.compare_exchange_weak(seen, now);) {
        }
    }

    std::atomic<std::size_t> mostThreads{0};
    std::atomic<int> onStoreThread{0};

private:
    void look() {
        if (std::this_thread::get_id() == m_storeThread) ++onStoreThread;
        noteThreads();
    }

    struct ByPid {
        bool operator()(const ProcessRow& a, const ProcessRow& b) const { return a.pid < b.pid; }
    };
    std::mutex m_mutex;
    std::set<ProcessRow, ByPid> m_running;
    int m_ended = 0;
    const std::thread::id m_storeThread = std::this_thread::get_id();
};

class PretendSampling : public ui::SamplingStep {
public:
    explicit PretendSampling(PretendMachine& machine) : m_machine(machine) {}
    ui::SamplingResult sample() override {
        ui::SamplingResult result;
        result.servers = m_machine.servers();
        result.memory = {8ull << 30, 16ull << 30};
        return result;
    }

private:
    PretendMachine& m_machine;
};

// The application's process control, follow-ups and all, over the pretend machine; the fake's
// answers for owners, names and Docker.
class PretendControl : public test::FakeControl {
public:
    explicit PretendControl(PretendMachine& machine)
        : m_machine(machine),
          m_control({.processTable = [&machine] { return machine.table(); },
                     .docker = [] { return std::nullopt; },
                     .sendSignal = [&machine](std::int32_t pid,
                                              int signal) { return machine.signal(pid, signal); }}) {}

    bool carryOut(const StopAction& action) override { return m_control.carryOut(action); }
    void stopGroup(const std::vector<Server>& servers) override { m_control.stopGroup(servers); }
    void tidyUp(const std::vector<Server>& servers) override { m_control.tidyUp(servers); }
    bool signal(std::int32_t pid, int signal) override { return m_machine.signal(pid, signal) == 0; }
    std::vector<ProcessRow> processTable() override { return m_machine.table(); }
    void waitIdle() { m_control.waitIdle(); }

private:
    PretendMachine& m_machine;
    tarvik::ProcessControl m_control;
};

// A hundred servers stopped however the user likes end with their workers, each stop says so, and
// the threads doing it stay a few: the store's pool and the control's, never one per stop.
TEST(StoreThreads, AHundredStopsShareAFewThreads) {
    constexpr int count = 100;
    struct Case {
        const char* what;
        void (*act)(ui::ServerStore&, const std::vector<Server>&);
        int toasts;
    };
    const std::vector<Case> cases{{"killed one by one",
                                   [](ui::ServerStore& store, const std::vector<Server>& servers) {
                                       for (const auto& server : servers) store.actions().kill(server, false);
                                   },
                                   count},
                                  {"stopped one by one",
                                   [](ui::ServerStore& store, const std::vector<Server>& servers) {
                                       for (const auto& server : servers) store.actions().stop({server}, "");
                                   },
                                   count},
                                  {"stopped as one group",
                                   [](ui::ServerStore& store, const std::vector<Server>& servers) {
                                       store.actions().stop(servers, "shop");
                                   },
                                   1}};
    constexpr std::size_t poolThreads = 6;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = test::threadCount();
        const auto bound = before + poolThreads + tarvik::ProcessControl::laterThreads + 1;
        PretendMachine machine(count);
        test::FakeWorld world;
        auto services = test::liveMachine(world);
        services.background = std::make_unique<ui::PoolBackground>(static_cast<int>(poolThreads));
        services.sampling = std::make_unique<PretendSampling>(machine);
        auto* control = new PretendControl(machine);
        services.control.reset(control);
        ui::ServerStore store(std::move(services));
        int toasts = 0;
        std::string lastToast;
        QObject::connect(&store, &ui::ServerStore::toastChanged, [&] {
            if (store.toast()) ++toasts, lastToast = *store.toast();
        });

        store.refresh();
        ASSERT_TRUE(test::pumpUntil([&] { return store.servers().size() == std::size_t(count); }));
        c.act(store, store.servers());
        EXPECT_TRUE(test::pumpUntil([&] {
            machine.noteThreads();
            return toasts == c.toasts && store.servers().empty();
        }));
        control->waitIdle();

        EXPECT_EQ(machine.ended(), 2 * count) << "every server and its worker";
        EXPECT_TRUE(store.stubbornPids().empty());
        EXPECT_TRUE(lastToast.starts_with(c.toasts == 1 ? "shop stopped" : "Vite stopped")) << lastToast;
        EXPECT_EQ(machine.onStoreThread, 0) << "the process table or a signal on the store's thread";
        EXPECT_LE(machine.mostThreads, bound);
        EXPECT_LE(test::threadCount(), bound);
    }
}

}  // namespace
}  // namespace tarvik
