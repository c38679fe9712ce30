#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The sentences that say what stopping servers frees.
namespace tarvik::FreedCopy {

// "a", "a and b", "a, b and c"; empty for none.
[[nodiscard]] std::string listed(const std::vector<std::string>& items);

// "no ports", "port 3000", "ports 3000, 5173 and 8080" (sorted).
[[nodiscard]] std::string ports(std::vector<int> ports);

// "Stopping them frees 1.2 GB and ports 3000 and 5173." (`count` 1 says "it"; no bytes, no size).
[[nodiscard]] std::string stopping(std::uint64_t bytes, const std::vector<int>& ports, int count);

// "512 MB and port 5173 are free.", or without bytes (absent or 0) "Port 5173 is free."
[[nodiscard]] std::string free(std::optional<std::uint64_t> bytes, const std::vector<int>& ports);

// "Vite stopped. 512 MB and port 5173 are free.", or without bytes "Vite stopped. Port 5173 is free."
[[nodiscard]] std::string stopped(const std::string& name, std::optional<std::uint64_t> bytes,
                                  const std::vector<int>& ports);

}  // namespace tarvik::FreedCopy
