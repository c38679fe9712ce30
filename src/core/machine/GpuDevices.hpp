#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Graphics cards that describe themselves through their vendor's management library (NVIDIA's
// NVML), one record per card. Every reading is absent when the card or the library would not give it.
namespace tarvik {

// One process holding memory on a card or seen working on it.
struct GpuProcess {
    std::int32_t pid = 0;
    std::optional<double> busyPercent;         // share of the card's time, 0-100, over the last sample
    std::optional<std::uint64_t> memoryBytes;  // the card's memory it holds
    bool operator==(const GpuProcess&) const = default;
};

struct GpuDevice {
    std::string name;                         // "NVIDIA GeForce RTX 4070"; empty when the card gave none
    std::optional<double> busyPercent;        // 0-100
    std::optional<double> memoryBusyPercent;  // time its memory was being read or written, 0-100
    std::optional<std::uint64_t> memoryUsedBytes;
    std::optional<std::uint64_t> memoryTotalBytes;
    std::optional<double> celsius;
    std::optional<double> watts;            // drawn now
    std::optional<double> powerLimitWatts;  // the most it is allowed to draw
    std::vector<GpuProcess> processes;      // by pid, each once
    bool operator==(const GpuDevice&) const = default;
};

namespace GpuDevices {
// The card with the highest busy percent (the first of equals); null when none reports one.
[[nodiscard]] const GpuDevice* busiest(const std::vector<GpuDevice>& devices);
// Each process's busy percent summed over the cards; processes without one are left out.
[[nodiscard]] std::unordered_map<std::int32_t, double> busyByPid(const std::vector<GpuDevice>& devices);
// The name of the card whose busy percent is `headline`, when that card gave a name: the words
// about the whole GPU name it only when it is what they describe.
[[nodiscard]] std::optional<std::string> nameOf(const std::vector<GpuDevice>& devices,
                                                std::optional<double> headline);
}  // namespace GpuDevices

}  // namespace tarvik
