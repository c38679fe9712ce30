#include "core/servers/ServerClassifier.hpp"

#include <array>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik::ServerClassifier {

namespace {

struct Rule {
    std::vector<std::string_view> needles;  // lower-case substrings, tried in order
    ServerKind kind;
};

// First match wins, so frameworks stand before the runtimes that run them ("vite" before "node",
// "php artisan" before "php") and the bare language rules come after all of their frameworks.
const std::vector<Rule>& devRules() {
    using enum TintToken;
    static const std::vector<Rule> rules = {
        {{"vite"}, {"Vite", "lightning-fill", purple}},
        {{"next-server", "next dev", "/.bin/next", "next/dist"}, {"Next.js", "triangle-fill", slate}},
        {{"nuxt"}, {"Nuxt", "mountains-fill", emerald}},
        {{"astro"}, {"Astro", "sparkle", orange}},
        {{"remix"}, {"Remix", "music-note", blue}},
        {{"storybook"}, {"Storybook", "book-fill", pink}},
        {{"webpack"}, {"webpack", "package-fill", blue}},
        {{"react-scripts"}, {"React", "atom", teal}},
        {{"expo", "metro"}, {"Expo", "device-mobile", indigo}},
        {{"parcel"}, {"Parcel", "package-fill", amber}},
        {{"turbopack"}, {"Turbopack", "tornado", red}},
        {{"bun"}, {"Bun", "text-b-fill", amber}},
        {{"deno"}, {"Deno", "paw-print-fill", slate}},
        {{"electron"}, {"Electron", "atom", teal}},
        {{"node"}, {"Node", "hexagon-fill", green}},
        {{"uvicorn"}, {"Uvicorn", "wind", teal}},
        {{"gunicorn"}, {"Gunicorn", "wind", emerald}},
        {{"flask"}, {"Flask", "flask-fill", slate}},
        {{"manage.py runserver", "django"}, {"Django", "code-block-fill", emerald}},
        {{"jupyter"}, {"Jupyter", "circles-three-fill", orange}},
        {{"streamlit"}, {"Streamlit", "chart-bar-fill", red}},
        {{"python"}, {"Python", "code", blue}},
        {{"rails", "puma", "unicorn"}, {"Rails", "diamond-fill", red}},
        {{"php artisan", "artisan serve"}, {"Laravel", "flame-fill", red}},
        {{"php"}, {"PHP", "code", indigo}},
        {{"gradle", "java", "kotlin"}, {"Java", "coffee-fill", orange}},
        {{"cargo run", "cargo watch"}, {"Rust", "gear-six-fill", orange}},
        {{"postgres"}, {"PostgreSQL", "database-fill", blue}},
        {{"mysqld", "mariadb"}, {"MySQL", "database-fill", teal}},
        {{"redis-server", "redis"}, {"Redis", "stack-fill", red}},
        {{"mongod"}, {"MongoDB", "leaf-fill", green}},
        {{"clickhouse"}, {"ClickHouse", "database-fill", amber}},
        {{"elasticsearch"}, {"Elasticsearch", "magnifying-glass", amber}},
        {{"minio"}, {"MinIO", "archive-fill", red}},
        {{"com.docker", "docker-proxy", "vpnkit", "docker"}, {"Docker", "package-fill", blue}},
        {{"colima", "lima"}, {"Colima", "package-fill", teal}},
        {{"nginx"}, {"nginx", "hard-drives", emerald}},
        {{"caddy"}, {"Caddy", "shield-check-fill", green}},
        {{"httpd", "apache"}, {"Apache", "hard-drives", red}},
        {{"ngrok"}, {"ngrok", "arrow-circle-up-right-fill", indigo}},
        {{"cloudflared"}, {"Cloudflare Tunnel", "cloud-fill", orange}},
        {{"tailscaled"}, {"Tailscale", "share-network", slate}},
        {{"ollama"}, {"Ollama", "brain-fill", slate}},
        {{"lm-studio", "lmstudio"}, {"LM Studio", "brain-fill", purple}},
        {{"supabase"}, {"Supabase", "lightning-fill", emerald}},
        {{"firebase"}, {"Firebase", "flame-fill", amber}},
        {{"wrangler"}, {"Wrangler", "cloud-fill", orange}},
    };
    return rules;
}

// The operating system's own listeners, lower-case. The first block are the macOS daemons, the
// second their Linux counterparts: network plumbing, discovery, sharing and remote access that
// the desktop or the distribution starts, never a server the developer runs.
const std::unordered_set<std::string_view>& systemProcessNames() {
    static const std::unordered_set<std::string_view> names = {
        "rapportd",
        "controlcenter",
        "sharingd",
        "airplayxpchelper",
        "mdnsresponder",
        "launchd",
        "remoted",
        "identityservicesd",
        "remindd",
        "assistantd",
        "universalcontrol",
        "screensharingd",
        "smbd",
        "netbiosd",
        "cupsd",
        "bluetoothd",
        "commcenter",
        "wifid",
        "audiomxd",
        "remotepairingd",
        "replicatord",

        "init",
        "systemd",
        "systemd-resolved",
        "systemd-networkd",
        "systemd-timesyncd",
        "sshd",
        "avahi-daemon",
        "dnsmasq",
        "rpcbind",
        "rpc.statd",
        "rpc.mountd",
        "cups-browsed",
        "exim4",
        "chronyd",
        "ntpd",
        "networkmanager",
        "dhclient",
        "dhcpcd",
        "nmbd",
        "kdeconnectd",
        "winbindd",
        "wsdd",
        "wsdd2",
        "minissdpd",
        "xinetd",
        "inetd",
        "rsyslogd",
        "xrdp",
        "xrdp-sesman",
        "gnome-remote-desktop-daemon",
        "gsd-sharing",
        "vino-server",
        "krfb",
    };
    return names;
}

// Compared with the lower-cased command line. Linux keeps daemons under /usr/lib and /lib; /usr/bin
// is left out on purpose because the user's own tools live there too.
constexpr std::array<std::string_view, 6> systemPathPrefixes = {"/system/", "/usr/libexec/", "/usr/sbin/",
                                                                "/sbin/",   "/usr/lib/",     "/lib/"};

bool startsWithSystemPath(std::string_view lowerArgs) {
    for (std::string_view prefix : systemPathPrefixes)
        if (lowerArgs.starts_with(prefix)) return true;
    return false;
}

constexpr std::string_view systemSymbol = "gear-six-fill", userSymbol = "terminal-window-fill";

ServerKind plainKind(std::string_view processName, std::string_view symbol) {
    return {std::string(processName), std::string(symbol), TintToken::slate};
}

}  // namespace

