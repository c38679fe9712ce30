#include "core/platform/linux/Nvml.hpp"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/platform/SystemSensors.hpp"
#include "core/platform/linux/NvmlAbi.hpp"
#include "core/support/DebugLog.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

namespace {

// Far more cards and processes than any one machine has; a larger count is garbled.
constexpr unsigned maxDevices = 64;
constexpr unsigned maxEntries = 4096;

std::string libraryPath(const std::string& library) {
    if (library.empty()) return NvmlReader::fileName;
    struct stat info {};
    if (::stat(library.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return library + "/" + NvmlReader::fileName;
    return library;
}

// Whether `code` is success; anything else is logged as the reason `what` has no reading.
bool answered(nvml::Return code, const char* what, unsigned device) {
    if (code == nvml::success) return true;
    DebugLog::say("NVML " + std::string(what) + " on card " + std::to_string(device) + " answered error " +
                  std::to_string(code));
    return false;
}

// Calls a function that fills a caller-sized table, growing the table once when it was too small.
template <typename Entry, typename Call>
std::vector<Entry> table(Call call, const char* what, unsigned device) {
    std::vector<Entry> entries(64);
    nvml::Return code = nvml::success;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto count = static_cast<unsigned>(entries.size());
        code = call(entries.data(), &count);
        if (code == nvml::success) {
            entries.resize(std::min<std::size_t>(count, entries.size()));
            return entries;
        }
        if (code == nvml::errorNotFound) return {};  // nothing to report, not a failure
        if (code != nvml::errorInsufficientSize || count <= entries.size() || count > maxEntries) break;
        entries.resize(count);
    }
    answered(code, what, device);
    return {};
}

}  // namespace

struct NvmlReader::Api {
    nvml::InitFn init = nullptr;
    nvml::ShutdownFn shutdown = nullptr;
    nvml::CountFn count = nullptr;
    nvml::HandleFn handle = nullptr;
    nvml::NameFn name = nullptr;
    nvml::UtilizationFn utilization = nullptr;
    nvml::MemoryFn memory = nullptr;
    nvml::TemperatureFn temperature = nullptr;
    nvml::MilliwattsFn power = nullptr;
    nvml::MilliwattsFn powerLimit = nullptr;
    nvml::ProcessesFn compute = nullptr;
    nvml::ProcessesFn graphics = nullptr;
    nvml::SamplesFn samples = nullptr;
};

NvmlReader::NvmlReader(std::string library) : m_library(std::move(library)) {}

NvmlReader::~NvmlReader() {
    shutdown();
}

bool NvmlReader::start() {
    if (m_tried) return m_api != nullptr;
    m_tried = true;
    std::string path = libraryPath(m_library);
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* reason = ::dlerror();
        DebugLog::say("no NVIDIA management library: " + std::string(reason ? reason : path));
        return false;
    }
    auto api = std::make_unique<Api>();
    auto bind = [&](auto& function, const char* symbol) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(m_handle, symbol));
        if (!function) DebugLog::say(path + " lacks " + symbol + ": the readings it gives are absent");
    };
    bind(api->init, "nvmlInit_v2");
    bind(api->shutdown, "nvmlShutdown");
    bind(api->count, "nvmlDeviceGetCount_v2");
    bind(api->handle, "nvmlDeviceGetHandleByIndex_v2");
    bind(api->name, "nvmlDeviceGetName");
    bind(api->utilization, "nvmlDeviceGetUtilizationRates");
    bind(api->memory, "nvmlDeviceGetMemoryInfo");
    bind(api->temperature, "nvmlDeviceGetTemperature");
    bind(api->power, "nvmlDeviceGetPowerUsage");
    bind(api->powerLimit, "nvmlDeviceGetEnforcedPowerLimit");
    bind(api->compute, "nvmlDeviceGetComputeRunningProcesses");
    bind(api->graphics, "nvmlDeviceGetGraphicsRunningProcesses");
    bind(api->samples, "nvmlDeviceGetProcessUtilization");
    nvml::Return code = -1;
    if (api->init && api->shutdown && api->count && api->handle) code = api->init();
    if (code != nvml::success) {
        if (api->init) DebugLog::say("NVML did not start: error " + std::to_string(code));
        ::dlclose(m_handle);
        m_handle = nullptr;
        return false;
    }
    m_api = std::move(api);
    return true;
}

void NvmlReader::shutdown() {
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    if (m_api) m_api->shutdown();
    m_api.reset();
    if (m_handle) ::dlclose(m_handle);
    m_handle = nullptr;
}

