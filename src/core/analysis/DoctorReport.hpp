#pragma once

#include <vector>

#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/HeatReport.hpp"
#include "core/analysis/VitalsRecorder.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/processes/AppUsage.hpp"
#include "core/support/Date.hpp"

namespace tarvik {

// The newest sample as the doctor reads it.
struct DoctorSample {
    SystemVitals vitals;
    std::vector<AppUsage> apps;  // what VitalsRecorder::record returned for `vitals`
    MemoryPressure pressure = MemoryPressure::normal;
};

// How hot the machine is and why, and what else stands out, from the samples a VitalsRecorder
// holds: CPU and GPU as their ten-minute means, swap as its one-minute mean, the apps as the
// recorder averaged them, and the readings from the newest sample.
struct DoctorReport {
    static constexpr double swapWindow = 60;  // seconds

    DiagnosisInputs inputs;  // what the findings were drawn from; `inputs.heat` is the heat report
    std::vector<Finding> findings;

    bool operator==(const DoctorReport&) const = default;

    [[nodiscard]] const HeatReport& heat() const { return inputs.heat; }

    [[nodiscard]] static DoctorReport assemble(const VitalsRecorder& recorder, const DoctorSample& latest,
                                               Date now);
    [[nodiscard]] static DoctorReport assemble(const VitalsRecorder& recorder, const SystemVitals& vitals,
                                               const std::vector<AppUsage>& apps, MemoryPressure pressure,
                                               Date now);
};

}  // namespace tarvik
