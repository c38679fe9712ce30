#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "support/TempDir.hpp"

namespace tarvik::test {

// A process as a fake /proc tree holds it. Times are in clock ticks, memory in pages.
struct FakeProcess {
    std::int32_t pid = 0;
    std::int32_t ppid = 1;
    std::string comm = "proc";
    std::optional<std::string> exe;  // the exe link's target; nullopt leaves no link (unreadable)
    std::string cmdline;             // NUL-separated, as the kernel gives it
    std::uint64_t userTicks = 0;
    std::uint64_t systemTicks = 0;
    std::uint64_t startTicks = 1000;
    std::uint64_t residentPages = 0;
    std::uint64_t sharedPages = 0;  // file pages and shared memory, the resident pages that are not anonymous
    std::uint64_t shmemPages = 0;   // of which shared memory
    bool kernelThread = false;
    std::optional<std::string> cgroup;  // /proc/PID/cgroup content
    std::optional<std::uint32_t> uid;   // the status file's real user id; none leaves the line out
    std::int64_t threads = 1;
    // The children file of each of its threads, by thread id; none leaves them out, as a kernel
    // without them does.
    std::map<std::int32_t, std::string> children;
};

// Builds /proc trees in a temporary folder, following proc(5)'s formats.
class FakeProc {
public:
    FakeProc() = default;
    [[nodiscard]] std::string root() const { return m_dir.path().string(); }
    void add(const FakeProcess& process) const;
    void remove(std::int32_t pid) const;

private:
    TempDir m_dir;
};

}  // namespace tarvik::test
