#include "support/FakeProc.hpp"

#include <unistd.h>

#include <filesystem>

namespace tarvik::test {

void FakeProc::add(const FakeProcess& p) const {
    std::string folder = std::to_string(p.pid) + "/";
    std::uint64_t flags = p.kernelThread ? 0x00208040u : 0x00400100u;
    remove(p.pid);
    m_dir.write(folder + "stat",
                std::to_string(p.pid) + " (" + p.comm + ") S " + std::to_string(p.ppid) + " 1 1 0 -1 " +
                    std::to_string(flags) + " 0 0 0 0 " + std::to_string(p.userTicks) + " " +
                    std::to_string(p.systemTicks) + " 0 0 20 0 " + std::to_string(p.threads) + " 0 " +
                    std::to_string(p.startTicks) + " 1000 " + std::to_string(p.residentPages) +
                    " 0 0 0 0 0 0 0 0 0 0 0 0 17 0 0 0 0 0 0\n");
    std::string status = "Name:\t" + p.comm + "\nState:\tS (sleeping)\n";
    if (p.uid) status += "Uid:\t" + std::to_string(*p.uid) + "\t" + std::to_string(*p.uid) + "\t0\t0\n";
    const std::uint64_t pageKB = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) / 1024;
    auto kB = [&](std::uint64_t pages) { return std::to_string(pages * pageKB) + " kB\n"; };
    if (!p.kernelThread)
        status += "VmRSS:\t" + kB(p.residentPages) + "RssAnon:\t" + kB(p.residentPages - p.sharedPages) +
                  "RssShmem:\t" + kB(p.shmemPages);
    m_dir.write(folder + "status", status);
    m_dir.write(folder + "cmdline", p.cmdline);
    if (p.exe) m_dir.link(folder + "exe", *p.exe);
    if (p.cgroup) m_dir.write(folder + "cgroup", *p.cgroup);
    for (const auto& [thread, children] : p.children)
        m_dir.write(folder + "task/" + std::to_string(thread) + "/children", children);
}

void FakeProc::remove(std::int32_t pid) const {
    std::filesystem::remove_all(m_dir.path() / std::to_string(pid));
}

}  // namespace tarvik::test
