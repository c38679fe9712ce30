#include "core/analysis/VitalsRecorder.hpp"

#include "core/servers/DevFootprint.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

std::vector<AppUsage> VitalsRecorder::record(const SystemVitals& sample, const MemoryUsage& memory,
                                             const std::vector<Server>& servers, Date now) {
    if (sample.cpu) {
        vitals.record("cpu", sample.cpu->busy * 100, now);
        vitals.record("cpu.user", sample.cpu->user * 100, now);
        vitals.record("cpu.system", sample.cpu->system * 100, now);
    }
    vitals.record("memory", static_cast<double>(memory.usedBytes), now);
    if (sample.memory)
        vitals.record("memory.compressed", static_cast<double>(sample.memory->compressed), now);
    if (sample.swapOutPerSecond) vitals.record("memory.swapout", *sample.swapOutPerSecond, now);
    if (sample.gpu) vitals.record("gpu", *sample.gpu, now);
    if (sample.networkIn) vitals.record("net.in", *sample.networkIn, now);
    if (sample.networkOut) vitals.record("net.out", *sample.networkOut, now);
    if (sample.diskRead && sample.diskWrite) {
        vitals.record("disk", *sample.diskRead + *sample.diskWrite, now);
        vitals.record("disk.read", *sample.diskRead, now);
        vitals.record("disk.write", *sample.diskWrite, now);
    }
    if (sample.battery) vitals.record("battery", sample.battery->percent, now);
    if (sample.chipCelsius) vitals.record("chip", *sample.chipCelsius, now);
    if (sample.power) {
        if (sample.power->systemWatts) vitals.record("power", *sample.power->systemWatts, now);
        vitals.record("power.charging", sample.power->chargingWatts.value_or(0), now);
    }
    std::vector<Server> dev;
    for (const auto& server : servers)
        if (server.category == ServerCategory::dev) dev.push_back(server);
    if (!dev.empty() || !vitals.values("dev.memory").empty()) {
        auto footprint = DevFootprint::from(servers, memory.usedBytes, memory.totalBytes);
        double cpu = 0;
        for (const auto& server : dev) cpu += server.cpuPercent.value_or(0);
        vitals.record("dev.memory", static_cast<double>(footprint.devBytes()), now);
        vitals.record("dev.cpu", Text::roundTo(cpu, 1), now);
    }

    apps.record("samples", 1, now);
    for (const auto& app : sample.apps) {
        if (app.cpuPercent >= 1.0) apps.record("cpu:" + app.name, app.cpuPercent, now);
        if (app.gpuPercent >= 0.5) apps.record("gpu:" + app.name, app.gpuPercent, now);
    }
    apps.trim(now);
    int samples = apps.count("samples", averageWindow, now);
    double divisor = samples > 1 ? samples : 1;
    std::vector<AppUsage> averaged;
    averaged.reserve(sample.apps.size());
    for (const auto& app : sample.apps)
        averaged.push_back(
            app.with(Text::roundTo(apps.sum("cpu:" + app.name, averageWindow, now) / divisor, 1),
                     Text::roundTo(apps.sum("gpu:" + app.name, averageWindow, now) / divisor, 1)));

    if (sample.swapOutPerSecond) vitals.record("swap", *sample.swapOutPerSecond, now);
    if (sample.power && sample.power->systemWatts) vitals.record("watts", *sample.power->systemWatts, now);
    return averaged;
}

double VitalsRecorder::mean(const std::string& key, double over, Date now) const {
    return vitals.average(key, over, now).value_or(0);
}

}  // namespace tarvik
