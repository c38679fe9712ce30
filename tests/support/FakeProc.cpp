#include "support/FakeProc.hpp"

#include <unistd.h>

#include <filesystem>
#include <string>

namespace tarvik::test {

namespace {
const std::uint64_t pageKB = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) / 1024;
}  // namespace

void FakeProc::add(const FakeProcess& p) const {
    std::string folder = std::to_string(p.pid);
    std::uint64_t flags = p.kernelThread ? 0x00208040u : 0x00400100u;
    std::string stat = std::to_string(p.pid) + " (" + p.comm + ") S " + std::to_string(p.ppid) +
                       " 1 1 0 -1 " + std::to_string(flags) + " 0 0 0 0 " + std::to_string(p.userTicks) +
                       " " + std::to_string(p.systemTicks) + " 0 0 20 0 1 0 " + std::to_string(p.startTicks) +
                       " 1000 " + std::to_string(p.residentPages) +
                       " 0 0 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n";
    remove(p.pid);
    m_dir.write(folder + "/stat", stat);
    m_dir.write(folder + "/statm", std::to_string(p.residentPages + 100) + " " +
                                       std::to_string(p.residentPages) + " " + std::to_string(p.sharedPages) +
                                       " 1 0 50 0\n");
    std::string status = "Name:\t" + p.comm + "\nUmask:\t0022\nState:\tS (sleeping)\n";
    if (p.uid) status += "Uid:\t" + std::to_string(*p.uid) + "\t" + std::to_string(*p.uid) + "\t0\t0\n";
    if (!p.kernelThread) {
        auto kB = [&](std::uint64_t pages) { return std::to_string(pages * pageKB) + " kB\n"; };
        status += "VmRSS:\t" + kB(p.residentPages) + "RssAnon:\t" + kB(p.residentPages - p.sharedPages) +
                  "RssFile:\t" + kB(p.sharedPages - p.shmemPages) + "RssShmem:\t" + kB(p.shmemPages);
    }
    m_dir.write(folder + "/status", status + "Threads:\t1\n");
    m_dir.write(folder + "/cmdline", p.cmdline);
    if (p.exe) m_dir.link(folder + "/exe", *p.exe);
    if (p.cgroup) m_dir.write(folder + "/cgroup", *p.cgroup);
}

void FakeProc::remove(std::int32_t pid) const {
    std::filesystem::remove_all(m_dir.path() / std::to_string(pid));
}

}  // namespace tarvik::test
