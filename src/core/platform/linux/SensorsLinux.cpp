#include "core/platform/linux/Sensors.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <unordered_set>

#include "core/platform/linux/ProcFs.hpp"
#include "core/support/Text.hpp"

// File formats: the kernel's Documentation/ABI/testing/sysfs-class-power, hwmon/sysfs-interface,
// driver-api/thermal/sysfs-api, power/powercap/powercap and gpu/drm-usage-stats.
namespace tarvik {

namespace {

// A sysfs attribute: one value and a newline.
std::optional<std::string> readLine(const std::string& path) {
    auto text = Files::read(path);
    if (!text) return std::nullopt;
    std::string_view line = *text;
    return std::string(Text::trim(line.substr(0, line.find('\n'))));
}

std::optional<std::int64_t> readInteger(const std::string& path) {
    auto line = readLine(path);
    return line ? Text::parseInt64(*line) : std::nullopt;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "hwmon2" before "hwmon10", so that the first battery is BAT0 and readings keep sensor order.
bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA])) ++endA;
            while (endB < b.size() && isDigit(b[endB])) ++endB;
            std::string_view x = a.substr(i, endA - i), y = b.substr(j, endB - j);
            if (x.size() != y.size()) return x.size() < y.size();
            if (x != y) return x < y;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// The names in a folder in natural order, without "." and "..".
std::vector<std::string> entries(const std::string& folder) {
    auto names = Files::entries(folder);
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

// "card0" but not the connector "card0-DP-1".
bool isNumbered(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), isDigit);
}

// The N of a file named PREFIX N SUFFIX ("temp3_input"), as text.
std::optional<std::string_view> fileIndex(std::string_view name, std::string_view prefix,
                                          std::string_view suffix) {
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    std::string_view index = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (index.empty() || !std::all_of(index.begin(), index.end(), isDigit)) return std::nullopt;
    return index;
}

std::optional<std::uint64_t> drmTimeOfProcess(const std::string& folder) {
    DIR* dir = ::opendir((folder + "fd").c_str());
    if (!dir) return std::nullopt;  // gone, or another user's process
    std::optional<std::uint64_t> total;
    std::unordered_set<std::string> clients;
    char target[64];
    while (const dirent* entry = ::readdir(dir)) {
        ssize_t length = ::readlinkat(::dirfd(dir), entry->d_name, target, sizeof target);
        if (length <= 0) continue;  // "." and ".."
        std::string_view path(target, static_cast<std::size_t>(length));
        // Only GPU descriptors carry engine times; reading every fdinfo would cost a file per descriptor.
        if (!path.starts_with("/dev/dri/") && !path.starts_with("/dev/accel/")) continue;
        auto text = Files::read(folder + "fdinfo/" + entry->d_name);
        auto client = text ? GPUUsage::parseFdinfo(*text) : std::nullopt;
        if (!client) continue;
        // A duplicated or inherited descriptor shows the same client, whose time must count once.
        if (!client->id.empty() && !clients.insert(client->id).second) continue;
        total = total.value_or(0) + client->nanoseconds;
    }
    ::closedir(dir);
    return total;
}

std::vector<TemperatureReading> hwmonReadings(const std::string& sysRoot) {
    std::vector<TemperatureReading> readings;
    std::string base = sysRoot + "/class/hwmon/";
    for (const auto& chip : entries(base)) {
        if (!isNumbered(chip, "hwmon")) continue;
        std::string folder = base + chip + "/";
        auto chipName = readLine(folder + "name");
        if (!chipName) continue;
        for (const auto& file : entries(folder)) {
            auto index = fileIndex(file, "temp", "_input");
            if (!index) continue;
            auto millidegrees = readInteger(folder + file);
            if (!millidegrees) continue;
            auto label = readLine(folder + "temp" + std::string(*index) + "_label");
            std::string sensor = label && !label->empty() ? *label : "temp" + std::string(*index);
            readings.push_back({*chipName + " " + sensor, static_cast<double>(*millidegrees) / 1000});
        }
    }
    return readings;
}

std::vector<std::string> thermalZones(const std::string& sysRoot) {
    std::vector<std::string> zones;
    std::string base = sysRoot + "/class/thermal/";
    for (const auto& zone : entries(base))
        if (isNumbered(zone, "thermal_zone")) zones.push_back(base + zone + "/");
    return zones;
}

