#include "core/analysis/DoctorReport.hpp"

namespace tarvik {

DoctorReport DoctorReport::assemble(const VitalsRecorder& recorder, const DoctorSample& latest, Date now) {
    return assemble(recorder, latest.vitals, latest.apps, latest.pressure, now);
}

DoctorReport DoctorReport::assemble(const VitalsRecorder& recorder, const SystemVitals& vitals,
                                    const std::vector<AppUsage>& apps, MemoryPressure pressure, Date now) {
    const double cpu = recorder.mean("cpu", VitalsRecorder::averageWindow, now);
    const double gpu = recorder.mean("gpu", VitalsRecorder::averageWindow, now);
    const auto power = vitals.power.value_or(PowerTelemetry{});
    DoctorReport report;
    DiagnosisInputs& inputs = report.inputs;
    HeatInputs heat{
        vitals.thermal, vitals.chipCelsius, power.systemWatts, power.chargingWatts, cpu, gpu, apps};
    inputs.heat = HeatReport::diagnose(heat);
    inputs.pressure = pressure;
    inputs.swapOutPerSecond = recorder.mean("swap", swapWindow, now);
    inputs.systemCPU = cpu;
    inputs.gpu = gpu;
    inputs.gpuName = GpuDevices::nameOf(vitals.gpus, vitals.gpu);
    inputs.disk = vitals.disk;
    inputs.onBattery = vitals.battery && !vitals.battery->onPower;
    inputs.systemWatts = power.systemWatts;
    inputs.apps = std::move(heat.apps);
    inputs.compressedBytes = vitals.memory ? vitals.memory->compressed : 0;
    inputs.memoryUsed = vitals.memory ? vitals.memory->used() : 0;
    inputs.memoryTotal = vitals.memory ? vitals.memory->total : 0;
    inputs.memoryLimitedBy = vitals.memoryLimitedBy;
    report.findings = Diagnosis::evaluate(inputs);
    return report;
}

}  // namespace tarvik