std::optional<ServerKind> devKind(std::string_view text) {
    std::string lower = Text::lowercased(text);
    for (const Rule& rule : devRules())
        for (std::string_view needle : rule.needles)
            if (lower.find(needle) != std::string::npos) return rule.kind;
    return std::nullopt;
}

Classification classify(std::string_view processName, const std::optional<std::string>& args,
                        const std::optional<std::string>& cwd, std::string_view home) {
    Classification result;

    std::string matchText(processName);
    matchText += ' ';
    if (args) matchText += *args;
    std::string lowerArgs = args ? Text::lowercased(*args) : std::string();

    if (systemProcessNames().contains(Text::lowercased(processName))) {
        result.kind = plainKind(processName, systemSymbol);
        result.category = ServerCategory::system;
    } else if (auto kind = devKind(matchText)) {
        result.kind = std::move(*kind);
        result.category = ServerCategory::dev;
    } else if (args &&
               (startsWithSystemPath(lowerArgs) || lowerArgs.find(".app/contents/") != std::string::npos)) {
        result.kind = plainKind(processName, systemSymbol);
        result.category = ServerCategory::system;
    } else if (cwd && *cwd != "/" && Paths::isUserArea(*cwd, home)) {
        result.kind = plainKind(processName, userSymbol);
        result.category = ServerCategory::dev;
    } else {
        result.kind = plainKind(processName, systemSymbol);
        result.category = ServerCategory::system;
    }
    return result;
}

Server classify(const ListeningPort& port, const std::optional<std::string>& args,
                const std::optional<std::string>& cwd, std::optional<std::uint64_t> memoryBytes,
                std::optional<double> cpuPercent, std::optional<int> uptimeSeconds,
                const std::optional<std::string>& branch, const std::optional<std::string>& project,
                std::string_view home) {
    Classification classification = classify(port.command, args, cwd, home);
    Server server;
    server.pid = port.pid;
    server.port = port.port;
    server.address = port.address;
    server.addresses = port.addresses;
    server.processName = port.command;
    server.args = args;
    server.cwd = cwd;
    server.kind = std::move(classification.kind);
    server.category = classification.category;
    server.memoryBytes = memoryBytes;
    server.cpuPercent = cpuPercent;
    server.uptimeSeconds = uptimeSeconds;
    server.branch = branch;
    server.project = project;
    return server;
}

std::vector<std::string> symbols() {
    std::vector<std::string> all{std::string(systemSymbol), std::string(userSymbol)};
    for (const Rule& rule : devRules()) all.push_back(rule.kind.symbol);
    return all;
}

bool isProtectedSystemProcess(std::string_view name) {
    return systemProcessNames().contains(Text::lowercased(name));
}

}  // namespace tarvik::ServerClassifier
