#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Input.hpp"
#include "core/platform/linux/MachineStats.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 7, choice, input)) return 0;
    switch (choice) {
        case 0:
            // A core takes a "cpuN" line of its own.
            if (auto stat = MachineStats::parseCpuStat(input))
                fuzz::require(stat->cores.size() <= input.size() / 12);
            break;
        case 1:
            for (const auto& [key, value] : MachineStats::parseMeminfo(input))
                fuzz::require(key.size() < input.size());
            break;
        case 2:
            (void)MachineStats::parseVmstat(input, "pswpout");
            break;
        case 3:
            if (auto pressure = MachineStats::parsePressure(input))
                fuzz::require(std::isfinite(pressure->some) && std::isfinite(pressure->full));
            break;
        case 4:
            (void)MachineStats::parseNetDev(input);
            break;
        case 5:
            (void)MachineStats::parseDiskstats(input, {"sda", "nvme0n1", "vda"});
            break;
        case 6:
            if (auto cores = MachineStats::parseCpuList(input)) {
                for (int core : *cores) fuzz::require(core >= 0);
            }
            break;
    }
    return 0;
}