std::vector<TemperatureReading> zoneReadings(const std::string& sysRoot) {
    std::vector<TemperatureReading> readings;
    for (const auto& folder : thermalZones(sysRoot)) {
        auto type = readLine(folder + "type");
        auto millidegrees = readInteger(folder + "temp");
        if (type && millidegrees) readings.push_back({*type, static_cast<double>(*millidegrees) / 1000});
    }
    return readings;
}

ThermalLevel zoneLevel(const std::string& folder) {
    auto temperature = readInteger(folder + "temp");
    if (!temperature) return ThermalLevel::nominal;
    std::optional<std::int64_t> passive, critical;
    auto lower = [](std::optional<std::int64_t>& lowest, std::int64_t value) {
        lowest = lowest ? std::min(*lowest, value) : value;
    };
    for (const auto& file : entries(folder)) {
        auto index = fileIndex(file, "trip_point_", "_type");
        if (!index) continue;
        auto type = readLine(folder + file);
        auto trip = readInteger(folder + "trip_point_" + std::string(*index) + "_temp");
        // Drivers list trips they have not set at 0 (x86_pkg_temp) or below.
        if (!type || !trip || *trip <= 0) continue;
        if (*type == "passive") lower(passive, *trip);
        if (*type == "critical" || *type == "hot") lower(critical, *trip);
    }
    if (critical && *temperature >= *critical) return ThermalLevel::critical;
    if (passive && *temperature >= *passive) return ThermalLevel::serious;
    if (passive && *temperature >= *passive - 5000) return ThermalLevel::fair;
    return ThermalLevel::nominal;
}

}  // namespace

