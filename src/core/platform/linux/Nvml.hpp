#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/machine/GpuDevices.hpp"

namespace tarvik {

// NVIDIA's cards through NVIDIA's management library, opened at run time and never linked: a
// machine without the driver has no library and gets no cards. The library is opened and
// initialised on the first `read`, once; a library that is missing, lacks the entry points to
// count and find cards, or fails to initialise gives no cards from then on. An entry point
// missing from an older library, or a query a card answers with an error, leaves that one
// reading absent. Every reason goes to the debug log. Thread-safe: calls serialise on one lock.
class NvmlReader {
public:
    static constexpr const char* fileName = "libnvidia-ml.so.1";

    // `library`: a folder holding libnvidia-ml.so.1, the path of the library itself, or empty for
    // the dynamic loader's own search.
    explicit NvmlReader(std::string library = {});
    ~NvmlReader();
    NvmlReader(const NvmlReader&) = delete;
    NvmlReader& operator=(const NvmlReader&) = delete;

    // Every card in the library's order. A process's busy percent is its latest utilisation
    // sample newer than the newest this reader saw on that card before, so the first read after a
    // quiet spell may show none; a process without a new sample is at 0.
    [[nodiscard]] std::vector<GpuDevice> read();
    // Shuts the library down and closes it; `read` gives no cards afterwards.
    void shutdown();

private:
    struct Api;
    bool start();  // under the lock
    GpuDevice readDevice(unsigned index, void* device);

    std::mutex m_mutex;
    std::string m_library;
    bool m_tried = false;
    bool m_stopped = false;
    void* m_handle = nullptr;
    std::unique_ptr<Api> m_api;
    std::vector<unsigned long long> m_lastSample;  // per card, microseconds
};

}  // namespace tarvik
