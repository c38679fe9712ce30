#include "core/processes/ProcessRole.hpp"

#include <vector>

#include "core/support/ProcessNames.hpp"

namespace tarvik::ProcessRole {

namespace {

enum class Match { suffix, exact };

struct Row {
    Match match;
    std::vector<std::string_view> names;
    std::string_view text;
};

bool matches(const Row& row, std::string_view name) {
    for (std::string_view candidate : row.names) {
        if (row.match == Match::suffix ? name.ends_with(candidate) : name == candidate) return true;
    }
    return false;
}

// First match wins; only the suffix rows at the top can overlap with later rows.
const std::vector<Row>& rows() {
    using enum Match;
    static const std::vector<Row> table = {
        {suffix, {"Helper (Renderer)"}, "A tab or extension"},
        {suffix, {"Helper (GPU)"}, "Draws the app's graphics"},
        {suffix, {"Helper (Plugin)"}, "An extension or plug-in"},
        {suffix, {"Helper"}, "Background helper"},
        {exact, {"clang", "clang++", "cc", "ld"}, "Compiling code"},
        {exact, {"node", "bun", "deno"}, "A JavaScript program or dev server"},
        {exact, {"python", "python3", "ruby", "java", "php"}, "A script or server"},
        {exact, {"zsh", "bash", "fish", "sh", "login"}, "A terminal shell"},
        {exact, {"git"}, "Git"},
        {exact, {"claude"}, "Claude Code, an AI coding agent"},
        {exact, {"codex"}, "Codex, an AI coding agent"},
        {exact, {"ps", "top", "lsof"}, "Reading the process list"},
        {exact, {"tarvik"}, "Tarvik, measuring your computer"},
        {exact,
         {"gnome-shell", "Xorg", "Xwayland", "kwin_x11", "kwin_wayland", "mutter"},
         "Draws everything on screen"},
        {exact,
         {"tracker-miner-fs-3", "tracker-extract-3", "tracker-miner-fs", "tracker-extract", "localsearch-3",
          "localsearch-extractor-3", "baloo_file", "baloo_file_extractor"},
         "Updating the search index"},
        // "unattended-upgr" is the kernel's 15-character cut of "unattended-upgrade".
        {exact,
         {"packagekitd", "apt", "apt-get", "dpkg", "unattended-upgr", "unattended-upgrade", "dnf", "rpm",
          "zypper", "pacman"},
         "Updating the system"},
        {exact,
         {"gcc", "g++", "c++", "cc1", "cc1plus", "collect2", "rustc", "ld.lld", "ld.gold", "ld.bfd", "mold"},
         "Compiling code"},
        {exact, {"nodejs"}, "A JavaScript program or dev server"},
    };
    return table;
}

}  // namespace

std::optional<std::string> describe(std::string_view name) {
    for (const Row& row : rows())
        if (matches(row, name)) return std::string(row.text);
    if (ProcessNames::isVersionedInterpreter(name)) return "A script or server";
    if (ProcessNames::isKernelThread(name)) return "Part of the Linux kernel";
    return std::nullopt;
}

}  // namespace tarvik::ProcessRole
