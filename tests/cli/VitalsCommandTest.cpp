#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "core/support/Spawn.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

// The value after a row's name in the readable block ("GPU       n/a" gives "n/a").
std::string row(const std::string& block, const std::string& name) {
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(name + " ")) continue;
        auto value = line.find_first_not_of(' ', name.size());
        return value == std::string::npos ? "" : line.substr(value);
    }
    return "";
}

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
    for (auto [name, member] : {std::pair{"GPU", "gpu"}, {"Battery", "battery"}, {"Chip", "chipCelsius"}}) {
        std::string value = row(textRun.output, name);
        EXPECT_EQ(value == "n/a", vitals[member].is_null()) << name << ": " << value;
        EXPECT_NE(value, "0") << "an absent reading is never 0";
    }
    EXPECT_NE(row(textRun.output, "Memory").find(" used of "), std::string::npos);
    EXPECT_NE(textRun.output.find("Busiest apps by memory"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
