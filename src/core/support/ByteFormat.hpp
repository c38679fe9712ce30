#pragma once

#include <cstdint>
#include <string>

// The short texts every size and rate is shown with. Rounding is half away from zero; whole
// values print without decimals ("1 MB", "1.5 MB").
namespace tarvik::ByteFormat {

// Memory sizes in binary units labelled "MB" and "GB": 1 048 576 gives "1 MB".
[[nodiscard]] std::string short_(std::uint64_t bytes);

// Disk sizes in decimal units "KB", "MB", "GB", "TB": 1 500 000 000 gives "1.5 GB".
[[nodiscard]] std::string storage(std::uint64_t bytes);

// Throughput in binary units from bytes per second: "2 KB/s", "1.5 MB/s", "1.0 GB/s" (gigabytes
// always keep one decimal). Negative rates count as 0.
[[nodiscard]] std::string rate(double bytesPerSecond);

}  // namespace tarvik::ByteFormat
