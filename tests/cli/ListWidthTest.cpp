#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/ListCommand.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// The terminal's columns of a line as it shows it: colour codes take none.
std::size_t shownWidth(const std::string& line) {
    static const std::regex colour("\x1b\\[[0-9;]*m");
    return Unicode::displayWidth(std::regex_replace(line, colour, ""));
}

// Long and hostile names: control characters (each shown as a visible escape, several columns),
// wide characters, a folder and a command far wider than any terminal.
std::vector<Server> hostileServers() {
    Server vite;
    vite.pid = 4211, vite.port = 5173, vite.address = "127.0.0.1";
    vite.addresses = {"127.0.0.1", "::", "fe80::1234:5678:9abc:def0"};
    vite.processName = "node";
    vite.kind = {"Vite\x1b]0;owned\x07\tserver", "bolt", TintToken::purple};
    vite.category = ServerCategory::dev;
    vite.project = "項目項目項目項目\n項目項目項目項目項目項目項目";
    vite.branch = "feature/" + std::string(80, 'b');
    vite.cwd = "/srv/" + std::string(120, 'd') + "/\x1b[2J";
    vite.args = "node " + std::string(200, 'a') + " \x1b[31mred\r\n 漢字漢字漢字";
    vite.memoryBytes = 52'428'800, vite.cpuPercent = 102.54, vite.uptimeSeconds = 370'000;
    Server second = vite;
    second.port = 5174;
    Server other = vite;
    other.pid = 77, other.port = 3000, other.branch = "main", other.kind.name = std::string(60, 'K');
    Server hidden;
    hidden.port = 22, hidden.address = "*", hidden.user = "root";
    hidden.kind = {"Hidden listener", "eye-slash", TintToken::slate};
    std::vector<Server> servers{vite, second, other, hidden};
    for (int i = 0; i < 12; ++i) {
        Server many = other;
        many.port = 4000 + 2 * i;  // twelve ports, none consecutive
        servers.push_back(many);
    }
    return servers;
}

// At every width no line of the table is wider than the terminal, and what was cut says so.
TEST(ListCommand, EveryLineFitsTheTerminalWidth) {
    const auto servers = hostileServers();
    const cli::ProbeOutcomes health{{servers[0].id(), HTTPProbe::Http{200, 3}}};
    for (int width : {40, 60, 80, 120}) {
        for (bool colour : {false, true}) {
            SCOPED_TRACE("width " + std::to_string(width) + (colour ? ", in colour" : ""));
            auto lines = linesOf(cli::renderServerTable(servers, true, {colour, width}, &health));
            ASSERT_GT(lines.size(), 4u);
            for (const auto& line : lines)
                EXPECT_LE(shownWidth(line), static_cast<std::size_t>(width)) << line;
            EXPECT_TRUE(lines[0].find("KIND") != std::string::npos &&
                        lines[0].find("PORTS") != std::string::npos)
                << "the kind and the ports stay: " << lines[0];
            bool cut = std::ranges::any_of(
                lines, [](const std::string& line) { return line.find("…") != std::string::npos; });
            EXPECT_TRUE(cut) << "every width here is too narrow for the long names";
            for (const auto& line : lines)
                EXPECT_EQ(line.find('\x1b' + std::string("]")), std::string::npos)
                    << "no escape reaches the terminal";
        }
    }
    // Without a width nothing is cut.
    auto full = cli::renderServerTable(servers, true, {false, std::nullopt});
    EXPECT_NE(full.find(std::string(200, 'a')), std::string::npos);
}

// The line below the table breaks at spaces to the width and loses no word.
TEST(ListCommand, TheFootprintLineWrapsToTheWidth) {
    DevFootprint footprint;
    footprint.serversBytes = 1'200'000'000, footprint.containersBytes = 300'000'000;
    footprint.otherBytes = 7'000'000'000, footprint.usedBytes = 8'500'000'000;
    const std::string line = cli::footprintLine(footprint);
    for (int width : {20, 40, 60}) {
        SCOPED_TRACE(width);
        auto lines = linesOf(cli::wrapped(line, width));
        EXPECT_GT(lines.size(), 1u);
        std::string joined;
        for (const auto& piece : lines) {
            EXPECT_LE(Unicode::displayWidth(piece), static_cast<std::size_t>(width)) << piece;
            joined += (joined.empty() ? "" : " ") + piece;
        }
        EXPECT_EQ(joined, line);
    }
    EXPECT_EQ(cli::wrapped(line, std::nullopt), line + "\n");
}

}  // namespace
}  // namespace tarvik
