#pragma once

#include <QString>
#include <array>
#include <string_view>

#include "core/servers/ServerKind.hpp"

namespace tarvik::ui {

// The pages of the dashboard window, in rail order.
enum class DashboardSection { overview, cpu, memory, gpu, disk, network, battery, heat, projects, settings };

namespace DashboardSections {
inline constexpr std::array all{
    DashboardSection::overview, DashboardSection::cpu,     DashboardSection::memory,  DashboardSection::gpu,
    DashboardSection::disk,     DashboardSection::network, DashboardSection::battery, DashboardSection::heat,
    DashboardSection::projects, DashboardSection::settings};
// "overview", "cpu", ...: how a section is named on the command line.
[[nodiscard]] std::string_view rawValue(DashboardSection section);
// The title and what the page is for, in one line, as written in the source; the texts to show are
// `titleText` and `purposeText`, translated.
[[nodiscard]] std::string_view title(DashboardSection section);
[[nodiscard]] std::string_view purpose(DashboardSection section);
[[nodiscard]] QString titleText(DashboardSection section);
[[nodiscard]] QString purposeText(DashboardSection section);
// The symbol the rail and the strip show for the section ("gauge", "cpu", ...).
[[nodiscard]] std::string_view symbol(DashboardSection section);
[[nodiscard]] TintToken tint(DashboardSection section);
}  // namespace DashboardSections

}  // namespace tarvik::ui
