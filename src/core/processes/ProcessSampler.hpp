#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/processes/AppOwner.hpp"
#include "core/processes/ProcessSource.hpp"
#include "core/processes/ProcessTree.hpp"
#include "core/processes/RateTracker.hpp"
#include "core/support/Date.hpp"

namespace tarvik {

// One process in a snapshot.
struct ProcessRecord {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;  // 0 when unknown
    std::string path;       // never empty; "[name]" for kernel threads
    AppOwner owner;
    double cpuPercent = 0;          // since the previous sample, percent of one core, one decimal
    std::uint64_t memoryBytes = 0;  // private resident memory
    std::uint64_t startTicks = 0;   // the platform's start stamp (clock ticks since boot); 0: unknown
    // What an interpreter runs, as InterpreterScript reads it ("serve.py", "http.server"); empty for
    // any other process and for an interpreter that names no script.
    std::string script;

    [[nodiscard]] std::int32_t id() const { return pid; }
    // The last path component: what the user sees.
    [[nodiscard]] std::string_view name() const;
    bool operator==(const ProcessRecord&) const = default;
};

// One consistent picture of every process.
struct ProcessSnapshot {
    std::vector<ProcessRecord> records;  // ascending pid
    Date at;                             // when sampling began

    // Records by pid; on a duplicate pid the first record is kept.
    [[nodiscard]] std::unordered_map<std::int32_t, const ProcessRecord*> byPid() const;
    // The records as process-table rows: rssKB = memoryBytes / 1024, no start time.
    [[nodiscard]] std::vector<ProcessRow> rows() const;
};

// Samples every process; one instance lives as long as its owner and is shared by its callers.
class ProcessSampler {
public:
    // Where the readings come from. The platform's readers keep open files and per-process memory
    // between reads, owned by these sources; tests script readings or read a fixture tree.
    struct Sources {
        // Every readable process, ascending by pid; processes that vanish while being read are
        // left out. Called under the sampler's lock.
        std::function<std::vector<ProcessReading>()> read;

        // Makes whole a record that a names-only read left short: its path and memory as a full
        // read gives them (a process gone since keeps what it has). Set by such sources only.
        std::function<void(ProcessRecord&)> complete;

        // The readings of the given processes and of all their descendants, ascending by pid, for
        // a caller that shows a few processes' trees and no other process; nullopt where the
        // platform cannot list a process's children. Optional.
        std::function<std::optional<std::vector<ProcessReading>>(const std::vector<std::int32_t>&)> trees;

        // The live process table. Without `applications` the desktop application of each process
        // is not looked up (a one-shot listing needs no owners); without `repeated` (a caller that
        // reads once) no files are kept open for the next read. With `namesOnly` each process is
        // read from its stat file alone: its path is the kernel's short name (unless that may be
        // cut short) and its memory 0, for a caller that needs few of them whole (`complete`).
        [[nodiscard]] static Sources live(bool applications = true, bool repeated = true,
                                          bool namesOnly = false);
        // A process table at `root` (a fixture tree), desktop entries looked up in `applicationDirs`.
        [[nodiscard]] static Sources at(const std::string& root, std::vector<std::string> applicationDirs);
    };

    explicit ProcessSampler(Sources sources = Sources::live());

    // One full picture. CPU is a rate since the previous call (0 on a pid's first sighting).
    // Thread-safe: concurrent calls serialise and never interleave their rate updates.
    ProcessSnapshot sample();
    ProcessSnapshot sample(Date now);
    // The picture of the given processes' trees alone (see Sources::trees); nullopt where the
    // sources cannot read them. Rates carry on as in `sample`, but no other process is forgotten.
    std::optional<ProcessSnapshot> sampleTrees(const std::vector<std::int32_t>& pids);
    std::optional<ProcessSnapshot> sampleTrees(const std::vector<std::int32_t>& pids, Date now);

private:
    // Called under the lock. `whole`: the readings are every process, and those not among them
    // are forgotten.
    ProcessSnapshot snapshotOf(std::vector<ProcessReading> readings, Date now, bool whole);

    Sources m_sources;
    std::mutex m_mutex;  // guards m_rates and m_startTimes, and the sources while they read
    RateTracker m_rates;
    std::unordered_map<std::int32_t, std::uint64_t> m_startTimes;
};

}  // namespace tarvik
