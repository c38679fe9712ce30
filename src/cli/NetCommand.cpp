#include "cli/NetCommand.hpp"
#include "cli/CliSupport.hpp"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <thread>

#include "core/support/ByteFormat.hpp"
#include "core/support/Words.hpp"

namespace tarvik::cli {

std::string renderNet(const std::vector<ProcessTraffic>& rows, const Terminal& terminal) {
    if (rows.empty()) return Words::text("No process moved data over TCP during the second.") + "\n";
    // The window is one second, so the bytes of the second read as a rate; rates keep kilobytes,
    // where memory-style sizes would round most connections down to "0 MB".
    // The name goes last, as in top: the figures stay aligned and a long name is cut at the edge.
    std::vector<std::vector<std::string>> table{{"PID", "IN", "OUT", "PROCESS"}};
    for (const auto& row : rows)
        table.push_back({std::to_string(row.pid), ByteFormat::rate(static_cast<double>(row.bytesIn)),
                         ByteFormat::rate(static_cast<double>(row.bytesOut)),
                         row.name.empty() ? "?" : row.name});
    return alignedTable(table, {true, true, true, false}, terminal.width);
}

nlohmann::ordered_json toJson(const std::vector<ProcessTraffic>& rows) {
    auto json = nlohmann::ordered_json::array();
    for (const auto& row : rows)
        json.push_back({{"pid", row.pid},
                        {"name", textOrNull(row.name)},
                        {"bytesIn", row.bytesIn},
                        {"bytesOut", row.bytesOut},
                        {"total", row.total()}});
    return json;
}

CLI::App* addNetCommand(CLI::App& app, NetOptions& options) {
    auto* net =
        app.add_subcommand("net", "Watch TCP traffic for a second and show the processes moving data");
    net->add_flag("--json", options.json, "Print the rows as JSON");
    return net;
}

int runNet(const NetOptions& options, std::ostream& out, std::ostream& err) {
    const bool progress = isatty(STDERR_FILENO) != 0;
    auto rows = NetworkUsage::sample([&] {
        // A second of silence looks like a hang; a line that grows shows that it is watching.
        constexpr int steps = 4;
        if (progress) err << "Watching the network" << std::flush;
        for (int step = 0; step < steps; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000 / steps));
            if (progress) err << '.' << std::flush;
        }
        if (progress) err << "\r\x1b[K" << std::flush;
    });
    if (options.json)
        printJson(out, toJson(rows));
    else
        out << renderNet(rows, Terminal::of(stdout));
    return 0;
}

}  // namespace tarvik::cli
