#include "support/ProcStat.hpp"

#include <filesystem>
#include <iterator>
#include <sstream>

#include "support/TempDir.hpp"

namespace tarvik::test {

std::optional<ProcStat> procStat(pid_t pid) {
    std::string line = readFile("/proc/" + std::to_string(pid) + "/stat");
    // The command name may hold spaces and parentheses; the fields from the third, the state, start
    // after the last ')'. A gone process leaves no line, and so no fields.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    std::vector<std::string> field{std::istream_iterator<std::string>(rest), {}};
    if (field.size() < 20) return std::nullopt;
    // Fields 14 and 15 are the user and system time, 22 the start time.
    return ProcStat{field[0][0], std::stoull(field[11]) + std::stoull(field[12]), std::stoull(field[19])};
}

bool isRunning(pid_t pid) {
    auto stat = procStat(pid);
    return stat && stat->state != 'Z' && stat->state != 'X' && stat->state != 'x';
}

std::vector<pid_t> pidsRunning(const std::vector<std::string>& argv) {
    std::string cmdline;
    for (const auto& argument : argv) cmdline += argument + '\0';
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            readFile(entry.path() / "cmdline") == cmdline)
            pids.push_back(std::stoi(name));
    }
    return pids;
}

std::optional<std::uint64_t> statusKilobytes(pid_t pid, const std::string& key) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line.substr(line.find(':') + 1));
        std::uint64_t kilobytes = 0;
        std::string unit;
        if (line.starts_with(key + ":") && fields >> kilobytes >> unit && unit == "kB") return kilobytes;
    }
    return std::nullopt;
}

std::size_t threadCount() {
    std::error_code ignored;
    auto tasks = std::filesystem::directory_iterator("/proc/self/task", ignored);
    return static_cast<std::size_t>(std::distance(tasks, std::filesystem::directory_iterator()));
}

}  // namespace tarvik::test