namespace SystemSensors {

std::optional<double> gpuUtilization(const std::string& sysRoot) {
    std::optional<double> busiest;
    std::string base = sysRoot + "/class/drm/";
    for (const auto& card : entries(base)) {
        if (!isNumbered(card, "card")) continue;
        auto line = readLine(base + card + "/device/gpu_busy_percent");
        auto percent = line ? Text::parseDouble(*line) : std::nullopt;
        if (percent && (!busiest || *percent > *busiest)) busiest = percent;
    }
    return busiest;
}

namespace {

// The battery's readings under the battery service's keys and units.
void addBattery(const std::string& folder, bool sourceOnline, Registry& registry, Registry& telemetry) {
    // No battery holds, draws or stands at anything near 2^40 µWh, µW, µA or µV (a megawatt-hour):
    // a reading past it is garbled, and leaving it out keeps the arithmetic below inside 64 bits.
    constexpr std::int64_t plausible = std::int64_t{1} << 40;
    auto read = [&](const char* file) -> std::optional<std::int64_t> {
        auto value = readInteger(folder + file);
        if (value && (*value > plausible || *value < -plausible)) return std::nullopt;
        return value;
    };
    std::string status = readLine(folder + "status").value_or("");
    bool charging = status == "Charging";
    // "Not charging" is a battery held below full by a charge limit, which needs external power.
    bool onPower = sourceOnline || charging || status == "Not charging";
    // Energy-reporting batteries give µWh and µW, charge-reporting ones µAh and µA; voltages are µV.
    auto energyNow = read("energy_now"), energyFull = read("energy_full"),
         energyDesign = read("energy_full_design");
    auto chargeNow = read("charge_now"), chargeFull = read("charge_full"),
         chargeDesign = read("charge_full_design");
    auto powerNow = read("power_now"), currentNow = read("current_now"), voltage = read("voltage_now");

    std::optional<double> microwatts, microamperes;
    if (powerNow) microwatts = std::abs(static_cast<double>(*powerNow));
    if (currentNow) microamperes = std::abs(static_cast<double>(*currentNow));
    if (!microwatts && microamperes && voltage)
        microwatts = *microamperes * static_cast<double>(*voltage) / 1e6;
    if (!microamperes && microwatts && voltage && *voltage > 0)
        microamperes = *microwatts / static_cast<double>(*voltage) * 1e6;

    auto percent = read("capacity");
    if (!percent && energyNow && energyFull && *energyFull > 0) percent = *energyNow * 100 / *energyFull;
    if (!percent && chargeNow && chargeFull && *chargeFull > 0) percent = *chargeNow * 100 / *chargeFull;
    if (percent) registry["CurrentCapacity"] = *percent;
    registry["IsCharging"] = charging;
    registry["ExternalConnected"] = onPower;

    // Minutes to full or to empty: the driver's own estimate in seconds, else stored over flowing
    // energy (or charge).
    auto estimate = read(charging ? "time_to_full_now" : "time_to_empty_now");
    std::optional<std::int64_t> minutes;
    if (estimate) minutes = *estimate / 60;
    auto remaining = [&](std::optional<std::int64_t> now, std::optional<std::int64_t> full,
                         std::optional<double> flow) -> std::optional<std::int64_t> {
        if (!now || !full || !flow || *flow <= 0) return std::nullopt;
        double stored = static_cast<double>(charging ? *full - *now : *now);
        double span = stored / *flow * 60;
        // A trickle of a flow gives minutes past what a 64-bit count holds.
        if (!(std::abs(span) < 0x1p62)) return std::nullopt;
        return static_cast<std::int64_t>(std::lround(span));
    };
    if (!minutes && (charging || status == "Discharging"))
        minutes = energyNow ? remaining(energyNow, energyFull, microwatts)
                            : remaining(chargeNow, chargeFull, microamperes);
    if (minutes) registry[charging ? "AvgTimeToFull" : "AvgTimeToEmpty"] = *minutes;

    if (voltage && microamperes) {
        registry["Voltage"] = static_cast<std::int64_t>(std::lround(static_cast<double>(*voltage) / 1000));
        // Negative while discharging, as the battery service reports it.
        std::int64_t milliamperes = std::lround(*microamperes / 1000);
        registry["InstantAmperage"] = charging ? milliamperes : -milliamperes;
    }
    auto full = energyFull ? energyFull : chargeFull;
    auto design = energyFull ? energyDesign : chargeDesign;
    if (full && design) {
        registry["NominalChargeCapacity"] = *full / 1000;
        registry["DesignCapacity"] = *design / 1000;
    }
    if (auto cycles = read("cycle_count")) registry["CycleCount"] = *cycles;

    if (microwatts) {
        if (charging) telemetry["BatteryPower"] = *microwatts / 1000;
        // Off the mains the battery feeds the whole machine, so its output is the system load.
        if (!onPower) telemetry["SystemLoad"] = *microwatts / 1000;
    }
}

}  // namespace

Registry batteryRegistry(const std::string& sysRoot, std::optional<double> packageMilliwatts) {
    std::string base = sysRoot + "/class/power_supply/";
    std::optional<std::string> batteryFolder;
    bool sourceOnline = false;
    double adapterMilliwatts = 0;
    for (const auto& supply : entries(base)) {
        std::string folder = base + supply + "/";
        std::string type = readLine(folder + "type").value_or("");
        if (type == "Battery") {
            // Mice and headsets report batteries of scope "Device"; an empty bay reports present 0.
            if (batteryFolder || readLine(folder + "scope") == "Device" ||
                readInteger(folder + "present") == 0)
                continue;
            batteryFolder = folder;
        } else if (type != "UPS" && readInteger(folder + "online").value_or(0) > 0) {
            sourceOnline = true;
            if (auto microwatts = readInteger(folder + "power_now"); microwatts && *microwatts > 0)
                adapterMilliwatts += static_cast<double>(*microwatts) / 1000;
        }
    }
    Registry registry;
    Registry telemetry;
    if (batteryFolder) addBattery(*batteryFolder, sourceOnline, registry, telemetry);
    if (!telemetry.contains("SystemLoad") && packageMilliwatts) telemetry["SystemLoad"] = *packageMilliwatts;
    if (adapterMilliwatts > 0) telemetry["SystemPowerIn"] = adapterMilliwatts;
    if (!telemetry.empty())
        registry["PowerTelemetryData"] = std::make_shared<const Registry>(std::move(telemetry));
    return registry;
}

std::optional<EnergyCounter> packageEnergy(const std::string& sysRoot) {
    std::string zone = sysRoot + "/class/powercap/intel-rapl:0/";
    auto energy = readInteger(zone + "energy_uj");
    if (!energy || *energy < 0) return std::nullopt;
    EnergyCounter counter{static_cast<std::uint64_t>(*energy), std::nullopt};
    if (auto range = readInteger(zone + "max_energy_range_uj"); range && *range > 0)
        counter.wrapsAt = static_cast<std::uint64_t>(*range);
    return counter;
}

BatteryAndPower batteryAndPower(const std::string& sysRoot, std::optional<double> packageMilliwatts) {
    Registry registry = batteryRegistry(sysRoot, packageMilliwatts);
    return {BatteryStatus::fromRegistry(registry), PowerTelemetry::fromRegistry(registry)};
}

std::optional<BatteryStatus> battery(const std::string& sysRoot) {
    return BatteryStatus::fromRegistry(batteryRegistry(sysRoot, std::nullopt));
}

ThermalLevel thermal(const std::string& sysRoot) {
    ThermalLevel hottest = ThermalLevel::nominal;
    for (const auto& folder : thermalZones(sysRoot)) hottest = std::max(hottest, zoneLevel(folder));
    return hottest;
}

}  // namespace SystemSensors

