// A stand-in for NVIDIA's management library with two cards and scripted answers, built as
// libnvidia-ml.so.1 so that the reader opens it the way it opens the real one. Tests script it
// through the fakeNvml* functions (found with dlsym) or, in a child process, the environment:
// FAKE_NVML_BUSY_PID names a process that shows 37 % busy on card 0 in a fresh sample at every
// query. Built a second time without nvmlDeviceGetProcessUtilization, as an older library is.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "core/platform/linux/NvmlAbi.hpp"

using namespace tarvik::nvml;

namespace {

struct Card {
    const char* name;
    Utilization busy;
    Memory memory;
    unsigned celsius, milliwatts, limitMilliwatts;
    std::vector<ProcessInfoV1> compute = {}, graphics = {};
    std::vector<ProcessSample> samples = {};
    unsigned long long askedSince = 0;
};

constexpr unsigned long long gib = 1ULL << 30;

std::vector<Card> freshCards() {
    std::vector<Card> fresh{
        Card{"NVIDIA GeForce RTX 4070", {85, 40}, {12 * gib, 9 * gib, 3 * gib}, 61, 150250, 200000},
        Card{"NVIDIA RTX A2000", {20, 5}, {6 * gib, 5 * gib, gib}, 48, 40000, 70000}};
    fresh[0].compute = {{4242, 2 * gib}};
    fresh[1].graphics = {{4343, gib / 2}, {4444, valueNotAvailable}};
    return fresh;
}

std::vector<Card> cards = freshCards();
std::map<std::string, Return> failures;

Card* cardOf(Device device) {
    return reinterpret_cast<Card*>(device);
}

Return scripted(const char* function) {
    auto found = failures.find(function);
    return found == failures.end() ? success : found->second;
}

template <typename Entry>
Return fill(const std::vector<Entry>& entries, Entry* out, unsigned* count) {
    if (entries.empty() && std::is_same_v<Entry, ProcessSample>) return errorNotFound;
    if (*count < entries.size() || !out) {
        *count = static_cast<unsigned>(entries.size());
        return errorInsufficientSize;
    }
    std::copy(entries.begin(), entries.end(), out);
    *count = static_cast<unsigned>(entries.size());
    return success;
}

}  // namespace

extern "C" {

void fakeNvmlReset() {
    cards = freshCards();
    failures.clear();
}
void fakeNvmlFail(const char* function, int code) {
    failures[function] = code;
}
void fakeNvmlAddSample(unsigned card, unsigned pid, unsigned long long timeStamp, unsigned smUtil) {
    cards.at(card).samples.push_back({pid, timeStamp, smUtil, 0, 0, 0});
}
void fakeNvmlAddComputeProcesses(unsigned card, unsigned count) {
    for (unsigned i = 0; i < count; ++i) cards.at(card).compute.push_back({10000 + i, 1 << 20});
}
unsigned long long fakeNvmlAskedSince(unsigned card) {
    return cards.at(card).askedSince;
}
int fakeNvmlStarts = 0, fakeNvmlStops = 0;

Return nvmlInit_v2() {
    ++fakeNvmlStarts;
    return scripted("nvmlInit_v2");
}
Return nvmlShutdown() {
    ++fakeNvmlStops;
    return success;
}
Return nvmlDeviceGetCount_v2(unsigned* count) {
    *count = static_cast<unsigned>(cards.size());
    return scripted("nvmlDeviceGetCount_v2");
}
Return nvmlDeviceGetHandleByIndex_v2(unsigned index, Device* device) {
    if (index >= cards.size()) return 2;  // NVML_ERROR_INVALID_ARGUMENT
    *device = reinterpret_cast<Device>(&cards[index]);
    return success;
}
Return nvmlDeviceGetName(Device device, char* name, unsigned length) {
    std::strncpy(name, cardOf(device)->name, length);
    return scripted("nvmlDeviceGetName");
}
Return nvmlDeviceGetUtilizationRates(Device device, Utilization* busy) {
    *busy = cardOf(device)->busy;
    return scripted("nvmlDeviceGetUtilizationRates");
}
Return nvmlDeviceGetMemoryInfo(Device device, Memory* memory) {
    *memory = cardOf(device)->memory;
    return scripted("nvmlDeviceGetMemoryInfo");
}
Return nvmlDeviceGetTemperature(Device device, int sensor, unsigned* celsius) {
    if (sensor != temperatureGpu) return errorNotSupported;
    *celsius = cardOf(device)->celsius;
    return scripted("nvmlDeviceGetTemperature");
}
Return nvmlDeviceGetPowerUsage(Device device, unsigned* milliwatts) {
    *milliwatts = cardOf(device)->milliwatts;
    return scripted("nvmlDeviceGetPowerUsage");
}
Return nvmlDeviceGetEnforcedPowerLimit(Device device, unsigned* milliwatts) {
    *milliwatts = cardOf(device)->limitMilliwatts;
    return scripted("nvmlDeviceGetEnforcedPowerLimit");
}
Return nvmlDeviceGetComputeRunningProcesses(Device device, unsigned* count, ProcessInfoV1* out) {
    if (Return code = scripted("nvmlDeviceGetComputeRunningProcesses")) return code;
    return fill(cardOf(device)->compute, out, count);
}
Return nvmlDeviceGetGraphicsRunningProcesses(Device device, unsigned* count, ProcessInfoV1* out) {
    return fill(cardOf(device)->graphics, out, count);
}

#ifndef FAKE_NVML_WITHOUT_SAMPLES
Return nvmlDeviceGetProcessUtilization(Device device, ProcessSample* out, unsigned* count,
                                       unsigned long long lastSeenTimeStamp) {
    Card* card = cardOf(device);
    card->askedSince = lastSeenTimeStamp;
    std::vector<ProcessSample> newer;
    for (const auto& sample : card->samples)
        if (sample.timeStamp > lastSeenTimeStamp) newer.push_back(sample);
    if (const char* pid = std::getenv("FAKE_NVML_BUSY_PID"); pid && card == &cards[0])
        newer.push_back({static_cast<unsigned>(std::atoi(pid)), lastSeenTimeStamp + 1, 37, 0, 0, 0});
    return fill(newer, out, count);
}
#endif
}
