#include <gtest/gtest.h>

#include "core/platform/linux/Sensors.hpp"
#include "core/support/Text.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

// Writes lines "FOLDER: NAME=VALUE | NAME=VALUE" below `base`; each value ends in a newline, as
// sysfs attributes do, which the readers must not take for part of the value.
void write(const test::TempDir& dir, const std::string& base, std::string_view tree) {
    for (std::string_view line : Text::lines(tree)) {
        std::size_t colon = line.find(": ");
        std::string folder = base + std::string(Text::trim(line.substr(0, colon))) + "/";
        for (std::string_view file : Text::split(line.substr(colon + 2), '|')) {
            file = Text::trim(file);
            std::size_t equals = file.find('=');
            dir.write(folder + std::string(file.substr(0, equals)),
                      std::string(file.substr(equals + 1)) + "\n");
        }
    }
}

}  // namespace

TEST(SensorsLinux, batteryAndPowerFromThePowerSupplies) {
    const std::tuple<const char*, const char*, BatteryAndPower> cases[] = {
        {"laptop on battery, energy-reporting",
         R"(AC: type=Mains | online=0
BAT0: type=Battery | status=Discharging | capacity=87 | energy_now=43500000 | energy_full=50000000
BAT0: energy_full_design=57000000 | power_now=12600000 | voltage_now=12000000 | cycle_count=142)",
         {BatteryStatus{87, false, false, 207, 12.6, 88, 142}, PowerTelemetry{12.6, {}, {}}}},
        {"laptop charging over USB-C, charge-reporting, behind an empty bay and a mouse",
         R"(BAT0: type=Battery | present=0
hid-c0:ff:ee:00:00:01-battery: type=Battery | scope=Device | capacity=20
sbs-9-000b: type=Battery | status=Charging | charge_now=2000000 | charge_full=4000000
sbs-9-000b: charge_full_design=5000000 | current_now=1500000 | voltage_now=12600000
ucsi-source-psy-USBC000:001: type=USB | online=1 | power_now=45000000)",
         {BatteryStatus{50, true, true, 80, 18.9, 80, {}}, PowerTelemetry{{}, 45.0, 18.9}}},
        {"desktop", "", {}},
        {"a garbled charge past what any battery holds",
         "BAT0: type=Battery | status=Discharging | energy_now=9000000000000000000 | energy_full=50000000",
         {}},
        {"a garbled draw past what any battery gives",
         "BAT0: type=Battery | status=Discharging | capacity=50 | power_now=9000000000000000000 | "
         "voltage_now=1",
         {BatteryStatus{50, false, false, {}, {}, {}, {}}, {}}},
    };
    for (const auto& [what, supplies, expected] : cases) {
        test::TempDir dir;
        write(dir, "class/power_supply/", supplies);
        EXPECT_EQ(SystemSensors::batteryAndPower(dir.path(), std::nullopt), expected) << what;
    }
}

