#include "cli/VitalsCommand.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>

#include <unistd.h>

#include "core/support/Spawn.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

TEST(VitalsCommand, ReportsThisMachineAndSaysNaWhereItHasNoSensor) {
    auto jsonRun = Spawn::run(TARVIK_BINARY, {"vitals", "--json", "--interval", "0.2"});
    ASSERT_EQ(jsonRun.status, 0);
    auto vitals = json::parse(jsonRun.output);  // throws, failing the test, when it does not parse
    EXPECT_TRUE(vitals["cpu"]["busy"].is_number());
    EXPECT_EQ(vitals["cores"].size(), std::thread::hardware_concurrency());
    EXPECT_GT(vitals["memory"]["total"].get<std::uint64_t>(), vitals["memory"]["used"].get<std::uint64_t>());
    EXPECT_TRUE(vitals["networkIn"].is_number());
    EXPECT_TRUE(vitals["diskRead"].is_number());
    EXPECT_GT(vitals["disk"]["total"].get<std::uint64_t>(), 0u);
    EXPECT_FALSE(vitals["apps"].empty());

    auto textRun = Spawn::run(TARVIK_BINARY, {"vitals", "--interval", "0.2"});
    ASSERT_EQ(textRun.status, 0);
    // Whether the readable block has the row `name` with the value `value`.
    auto shows = [&](const std::string& name, const std::string& value) {
        return std::regex_search(textRun.output, std::regex("(^|\n)" + name + " +" + value + "\n"));
    };
    for (auto [name, member] : {std::pair{"GPU", "gpu"}, {"Battery", "battery"}, {"Chip", "chipCelsius"}}) {
        EXPECT_EQ(shows(name, "n/a"), vitals[member].is_null()) << name << ": " << textRun.output;
        EXPECT_FALSE(shows(name, "0")) << "an absent reading is never 0";
    }
    EXPECT_TRUE(shows("Memory", ".* used of .*")) << textRun.output;
    ASSERT_TRUE(vitals["pressure"].is_string()) << "the JSON carries the pressure the text shows";
    EXPECT_TRUE(shows("Pressure", vitals["pressure"].get<std::string>())) << textRun.output;
    EXPECT_NE(textRun.output.find("Busiest apps by memory"), std::string::npos);
}

// Pointed at a management library, the command shows each of its cards and gives the process the
// library sees working its share.
TEST(VitalsCommand, ShowsTheCardsOfTheNvidiaLibraryItIsPointedAt) {
    // The command with the library and the pid it reports busy in its environment.
    auto vitalsWith = [](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"TARVIK_NVML_LIBRARY=" FAKE_NVML,
                                             "FAKE_NVML_BUSY_PID=" + std::to_string(::getpid()),
                                             TARVIK_BINARY, "vitals", "--interval", "0.2"});
        return Spawn::run("/usr/bin/env", arguments, std::chrono::seconds(60));
    };
    auto jsonRun = vitalsWith({"--json"});
    ASSERT_EQ(jsonRun.status, 0);
    auto vitals = json::parse(jsonRun.output);
    ASSERT_EQ(vitals["gpus"].size(), 2u) << jsonRun.output;
    auto card = json::parse(R"({"name": "NVIDIA GeForce RTX 4070", "busyPercent": 85.0, "celsius": 61.0,
                                "watts": 150.25, "memoryTotalBytes": 12884901888})");
    for (const auto& [key, value] : card.items()) EXPECT_EQ(vitals["gpus"][0][key], value) << key;
    EXPECT_EQ(vitals["gpus"][1]["name"], "NVIDIA RTX A2000");
    EXPECT_GE(vitals["gpu"].get<double>(), 85.0) << "the busiest card leads";
    bool found = false;
    for (const auto& app : vitals["apps"])
        for (const auto& pid : app["pids"])
            if (pid == ::getpid()) {
                found = true;
                EXPECT_EQ(app["gpuPercent"], 37.0) << app.dump();
            }
    EXPECT_TRUE(found) << "this test's own process is among the apps";

    auto textRun = vitalsWith({});
    ASSERT_EQ(textRun.status, 0);
    EXPECT_NE(textRun.output.find("NVIDIA GeForce RTX 4070: 85% busy, memory 3 GB of 12 GB, 61 °C, "
                                  "150.2 W of 200.0 W, 2 processes\n"),
              std::string::npos)
        << "the test process works on card 0 beside 4242: " << textRun.output;
}

// Inside a limited cgroup the memory line and the record say whose limit the total is.
TEST(VitalsCommand, SaysWhenTheTotalIsACgroupLimit) {
    SystemVitals vitals;
    vitals.memory = MemoryBreakdown{};
    vitals.memory->total = 2u << 30;
    vitals.memory->app = 1u << 30;
    vitals.memory->available = 1u << 30;
    for (auto limitedBy :
         {std::optional<std::string>{}, std::optional<std::string>{"/system.slice/foo.service"}}) {
        vitals.memoryLimitedBy = limitedBy;
        auto text = cli::renderVitals(vitals, MemoryPressure::normal, cli::Terminal{});
        const std::string said =
            "1 GB used of 2 GB (the memory limit of this cgroup, /system.slice/foo.service):";
        EXPECT_EQ(text.find(said) != std::string::npos, limitedBy.has_value()) << text;
        EXPECT_NE(text.find("1 GB used of 2 GB"), std::string::npos) << text;
        auto record = cli::toJson(vitals, MemoryPressure::normal);
        EXPECT_EQ(record["memory"]["total"], 2u << 30);
        if (limitedBy)
            EXPECT_EQ(record["memory"]["limitedBy"], *limitedBy);
        else
            EXPECT_TRUE(record["memory"]["limitedBy"].is_null());
    }
}

}  // namespace
}  // namespace tarvik
