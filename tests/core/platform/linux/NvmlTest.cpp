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
    void fail(const char* function, int code) {
        call<void(const char*, int)>("fakeNvmlFail", function, code);
    }
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

std::map<std::int32_t, GpuProcess> byPid(const GpuDevice& card) {
    std::map<std::int32_t, GpuProcess> processes;
    for (const auto& process : card.processes) processes[process.pid] = process;
    return processes;
}

TEST(Nvml, ReadsEachCardWithItsProcessesAndStartsTheLibraryOnce) {
    FakeNvml fake(FAKE_NVML);
    int startsBefore = fake.call<int()>("fakeNvmlStarts"), stopsBefore = fake.call<int()>("fakeNvmlStops");
    {
        NvmlReader reader(FAKE_NVML);
        auto cards = reader.read();
        ASSERT_EQ(cards.size(), 2u);
        const GpuDevice& first = cards[0];
        EXPECT_EQ(first.name, "NVIDIA GeForce RTX 4070");
        EXPECT_EQ(first.busyPercent, 85.0);
        EXPECT_EQ(first.memoryBusyPercent, 40.0);
        EXPECT_EQ(first.memoryUsedBytes, 3 * gib);
        EXPECT_EQ(first.memoryTotalBytes, 12 * gib);
        EXPECT_EQ(first.celsius, 61.0);
        EXPECT_EQ(first.watts, 150.25) << "milliwatts become watts";
        EXPECT_EQ(first.powerLimitWatts, 200.0);
        EXPECT_EQ(cards[1].name, "NVIDIA RTX A2000");
        EXPECT_EQ(cards[1].busyPercent, 20.0);

        auto compute = byPid(first), graphics = byPid(cards[1]);
        ASSERT_EQ(compute.size(), 1u);
        EXPECT_EQ(compute[4242].memoryBytes, 2 * gib);
        EXPECT_EQ(compute[4242].busyPercent, 0.0) << "listed but without a sample: idle";
        ASSERT_EQ(graphics.size(), 2u);
        EXPECT_EQ(graphics[4343].memoryBytes, gib / 2);
        EXPECT_FALSE(graphics[4444].memoryBytes) << "memory the driver cannot tell is absent, not 16 EB";

        EXPECT_EQ(reader.read(), cards);
        EXPECT_EQ(fake.call<int()>("fakeNvmlStarts"), startsBefore + 1);
    }
    EXPECT_EQ(fake.call<int()>("fakeNvmlStops"), stopsBefore + 1) << "shut down when the reader goes";
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

TEST(Nvml, AFailedQueryLeavesOnlyItsReadingAbsent) {
    struct Case {
        const char* function;
        int code;
        std::function<void(const std::vector<GpuDevice>&)> check;
    };
    const std::vector<Case> cases = {
        {"nvmlDeviceGetTemperature", 3,
         [](const auto& cards) {
             EXPECT_FALSE(cards[0].celsius);
             EXPECT_EQ(cards[0].busyPercent, 85.0);
             EXPECT_EQ(cards[0].watts, 150.25);
         }},
        {"nvmlDeviceGetUtilizationRates", 999,
         [](const auto& cards) {
             EXPECT_FALSE(cards[0].busyPercent);
             EXPECT_FALSE(cards[1].memoryBusyPercent);
             EXPECT_EQ(cards[1].celsius, 48.0);
         }},
        {"nvmlDeviceGetComputeRunningProcesses", 3,
         [](const auto& cards) {
             EXPECT_TRUE(cards[0].processes.empty());
             EXPECT_EQ(byPid(cards[1])[4343].memoryBytes, gib / 2);
         }},
        {"nvmlDeviceGetName", 3, [](const auto& cards) { EXPECT_EQ(cards[0].name, ""); }},
        {"nvmlDeviceGetCount_v2", 3, [](const auto& cards) { EXPECT_TRUE(cards.empty()); }},
        {"nvmlInit_v2", 9, [](const auto& cards) { EXPECT_TRUE(cards.empty()); }},
    };
    for (const auto& [function, code, check] : cases) {
        SCOPED_TRACE(function);
        FakeNvml fake(FAKE_NVML);
        fake.fail(function, code);
        NvmlReader reader(FAKE_NVML);
        auto cards = reader.read();
        bool started = std::string_view(function) != "nvmlDeviceGetCount_v2" &&
                       std::string_view(function) != "nvmlInit_v2";
        if (started) {
            ASSERT_EQ(cards.size(), 2u);
        }
        check(cards);
    }
}

TEST(Nvml, AsksAgainWithRoomForEveryProcessWhenTheFirstTableIsTooSmall) {
    FakeNvml fake(FAKE_NVML);
    fake.call<void(unsigned, unsigned)>("fakeNvmlAddComputeProcesses", 1u, 200u);
    NvmlReader reader(FAKE_NVML);
    auto cards = reader.read();
    ASSERT_EQ(cards.size(), 2u);
    auto processes = byPid(cards[1]);
    EXPECT_EQ(processes.size(), 202u);
    EXPECT_EQ(processes[10199].memoryBytes, 1u << 20);
}

TEST(Nvml, AnOlderLibraryWithoutSamplesStillGivesEverythingElse) {
    FakeNvml fake(FAKE_NVML_OLD);
    fake.sample(0, 4242, 100, 30);
    NvmlReader reader(FAKE_NVML_OLD);
    auto cards = reader.read();
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].busyPercent, 85.0);
    auto compute = byPid(cards[0]);
    EXPECT_EQ(compute[4242].memoryBytes, 2 * gib);
    EXPECT_FALSE(compute[4242].busyPercent) << "unknown, not idle";
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