std::vector<GpuDevice> NvmlReader::read() {
    std::lock_guard lock(m_mutex);
    if (m_stopped || !start()) return {};
    unsigned count = 0;
    if (!answered(m_api->count(&count), "nvmlDeviceGetCount_v2", 0)) return {};
    count = std::min(count, maxDevices);
    m_lastSample.resize(count, 0);
    std::vector<GpuDevice> devices;
    for (unsigned index = 0; index < count; ++index) {
        nvml::Device device = nullptr;
        if (!answered(m_api->handle(index, &device), "nvmlDeviceGetHandleByIndex_v2", index)) continue;
        devices.push_back(readDevice(index, device));
    }
    return devices;
}

GpuDevice NvmlReader::readDevice(unsigned index, void* handle) {
    auto device = static_cast<nvml::Device>(handle);
    const Api& api = *m_api;
    GpuDevice card;
    if (char name[nvml::nameSize] = {};
        api.name && answered(api.name(device, name, sizeof name), "nvmlDeviceGetName", index))
        card.name = Text::repairUtf8(std::string_view(name, ::strnlen(name, sizeof name)));
    if (nvml::Utilization busy{};
        api.utilization && answered(api.utilization(device, &busy), "nvmlDeviceGetUtilizationRates", index)) {
        card.busyPercent = std::min(busy.gpu, 100u);
        card.memoryBusyPercent = std::min(busy.memory, 100u);
    }
    if (nvml::Memory memory{};
        api.memory && answered(api.memory(device, &memory), "nvmlDeviceGetMemoryInfo", index)) {
        card.memoryUsedBytes = memory.used;
        card.memoryTotalBytes = memory.total;
    }
    if (unsigned celsius = 0;
        api.temperature &&
        answered(api.temperature(device, nvml::temperatureGpu, &celsius), "nvmlDeviceGetTemperature", index))
        card.celsius = celsius;
    if (unsigned milliwatts = 0;
        api.power && answered(api.power(device, &milliwatts), "nvmlDeviceGetPowerUsage", index))
        card.watts = milliwatts / 1000.0;
    if (unsigned milliwatts = 0; api.powerLimit && answered(api.powerLimit(device, &milliwatts),
                                                            "nvmlDeviceGetEnforcedPowerLimit", index))
        card.powerLimitWatts = milliwatts / 1000.0;

    std::map<std::int32_t, GpuProcess> processes;
    auto holding = [&](nvml::ProcessesFn list, const char* what) {
        if (!list) return;
        auto entries = table<nvml::ProcessInfoV1>(
            [&](nvml::ProcessInfoV1* data, unsigned* size) { return list(device, size, data); }, what, index);
        for (const auto& entry : entries) {
            auto& process = processes[static_cast<std::int32_t>(entry.pid)];
            process.pid = static_cast<std::int32_t>(entry.pid);
            if (entry.usedGpuMemory == nvml::valueNotAvailable) continue;
            // A process doing both compute and graphics is listed twice with the same memory.
            process.memoryBytes =
                std::max<std::uint64_t>(process.memoryBytes.value_or(0), entry.usedGpuMemory);
        }
    };
    holding(api.compute, "nvmlDeviceGetComputeRunningProcesses");
    holding(api.graphics, "nvmlDeviceGetGraphicsRunningProcesses");
    if (api.samples) {
        unsigned long long since = m_lastSample[index];
        auto samples = table<nvml::ProcessSample>(
            [&](nvml::ProcessSample* data, unsigned* size) { return api.samples(device, data, size, since); },
            "nvmlDeviceGetProcessUtilization", index);
        std::map<std::int32_t, unsigned long long> latest;
        for (const auto& sample : samples) {
            if (sample.timeStamp <= since) continue;
            auto pid = static_cast<std::int32_t>(sample.pid);
            m_lastSample[index] = std::max(m_lastSample[index], sample.timeStamp);
            if (auto seen = latest.find(pid); seen != latest.end() && seen->second > sample.timeStamp)
                continue;
            latest[pid] = sample.timeStamp;
            processes[pid].pid = pid;
            processes[pid].busyPercent = std::min(sample.smUtil, 100u);
        }
        // Processes the library lists but that had no sample did no work since the last one.
        for (auto& [pid, process] : processes)
            if (!process.busyPercent) process.busyPercent = 0;
    }
    for (auto& [pid, process] : processes) card.processes.push_back(process);
    return card;
}

namespace NvidiaGpus {

std::vector<GpuDevice> read() {
    // Kept for the life of the process and shut down at exit, when no sampling thread should be
    // left; a read racing the exit waits for the lock and then finds no cards.
    static NvmlReader* reader = [] {
        const char* library = std::getenv("TARVIK_NVML_LIBRARY");
        auto* made = new NvmlReader(library ? library : "");
        std::atexit([] { reader->shutdown(); });
        return made;
    }();
    return reader->read();
}

}  // namespace NvidiaGpus

}  // namespace tarvik
