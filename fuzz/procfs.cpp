#include <cmath>

#include "Input.hpp"
#include "core/platform/linux/ProcFs.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 10, choice, input)) return 0;
    switch (choice) {
        case 0:
            // comm lies between the parentheses, and twenty fields follow them.
            if (auto stat = ProcFs::parseStat(input)) fuzz::require(stat->comm.size() + 42 <= input.size());
            break;
        case 1:
            (void)ProcFs::parseStatm(input);
            break;
        case 2:
            if (auto memory = ProcFs::parseStatusMemory(input))
                fuzz::require(memory->resident % 1024 == 0 && memory->anonymous % 1024 == 0 &&
                              memory->shmem % 1024 == 0);
            break;
        case 3:
            (void)ProcFs::parseStatusUid(input);
            break;
        case 4:
            (void)ProcFs::parseSchedRuntime(input);
            break;
        case 5:
            if (auto uptime = ProcFs::parseUptime(input))
                fuzz::require(std::isfinite(*uptime) && *uptime >= 0);
            break;
        case 6:
            (void)ProcFs::parseIo(input);
            break;
        case 7:
            (void)ProcFs::socketInode(input);
            break;
        case 8: {
            auto argv = ProcFs::arguments(input);
            std::size_t bytes = 0;
            for (const auto& argument : argv) {
                fuzz::require(argument.find('\0') == std::string::npos);
                bytes += argument.size();
            }
            fuzz::require(bytes + (argv.empty() ? 0 : argv.size() - 1) <= input.size());
            break;
        }
        case 9: {
            auto line = ProcFs::commandLine(input);
            fuzz::require(fuzz::isUtf8(line));
            fuzz::require(line.find('\0') == std::string::npos);
            break;
        }
    }
    return 0;
}
