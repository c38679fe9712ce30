#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "core/machine/GpuDevices.hpp"

// How `tarvik vitals` shows one graphics card.
namespace tarvik::cli {

// "NVIDIA GeForce RTX 4070: 85% busy, memory 3 GB of 12 GB, 61 °C, 150.2 W of 200.0 W, 2
// processes"; each reading the card did not give is left out, the name shown as the terminal
// can safely print it ("Graphics card" when it gave none).
[[nodiscard]] std::string gpuCardText(const GpuDevice& card);

// Every reading under its member name, absent ones null, with the card's processes.
[[nodiscard]] nlohmann::ordered_json gpuCardJson(const GpuDevice& card);

}  // namespace tarvik::cli