TEST(SensorsLinux, readsTheRaplPackageCounterAndUsesItsDrawAsTheSystemLoadOnTheMains) {
    test::TempDir dir;
    EXPECT_EQ(SystemSensors::packageEnergy(dir.path()), std::nullopt) << "no powercap zone";
    write(dir, "class/",
          "power_supply/AC: type=Mains | online=1\npowercap/intel-rapl:0: energy_uj=262000000000");
    EXPECT_EQ(SystemSensors::packageEnergy(dir.path()), (SystemSensors::EnergyCounter{262'000'000'000, {}}));
    write(dir, "class/", "powercap/intel-rapl:0: max_energy_range_uj=262143328850");
    EXPECT_EQ(SystemSensors::packageEnergy(dir.path()),
              (SystemSensors::EnergyCounter{262'000'000'000, 262'143'328'850}));
    EXPECT_EQ(SystemSensors::batteryAndPower(dir.path(), 15'000.0),
              (BatteryAndPower{{}, PowerTelemetry{15.0}}));
    EXPECT_EQ(SystemSensors::batteryAndPower(dir.path(), std::nullopt), BatteryAndPower{});
}

TEST(SensorsLinux, chipTemperatureIsTheHottestHwmonDieSensorElseThermalZone) {
    using Readings = std::vector<TemperatureReading>;
    const std::tuple<const char*, const char*, Readings, std::optional<double>> cases[] = {
        {"Intel",
         R"(hwmon/hwmon1: name=coretemp | temp1_label=Package id 0 | temp1_input=61000
hwmon/hwmon1: temp2_label=Core 0 | temp2_input=70000
thermal/thermal_zone0: type=x86_pkg_temp | temp=99000)",
         {{"coretemp Package id 0", 61}, {"coretemp Core 0", 70}, {"x86_pkg_temp", 99}},
         61},
        {"thermal zones only",
         R"(hwmon/hwmon0: name=acpitz | temp1_input=40000
thermal/thermal_zone0: type=acpitz | temp=40000
thermal/thermal_zone1: type=x86_pkg_temp | temp=66000)",
         {{"acpitz temp1", 40}, {"acpitz", 40}, {"x86_pkg_temp", 66}},
         66},
        {"no sensors", "", {}, std::nullopt},
    };
    for (const auto& [what, tree, readings, celsius] : cases) {
        SCOPED_TRACE(what);
        test::TempDir dir;
        write(dir, "class/", tree);
        EXPECT_EQ(ChipTemperature::readings(dir.path()), readings);
        EXPECT_EQ(ChipTemperature::current(dir.path()), celsius);
    }
}

TEST(SensorsLinux, thermalStateOfTheHottestZoneAgainstItsTripPoints) {
    // x86_pkg_temp lists passive trips at 0 until something sets them.
    const std::string trips =
        "trip_point_0_type=passive | trip_point_0_temp=0 | trip_point_1_type=passive | "
        "trip_point_1_temp=70000 | trip_point_2_type=critical | trip_point_2_temp=100000";
    using enum ThermalLevel;
    const std::pair<std::string, ThermalLevel> cases[] = {
        {"", nominal},
        {"thermal_zone0: temp=64999 | " + trips, nominal},
        {"thermal_zone0: temp=65000 | " + trips, fair},
        {"thermal_zone0: temp=70000 | " + trips, serious},
        {"thermal_zone0: temp=95000 | trip_point_0_type=hot | trip_point_0_temp=95000", critical},
        {"thermal_zone0: temp=50000 | trip_point_0_type=passive | trip_point_0_temp=0", nominal},
        {"thermal_zone0: temp=30000 | " + trips + "\nthermal_zone1: temp=100000 | " + trips, critical},
    };
    for (const auto& [zones, level] : cases) {
        test::TempDir dir;
        write(dir, "class/thermal/", zones);
        EXPECT_EQ(SystemSensors::thermal(dir.path()), level) << zones;
    }
}

TEST(SensorsLinux, gpuUtilizationAndTimePerProcessFromDrm) {
    test::TempDir dir;
    write(dir, "sys/class/drm/",
          "card0/device: gpu_busy_percent=37\ncard0-DP-1: status=connected\n"
          "card1/device: vendor=0x8086\ncard2/device: gpu_busy_percent=12");
    EXPECT_EQ(SystemSensors::gpuUtilization(dir / "sys"), 37.0);

    auto fdinfo = [](int client, std::string engines) {
        return "pos:\t0\nflags:\t02100002\ndrm-driver:\tamdgpu\ndrm-pdev:\t0000:03:00.0\ndrm-client-id:\t" +
               std::to_string(client) + "\n" + engines +
               "drm-engine-capacity-gfx:\t2\ndrm-memory-vram:\t1024 KiB\n";
    };
    const std::string shared = fdinfo(7, "drm-engine-gfx:\t1000 ns\ndrm-engine-compute:\t200 ns\n");
    const std::tuple<const char*, const char*, const char*, std::string> descriptors[] = {
        {"100", "3", "/dev/dri/renderD128", shared},
        {"100", "4", "/dev/dri/renderD128", shared},  // a duplicate of the same client
        {"100", "5", "/dev/dri/card0", fdinfo(8, "drm-engine-gfx:\t30 ns\n")},
        {"100", "6", "/home/me/notes.txt", fdinfo(9, "drm-engine-gfx:\t999999 ns\n")},
        {"200", "3", "/dev/dri/renderD128", fdinfo(7, "drm-engine-gfx:\t5000 ns\n")},
        {"300", "0", "/dev/null", "pos:\t0\nflags:\t0100002\n"},
    };
    for (const auto& [pid, fd, target, info] : descriptors) {
        dir.link("proc/" + std::string(pid) + "/fd/" + fd, target);
        dir.write("proc/" + std::string(pid) + "/fdinfo/" + fd, info);
    }
    EXPECT_EQ(GPUUsage::accumulatedTime(dir / "proc"),
              (std::unordered_map<std::int32_t, std::uint64_t>{{100, 1230}, {200, 5000}}));
}

}  // namespace tarvik
