#include "core/processes/AppOwner.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "core/support/Text.hpp"

namespace tarvik {

namespace {

constexpr std::array<std::string_view, 5> systemPrefixes = {"/System/", "/usr/", "/sbin/", "/bin/",
                                                            "/Library/Apple/"};

bool startsWithSystemPrefix(std::string_view path) {
    for (std::string_view prefix : systemPrefixes)
        if (path.starts_with(prefix)) return true;
    return false;
}

// The owning bundle of a path: the text before the first ".app/" plus ".app", or the path itself
// when it names a bundle. The first ".app/" wins, so a nested bundle belongs to its outermost app.
std::optional<std::string> bundleOf(std::string_view path) {
    if (std::size_t marker = path.find(".app/"); marker != std::string_view::npos)
        return std::string(path.substr(0, marker)) + ".app";
    if (path.ends_with(".app")) return std::string(path);
    return std::nullopt;
}

std::string bundleName(std::string_view bundle) {
    std::string_view name = Text::lastPathComponent(bundle);
    name.remove_suffix(std::string_view(".app").size());  // every bundle from bundleOf ends so
    return std::string(name);
}

std::optional<AppOwner> familyOwner(std::string_view path) {
    const auto& families = AppOwner::families();
    auto found = families.find(Text::lastPathComponent(path));
    if (found == families.end()) return std::nullopt;
    return AppOwner{std::string(found->second), std::nullopt, true};
}

}  // namespace

const std::unordered_map<std::string_view, std::string_view>& AppOwner::families() {
    static const std::unordered_map<std::string_view, std::string_view> table = [] {
        struct Family {
            std::string_view name;
            std::vector<std::string_view> members;
        };
        const std::vector<Family> list = {
            {"Spotlight",
             {"mds", "mds_stores", "mdworker", "mdworker_shared", "corespotlightd", "mdbulkimport",
              "spotlightknowledged", "managedcorespotlightd", "Spotlight"}},
            {"Photos analysis", {"photoanalysisd", "mediaanalysisd", "photolibraryd"}},
            {"Time Machine", {"backupd", "backupd-helper"}},
            // The desktop search indexers of GNOME (Tracker, renamed LocalSearch) and KDE.
            {"Tracker",
             {"tracker-miner-fs-3", "tracker-extract-3", "tracker-miner-fs", "tracker-extract",
              "tracker-store", "localsearch-3", "localsearch-extractor-3"}},
            {"Baloo", {"baloo_file", "baloo_file_extractor", "baloorunner"}},
        };
        std::unordered_map<std::string_view, std::string_view> byMember;
        for (const Family& family : list)
            for (std::string_view member : family.members) byMember.emplace(member, family.name);
        return byMember;
    }();
    return table;
}

AppOwner AppOwner::resolve(std::string_view path, const std::optional<std::string>& responsiblePath) {
    if (auto family = familyOwner(path)) return *family;

    if (responsiblePath) {
        if (auto bundle = bundleOf(*responsiblePath)) return {bundleName(*bundle), bundle, false};
        // A process responsible for itself, or one a system launcher answers for, names no app.
        bool namesNoApp = *responsiblePath == path || startsWithSystemPrefix(*responsiblePath);
        if (!namesNoApp) return {std::string(Text::lastPathComponent(*responsiblePath)), std::nullopt, false};
    }

    if (auto bundle = bundleOf(path)) {
        bool isSystem = bundle->starts_with("/System/Library/");
        return {bundleName(*bundle), bundle, isSystem};
    }
    std::string base(Text::lastPathComponent(path));
    if (startsWithSystemPrefix(path)) return {std::move(base), std::nullopt, true};
    // A relative or placeholder path (not from the file system) is the system's own.
    return {std::move(base), std::nullopt, !path.starts_with("/")};
}

AppOwner AppOwner::kernel() {
    return {"Linux kernel", std::nullopt, true};
}

namespace AppOwnerResolution {

AppOwner resolve(std::string_view path, const std::optional<DesktopApp>& app,
                 std::optional<bool> systemService) {
    if (auto family = familyOwner(path)) return *family;
    if (app) return {app->name, app->entryPath, false};
    AppOwner owner = AppOwner::resolve(path, std::nullopt);
    if (systemService) owner.isSystem = *systemService;
    return owner;
}

bool isSystemWithoutServiceManager(const std::vector<std::string_view>& ancestors,
                                   std::optional<std::uint32_t> uid) {
    // Interactive shells only: sh and dash mostly run the system's own scripts (cron, hooks).
    static constexpr std::array<std::string_view, 38> sessions = {"bash",
                                                                  "zsh",
                                                                  "fish",
                                                                  "ksh",
                                                                  "mksh",
                                                                  "tcsh",
                                                                  "csh",
                                                                  "nu",
                                                                  "elvish",
                                                                  "xonsh",
                                                                  "tmux",
                                                                  "screen",
                                                                  "login",
                                                                  "gnome-terminal-server",
                                                                  "konsole",
                                                                  "xterm",
                                                                  "alacritty",
                                                                  "kitty",
                                                                  "wezterm-gui",
                                                                  "foot",
                                                                  "tilix",
                                                                  "terminator",
                                                                  "xfce4-terminal",
                                                                  "urxvt",
                                                                  "mate-terminal",
                                                                  "lxterminal",
                                                                  "ptyxis",
                                                                  "kgx",
                                                                  "code",
                                                                  "codium",
                                                                  "emacs",
                                                                  "vim",
                                                                  "nvim",
                                                                  "gnome-shell",
                                                                  "plasmashell",
                                                                  "gnome-session-binary",
                                                                  "xfce4-session",
                                                                  "startplasma-x11"};
    for (std::string_view ancestor : ancestors) {
        std::string_view name = Text::lastPathComponent(ancestor);
        if (std::find(sessions.begin(), sessions.end(), name) != sessions.end()) return false;
    }
    return !uid || *uid < 1000;
}

}  // namespace AppOwnerResolution

}  // namespace tarvik
