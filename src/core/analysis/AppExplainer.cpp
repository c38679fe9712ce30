#include "core/analysis/AppExplainer.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/processes/ProcessRole.hpp"
#include "core/support/ProcessNames.hpp"
#include "core/support/Text.hpp"

namespace tarvik::AppExplainer {

namespace {

// What a rule explains; the name-shape fallbacks find their rule by it.
enum class Topic {
    tarvik,
    browser,
    fileSearch,
    kernel,
    compositor,
    backup,
    systemUpdate,
    videoCall,
    ide,
    compiler,
    script,
    docker,
    editor,
    graphics,
};

struct Rule {
    Topic topic;
    std::vector<std::string_view> names;  // lower case
    std::optional<std::string> title;     // absent: the application's own name
    std::string why;
    std::string advice;
    bool canQuit = false;
};

// First match wins. The Linux names sit beside the Mac names of the same situation.
const std::vector<Rule>& rules() {
    static const std::vector<Rule> table = {
        {Topic::tarvik,
         {"tarvik"},
         "Tarvik",
         "This is Tarvik measuring your computer. It does more while this panel is open and almost nothing "
         "once it's closed.",
         "",
         false},
        {Topic::browser,
         {"google chrome", "safari", "firefox", "arc", "microsoft edge", "brave browser", "opera", "vivaldi",
          "dia", "comet", "zen", "firefox-esr", "firefox esr", "chromium", "chromium-browser", "chrome",
          "brave", "microsoft-edge", "msedge"},
         std::nullopt,
         "A tab playing video, a busy web app, or a page full of ads usually causes this.",
         "Close tabs you aren't using, or quit the browser and open it again.",
         true},
        // "tracker" and "baloo" are the families the indexers' processes are grouped under.
        {Topic::fileSearch,
         {"spotlight", "mds", "mds_stores", "mdworker", "mdworker_shared", "corespotlightd", "mdbulkimport",
          "tracker", "baloo", "tracker-miner-fs-3", "tracker-extract-3", "localsearch-3",
          "localsearch-extractor-3", "baloo_file", "baloo_file_extractor"},
         "File search",
         "Your desktop is indexing your files so search can find them. This happens after a system "
         "update or when lots of files change.",
         "Nothing to do. It stops by itself when it's done.",
         false},
        // Linux's kernel threads are grouped as "Linux kernel"; a lone "[thread]" is matched apart.
        {Topic::kernel,
         {"kernel_task", "linux kernel"},
         // Linux's kernel threads do the disk, network and memory work other programs ask for; none
         // of them holds the processor back to cool it, as kernel_task does.
         "Linux kernel at work",
         "The kernel's own threads are moving data for disks, the network and memory on behalf of other "
         "apps. It's a sign of what they do, not the cause.",
         "Look at the next busiest app instead.",
         false},
        // The compositor or X server draws the screen on Linux; WindowServer is its own name on the Mac.
        {Topic::compositor,
         {"windowserver", "gnome-shell", "xorg", "xwayland", "kwin_wayland", "kwin_x11", "mutter"},
         std::nullopt,
         "It draws everything on your screens. Many open windows, external displays, or "
         "animations make it "
         "work harder.",
         "Close windows you aren't using, or turn off animations in your desktop's settings.",
         false},
        {Topic::backup,
         {"time machine", "backupd", "backupd-helper", "backups", "deja-dup", "duplicity", "timeshift",
          "borg", "restic"},
         "Backup",
         "A backup of your computer is running.",
         "Let it finish. It's quieter once the first backup is done.",
         false},
        // "unattended-upgr" is the kernel's 15-character cut of "unattended-upgrade".
        {Topic::systemUpdate,
         {"softwareupdated", "installd", "com.apple.mobilesoftwareupdate.updatebrainservice", "packagekitd",
          "apt", "apt-get", "dpkg", "unattended-upgr", "unattended-upgrade"},
         "Linux update",
         "Linux is downloading or preparing an update.",
         "Let it finish, or install the update when it's ready.",
         false},
        {Topic::videoCall,
         {"zoom.us", "microsoft teams", "teams", "facetime", "webex", "google meet", "discord", "zoom",
          "teams-for-linux"},
         std::nullopt,
         "Video calls encode your camera and screen nonstop, and background effects add more work.",
         "Turn off background blur or your camera when you don't need them.",
         true},
        {Topic::ide,
         {"xcode", "android studio", "intellij idea", "pycharm", "webstorm", "idea", "clion", "goland",
          "phpstorm", "rubymine", "rider", "rustrover"},
         std::nullopt,
         "It's building or indexing your code, which uses every core it can get.",
         "It cools down when the build or indexing finishes.",
         true},
        {Topic::compiler,
         {"swift-frontend",
          "clang",
          "swift-build",
          "rustc",
          "cargo",
          "go",
          "gradle",
          "javac",
          "tsc",
          "esbuild",
          "gcc",
          "g++",
          "cc",
          "c++",
          "cc1",
          "cc1plus",
          "collect2",
          "clang++",
          "ld",
          "ld.lld",
          "ld.gold",
          "mold"},
         std::nullopt,
         "Code is compiling, which uses every core it can get.",
         "It cools down when the build finishes.",
         false},
        // Debian's versioned interpreters ("python3.11") are matched apart.
        {Topic::script,
         {"node", "bun", "deno", "python", "python3", "ruby", "java", "php", "nodejs"},
         std::nullopt,
         "A script or dev server is running. Builds, file watchers, and loops can keep it busy.",
         "Stop it if you aren't using it.",
         true},
        {Topic::docker,
         {"docker", "docker desktop", "com.docker.backend", "com.docker.virtualization",
          "com.apple.virtualization.virtualmachine", "qemu-system-aarch64", "orbstack", "dockerd",
          "containerd"},
         "Docker",
         "Docker runs your containers. A busy container keeps it working.",
         "Stop containers you aren't using.",
         false},
        {Topic::editor,
         {"code", "visual studio code", "cursor", "windsurf", "zed", "code-oss", "code - oss", "codium",
          "vscodium"},
         std::nullopt,
         "Extensions, language servers, or a search across a big project can keep your editor busy.",
         "Close projects you aren't using, or turn off extensions you don't need.",
         true},
        {Topic::graphics,
         {"figma", "blender", "final cut pro", "adobe premiere pro", "davinci resolve", "adobe after effects",
          "adobe photoshop", "sketch", "cinema 4d", "gimp", "inkscape", "krita", "kdenlive", "resolve"},
         std::nullopt,
         "Rendering and editing graphics works both the processor and the graphics chip hard.",
         "Close files you aren't working on.",
         true},
    };
    return table;
}

const Rule* ruleAbout(Topic topic) {
    const auto& table = rules();
    auto found = std::ranges::find(table, topic, &Rule::topic);
    return found == table.end() ? nullptr : &*found;
}

const Rule* ruleFor(std::string_view lower) {
    const auto& table = rules();
    for (const Rule& rule : table)
        if (std::ranges::find(rule.names, lower) != rule.names.end()) return &rule;
    if (ProcessNames::isKernelThread(lower)) return ruleAbout(Topic::kernel);
    if (ProcessNames::isVersionedInterpreter(lower)) return ruleAbout(Topic::script);
    return nullptr;
}

// On Linux a host's own process can be named apart from its display name ("Terminal" runs as
// gnome-terminal-server, "Visual Studio Code" as code); it is the host, not a child it started.
bool isHostProcess(std::string_view lowerFileName) {
    static const std::unordered_set<std::string_view> names = {"gnome-terminal-server",
                                                               "kgx",
                                                               "ptyxis",
                                                               "konsole",
                                                               "xfce4-terminal",
                                                               "tilix",
                                                               "code",
                                                               "code-oss",
                                                               "codium",
                                                               "zed-editor"};
    return names.contains(lowerFileName);
}

// ", " and the role with its first letter lower-cased; empty for a process of no known role.
std::string rolePhrase(std::string_view fileName) {
    std::optional<std::string> role = ProcessRole::describe(fileName);
    if (!role || role->empty()) return "";
    if (role->front() >= 'A' && role->front() <= 'Z')
        role->front() = static_cast<char>(role->front() - 'A' + 'a');
    return ", " + *role;
}

std::optional<AppExplanation> hostExplanation(const AppUsage& app, std::string_view lower) {
    if (!hosts().contains(lower)) return std::nullopt;
    auto child = std::ranges::find_if(app.processes, [&](const ProcessRecord& process) {
        std::string fileName = Text::lowercased(process.name());
        return fileName != lower && !isHostProcess(fileName);
    });
    if (child == app.processes.end() || child->cpuPercent < 5) return std::nullopt;
    std::string_view fileName = child->name();
    return AppExplanation{app.name,
                          "Most of this is " + std::string(fileName) + rolePhrase(fileName) +
                              ", started from " + app.name + ".",
                          "It settles once that finishes. Stop it there if you don't need it.", true};
}

}  // namespace

const std::unordered_set<std::string_view>& hosts() {
    static const std::unordered_set<std::string_view> names = {
        "terminal", "iterm2", "iterm", "warp", "ghostty", "alacritty", "kitty", "wezterm", "hyper", "claude",
        "codex", "cursor", "visual studio code", "code", "zed", "xcode",
        // The same kinds of programs as Linux desktops name them.
        "gnome-terminal", "gnome-terminal-server", "console", "kgx", "ptyxis", "konsole", "xterm", "tilix",
        "xfce4-terminal", "foot", "code-oss", "code - oss", "codium", "vscodium"};
    return names;
}

AppExplanation explain(const AppUsage& app) {
    std::string lower = Text::lowercased(app.name);
    if (auto hosted = hostExplanation(app, lower)) return *hosted;

    // A script is known by its own name first ("unattended-upgrade" is an update whatever runs it),
    // then by its interpreter's.
    const Rule* rule = app.script.empty() ? ruleFor(lower) : ruleFor(Text::lowercased(app.script));
    if (!rule && !app.script.empty()) rule = ruleFor(Text::lowercased(app.interpreter));
    if (rule) return {rule->title.value_or(app.name), rule->why, rule->advice, rule->canQuit};

    if (app.isSystem)
        return {app.name, "This is part of Linux, doing background work.",
                "It usually settles down by itself. If it doesn't, restarting the computer helps.", false};

    std::string why = "It's one of the busiest apps right now.";
    if (app.processes.size() > 1 && app.processes.front().cpuPercent >= 1) {
        std::string_view fileName = app.processes.front().name();
        why = "Most of it is " + std::string(fileName) + rolePhrase(fileName) + ".";
    }
    return {app.name, std::move(why),
            "If you aren't using it, quitting it frees up the processor and memory.", true};
}

}  // namespace tarvik::AppExplainer
