#include "cli/NetCommand.hpp"
#include "cli/CliSupport.hpp"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <thread>

#include "core/support/ByteFormat.hpp"

namespace tarvik::cli {

std::string renderNet(const TrafficSample& sample, const Terminal& terminal) {
    const auto& rows = sample.rows;
    const auto& shortConnections = sample.shortConnections;
    std::string out;
    if (rows.empty() && shortConnections.count == 0) {
        out = "No process moved data over TCP during the second.\n";
    } else {
        // The window is one second, so the bytes of the second read as a rate; rates keep
        // kilobytes, where memory-style sizes would round most connections down to "0 MB".
        // The name goes last, as in top: the figures stay aligned and a long name is cut at the edge.
        std::vector<std::vector<std::string>> table{{"PID", "IN", "OUT", "PROCESS"}};
        for (const auto& row : rows)
            table.push_back({std::to_string(row.pid), ByteFormat::rate(static_cast<double>(row.bytesIn)),
                             ByteFormat::rate(static_cast<double>(row.bytesOut)),
                             row.name.empty() ? "?" : row.name});
        // Their processes had come and gone between the two readings: the bytes are shown all
        // the same, on a row of their own.
        if (shortConnections.count > 0)
            table.push_back(
                {"-", ByteFormat::rate(static_cast<double>(shortConnections.bytesIn)),
                 ByteFormat::rate(static_cast<double>(shortConnections.bytesOut)),
                 "Short connections (" + std::to_string(shortConnections.count) + ", process unknown)"});
        out = alignedTable(table, {true, true, true, false}, terminal.width);
    }
    if (!sample.closedCounted)
        out += std::string(
                   "Connections that opened and closed within the second are not counted: this system "
                   "does not report closed connections.") +
               "\n";
    return out;
}

nlohmann::ordered_json toJson(const TrafficSample& sample) {
    auto processes = nlohmann::ordered_json::array();
    for (const auto& row : sample.rows)
        processes.push_back({{"pid", row.pid},
                             {"name", textOrNull(row.name)},
                             {"bytesIn", row.bytesIn},
                             {"bytesOut", row.bytesOut},
                             {"total", row.total()}});
    const auto& shortConnections = sample.shortConnections;
    return {{"processes", std::move(processes)},
            {"shortConnections",
             {{"count", shortConnections.count},
              {"bytesIn", shortConnections.bytesIn},
              {"bytesOut", shortConnections.bytesOut}}},
            {"shortConnectionsCounted", sample.closedCounted}};
}

CLI::App* addNetCommand(CLI::App& app, NetOptions& options) {
    auto* net =
        app.add_subcommand("net", "Watch TCP traffic for a second and show the processes moving data");
    net->add_flag("--json", options.json, "Print the rows as JSON");
    return net;
}

int runNet(const NetOptions& options, std::ostream& out, std::ostream& err) {
    const bool progress = isatty(STDERR_FILENO) != 0;
    auto sample = NetworkUsage::watch([&] {
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
        printJson(out, toJson(sample));
    else
        out << renderNet(sample, Terminal::of(stdout));
    return 0;
}

}  // namespace tarvik::cli
