#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/StorageScanner.hpp"

namespace tarvik::StorageScanner {

// The Spotlight path of the macOS backend: `mdfind` for the candidates, one `mdls` for their
// attributes.
[[nodiscard]] std::vector<StorageItem> largeFilesFromSpotlight(const std::string& home, std::uint64_t minimum,
                                                               std::size_t limit);

// Items from `mdls -raw` output (date and size pieces per path, NUL-separated), largest first.
[[nodiscard]] std::vector<StorageItem> parseLargeFiles(const std::vector<std::string>& paths,
                                                       std::string_view mdls, const std::string& home);

// An mdls date ("2024-03-01 10:20:30 +0000"); nullopt for the null marker or anything else.
[[nodiscard]] std::optional<Date> parseMdlsDate(std::string_view text);

}  // namespace tarvik::StorageScanner
