#pragma once

#include <vector>

#include "core/analysis/MetricHistory.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/processes/AppUsage.hpp"
#include "core/servers/Server.hpp"
#include "core/support/Date.hpp"

namespace tarvik {

// What each refresh writes into the value histories, and the app list averaged over the last ten
// minutes that the heat report and the diagnosis read. Kept in the core so that the app's store
// and the doctor command record exactly alike.
class VitalsRecorder {
public:
    static constexpr double vitalsWindow = 3600;  // seconds
    static constexpr double appWindow = 900;
    static constexpr double averageWindow = 600;  // the heat report's and diagnosis's view of the past

    ValueHistory vitals{vitalsWindow};
    ValueHistory apps{appWindow};

    // Records one sample and returns `vitals.apps` with CPU and GPU averaged over the last ten
    // minutes of samples (an app below 1 % CPU or 0.5 % GPU in a sample counts 0 there).
    std::vector<AppUsage> record(const SystemVitals& sample, const MemoryUsage& memory,
                                 const std::vector<Server>& servers, Date now);

    // The mean of a series over the last `over` seconds; 0 without data.
    [[nodiscard]] double mean(const std::string& key, double over, Date now) const;
};

}  // namespace tarvik
