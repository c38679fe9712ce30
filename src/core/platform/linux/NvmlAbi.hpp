#pragma once

// The few parts of NVIDIA's management library (NVML) that Tarvik calls, declared here because
// the library's header ships with CUDA, not with the driver. The layouts are the C ABI of nvml.h:
// the unversioned nvmlDeviceGet*RunningProcesses entry points keep taking the first, two-field
// process record for old callers, which is why those and not their _v2/_v3 successors are used.
namespace tarvik::nvml {

using Device = struct DeviceRecord*;  // opaque nvmlDevice_t
using Return = int;                   // nvmlReturn_t

inline constexpr Return success = 0;
inline constexpr Return errorNotSupported = 3;
inline constexpr Return errorNotFound = 6;
inline constexpr Return errorInsufficientSize = 7;
inline constexpr int temperatureGpu = 0;  // NVML_TEMPERATURE_GPU
// usedGpuMemory when the driver cannot tell (NVML_VALUE_NOT_AVAILABLE).
inline constexpr unsigned long long valueNotAvailable = ~0ULL;
inline constexpr unsigned nameSize = 96;  // NVML_DEVICE_NAME_V2_BUFFER_SIZE

struct Utilization {
    unsigned gpu;     // percent of the last sample period a kernel ran
    unsigned memory;  // percent of it memory was read or written
};

struct Memory {
    unsigned long long total;  // bytes
    unsigned long long free;
    unsigned long long used;
};

struct ProcessInfoV1 {
    unsigned pid;
    unsigned long long usedGpuMemory;  // bytes
};
static_assert(sizeof(ProcessInfoV1) == 16);

struct ProcessSample {
    unsigned pid;
    unsigned long long timeStamp;  // microseconds
    unsigned smUtil;               // percent
    unsigned memUtil;
    unsigned encUtil;
    unsigned decUtil;
};
static_assert(sizeof(ProcessSample) == 32);

extern "C" {
using InitFn = Return (*)();
using ShutdownFn = Return (*)();
using CountFn = Return (*)(unsigned*);
using HandleFn = Return (*)(unsigned, Device*);
using NameFn = Return (*)(Device, char*, unsigned);
using UtilizationFn = Return (*)(Device, Utilization*);
using MemoryFn = Return (*)(Device, Memory*);
using TemperatureFn = Return (*)(Device, int, unsigned*);
using MilliwattsFn = Return (*)(Device, unsigned*);
using ProcessesFn = Return (*)(Device, unsigned*, ProcessInfoV1*);
using SamplesFn = Return (*)(Device, ProcessSample*, unsigned*, unsigned long long);
}

}  // namespace tarvik::nvml