namespace GPUUsage {

std::optional<DrmClient> parseFdinfo(std::string_view fdinfo) {
    DrmClient client;
    std::string_view pdev, clientId;
    bool hasEngines = false;
    for (std::string_view line : Text::lines(fdinfo)) {
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view key = line.substr(0, colon);
        std::string_view value = Text::trim(line.substr(colon + 1));
        if (key == "drm-client-id") {
            clientId = value;
        } else if (key == "drm-pdev") {
            pdev = value;
        } else if (key.starts_with("drm-engine-") && value.ends_with(" ns")) {
            // drm-engine-capacity-NAME shares the prefix but counts engines, without a unit.
            auto nanoseconds = Text::parseUInt64(Text::trim(value.substr(0, value.size() - 3)));
            if (!nanoseconds) continue;
            client.nanoseconds += *nanoseconds;
            hasEngines = true;
        }
    }
    if (!hasEngines) return std::nullopt;
    // Client ids may be unique per device only, in which case the device is named beside them.
    if (!clientId.empty()) client.id = std::string(pdev) + " " + std::string(clientId);
    return client;
}

std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(const std::string& procRoot) {
    std::unordered_map<std::int32_t, std::uint64_t> times;
    for (std::int32_t pid : ProcRoot(procRoot).pids()) {
        if (auto time = drmTimeOfProcess(procRoot + "/" + std::to_string(pid) + "/")) times[pid] = *time;
    }
    return times;
}

std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(const std::string& procRoot,
                                                                const std::vector<std::int32_t>& pids) {
    std::unordered_map<std::int32_t, std::uint64_t> times;
    for (std::int32_t pid : pids)
        if (auto time = drmTimeOfProcess(procRoot + "/" + std::to_string(pid) + "/")) times[pid] = *time;
    return times;
}

}  // namespace GPUUsage

namespace ChipTemperature {

std::vector<TemperatureReading> readings(const std::string& sysRoot) {
    auto all = hwmonReadings(sysRoot);
    auto zones = zoneReadings(sysRoot);
    all.insert(all.end(), zones.begin(), zones.end());
    return all;
}

std::optional<double> current(const std::string& sysRoot) {
    if (auto die = summarize(hwmonReadings(sysRoot))) return die;
    return summarize(zoneReadings(sysRoot));
}

}  // namespace ChipTemperature

// The live trees.

namespace SystemSensors {

std::optional<double> gpuUtilization() {
    return gpuUtilization("/sys");
}

std::optional<EnergyCounter> packageEnergy() {
    return packageEnergy("/sys");
}

BatteryAndPower batteryAndPower(std::optional<double> packageMilliwatts) {
    return batteryAndPower("/sys", packageMilliwatts);
}

std::optional<BatteryStatus> battery() {
    return battery("/sys");
}

ThermalLevel thermal() {
    return thermal("/sys");
}

}  // namespace SystemSensors

namespace GPUUsage {

std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime() {
    // Without a GPU device node no process can hold one, and the walk is skipped outright.
    if (::access("/dev/dri", F_OK) != 0 && ::access("/dev/accel", F_OK) != 0) return {};
    return accumulatedTime("/proc");
}

std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(const std::vector<std::int32_t>& pids) {
    return accumulatedTime("/proc", pids);
}

}  // namespace GPUUsage

namespace ChipTemperature {
std::vector<TemperatureReading> readings() {
    return readings("/sys");
}
std::optional<double> current() {
    return current("/sys");
}
}  // namespace ChipTemperature

}  // namespace tarvik
