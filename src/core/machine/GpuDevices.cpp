#include "core/machine/GpuDevices.hpp"

namespace tarvik::GpuDevices {

const GpuDevice* busiest(const std::vector<GpuDevice>& devices) {
    const GpuDevice* found = nullptr;
    for (const auto& device : devices)
        if (device.busyPercent && (!found || *device.busyPercent > *found->busyPercent)) found = &device;
    return found;
}

std::unordered_map<std::int32_t, double> busyByPid(const std::vector<GpuDevice>& devices) {
    std::unordered_map<std::int32_t, double> busy;
    for (const auto& device : devices)
        for (const auto& process : device.processes)
            if (process.busyPercent) busy[process.pid] += *process.busyPercent;
    return busy;
}

std::optional<std::string> nameOf(const std::vector<GpuDevice>& devices, std::optional<double> headline) {
    const GpuDevice* device = busiest(devices);
    if (!device || !headline || *device->busyPercent != *headline || device->name.empty())
        return std::nullopt;
    return device->name;
}

}  // namespace tarvik::GpuDevices
