#include "core/platform/linux/Nvml.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "support/TempDir.hpp"

namespace tarvik {
namespace {

constexpr std::uint64_t gib = 1ULL << 30;

// The fake library as the test scripts it: opened before the reader so that both share one copy.
class FakeNvml {
public:
    explicit FakeNvml(const std::string& folder)
        : m_handle(::dlopen((folder + "/libnvidia-ml.so.1").c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (!m_handle) ADD_FAILURE() << ::dlerror();
        call<void()>("fakeNvmlReset");
    }
    ~FakeNvml() {
        if (m_handle) ::dlclose(m_handle);
    }
    FakeNvml(const FakeNvml&) = delete;
    FakeNvml& operator=(const FakeNvml&) = delete;

    template <typename Signature, typename... Arguments>
    typename std::function<Signature>::result_type call(const char* name, Arguments... arguments) {
        auto* function = reinterpret_cast<Signature*>(::dlsym(m_handle, name));
        if (!function) throw std::runtime_error(std::string("fake lacks ") + name);
        return function(arguments...);
    }
    int counter(const char* name) { return *static_cast<int*>(::dlsym(m_handle, name)); }
    void sample(unsigned card, unsigned pid, unsigned long long at, unsigned percent) {
        call<void(unsigned, unsigned, unsigned long long, unsigned)>("fakeNvmlAddSample", card, pid, at,
                                                                     percent);
    }
    unsigned long long askedSince(unsigned card) {
        return call<unsigned long long(unsigned)>("fakeNvmlAskedSince", card);
    }

private:
    void* m_handle;
};

// The fake's two cards as the reader gives them: a process listed without a sample is idle, and
// memory the driver cannot tell is absent, not 16 EB.
std::vector<GpuDevice> fakeCards() {
    return {{"NVIDIA GeForce RTX 4070", 85, 40, 3 * gib, 12 * gib, 61, 150.25, 200, {{4242, 0.0, 2 * gib}}},
            {"NVIDIA RTX A2000", 20, 5, gib, 6 * gib, 48, 40, 70, {{4343, 0.0, gib / 2}, {4444, 0.0, {}}}}};
}

std::map<std::int32_t, GpuProcess> byPid(const GpuDevice& card) {
    std::map<std::int32_t, GpuProcess> processes;
    for (const auto& process : card.processes) processes[process.pid] = process;
    return processes;
}

TEST(Nvml, ReadsEachCardWithItsProcessesAndStartsTheLibraryOnce) {
    FakeNvml fake(FAKE_NVML);
    const int startsBefore = fake.counter("fakeNvmlStarts"), stopsBefore = fake.counter("fakeNvmlStops");
    {
        NvmlReader reader(FAKE_NVML);
        EXPECT_EQ(reader.read(), fakeCards());
        EXPECT_EQ(reader.read(), fakeCards());
        EXPECT_EQ(fake.counter("fakeNvmlStarts"), startsBefore + 1);
    }
    EXPECT_EQ(fake.counter("fakeNvmlStops"), stopsBefore + 1) << "shut down when the reader goes";
}

TEST(Nvml, ProcessBusyIsTheLatestSampleNewerThanTheLastOneSeen) {
    FakeNvml fake(FAKE_NVML);
    fake.sample(0, 4242, 100, 30);
    fake.sample(0, 4242, 200, 50);
    fake.sample(1, 77, 150, 10);
    NvmlReader reader(FAKE_NVML);
    auto cards = reader.read();
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(fake.askedSince(0), 0u);
    EXPECT_EQ(byPid(cards[0])[4242].busyPercent, 50.0);
    EXPECT_EQ(byPid(cards[1])[77].busyPercent, 10.0) << "a process seen only in the samples is listed";

    fake.sample(0, 4242, 300, 70);
    cards = reader.read();
    EXPECT_EQ(fake.askedSince(0), 200u);
    EXPECT_EQ(fake.askedSince(1), 150u);
    EXPECT_EQ(byPid(cards[0])[4242].busyPercent, 70.0);
    EXPECT_FALSE(byPid(cards[1]).contains(77)) << "no new sample and no memory: gone from the card";
}

// Each failed query takes its reading from every card; without a count or a start there are none.
TEST(Nvml, AFailedQueryLeavesOnlyItsReadingAbsent) {
    const std::tuple<const char*, int, std::function<void(GpuDevice&)>> cases[] = {
        {"nvmlDeviceGetTemperature", 3, [](GpuDevice& card) { card.celsius.reset(); }},
        {"nvmlDeviceGetUtilizationRates", 999,
         [](GpuDevice& card) { card.busyPercent = card.memoryBusyPercent = std::nullopt; }},
        {"nvmlDeviceGetComputeRunningProcesses", 3,
         [](GpuDevice& card) { std::erase_if(card.processes, [](auto& p) { return p.pid == 4242; }); }},
        {"nvmlDeviceGetName", 3, [](GpuDevice& card) { card.name.clear(); }},
        {"nvmlDeviceGetCount_v2", 3, nullptr},
        {"nvmlInit_v2", 9, nullptr}};
    for (const auto& [function, code, lose] : cases) {
        SCOPED_TRACE(function);
        FakeNvml fake(FAKE_NVML);
        fake.call<void(const char*, int)>("fakeNvmlFail", function, code);
        auto expected = lose ? fakeCards() : std::vector<GpuDevice>{};
        for (auto& card : expected) lose(card);
        EXPECT_EQ(NvmlReader(FAKE_NVML).read(), expected);
    }
}

TEST(Nvml, AsksAgainWithRoomForEveryProcessWhenTheFirstTableIsTooSmall) {
    FakeNvml fake(FAKE_NVML);
    fake.call<void(unsigned, unsigned)>("fakeNvmlAddComputeProcesses", 1u, 200u);
    auto cards = NvmlReader(FAKE_NVML).read();
    ASSERT_EQ(cards.size(), 2u);
    auto processes = byPid(cards[1]);
    EXPECT_EQ(processes.size(), 202u);
    EXPECT_EQ(processes[10199].memoryBytes, 1u << 20);
}

TEST(Nvml, AnOlderLibraryWithoutSamplesStillGivesEverythingElse) {
    FakeNvml fake(FAKE_NVML_OLD);
    fake.sample(0, 4242, 100, 30);
    auto expected = fakeCards();
    for (auto& card : expected)
        for (auto& process : card.processes) process.busyPercent.reset();  // unknown, not idle
    EXPECT_EQ(NvmlReader(FAKE_NVML_OLD).read(), expected);
}

TEST(Nvml, NoLibraryMeansNoCards) {
    test::TempDir empty;
    for (std::string library :
         {empty.path().string(), empty / "libnvidia-ml.so.1", empty / "missing/folder"}) {
        SCOPED_TRACE(library);
        NvmlReader reader(library);
        EXPECT_TRUE(reader.read().empty());
        EXPECT_TRUE(reader.read().empty());
    }
    NvmlReader stopped(FAKE_NVML);
    stopped.shutdown();
    EXPECT_TRUE(stopped.read().empty()) << "nothing is read after the shutdown";
}

}  // namespace
}  // namespace tarvik
