#include <gtest/gtest.h>

#include "core/servers/ServerClassifier.hpp"

namespace tarvik {
namespace {

using ServerClassifier::classify;
using std::nullopt;

constexpr std::string_view testHome = "/srv/anna";

TEST(ServerClassifierTest, ClassifiesByNameThenRulesThenPathsThenUserArea) {
    struct Case {
        const char* label;
        std::string name;
        std::optional<std::string> args, cwd;
        std::string kind, symbol;  // symbol checked only for the kinds named after the process
        ServerCategory category;
    };
    using enum ServerCategory;
    const std::string gear = "gear-six-fill", terminal = "terminal-window-fill";
    const Case cases[] = {
        {"rule 1 before 15", "node", "node /Users/a/node_modules/.bin/vite", nullopt, "Vite", "", dev},
        {"daemon in any case beats args", "Rapportd", "node vite", "/Users/a", "Rapportd", gear, system},
        {"rule before path", "postgres", "/usr/lib/postgresql/16/bin/postgres", "/", "PostgreSQL", "", dev},
        {"rule on the name alone", "mongod", nullopt, nullopt, "MongoDB", "", dev},
        {"any case, rule 19 before 22", "Python", "PYTHON MANAGE.PY RUNSERVER", nullopt, "Django", "", dev},
        {"lower-cased path beats user area", "d", "/USR/LIB/x/d", "/home/a", "d", gear, system},
        {"/usr/bin is the user's", "mytool", "/usr/bin/mytool", "/home/a/x", "mytool", terminal, dev},
        {"bundle", "Tool", "/Applications/A Tool.app/Contents/MacOS/Tool", "/Users/a", "Tool", gear, system},
        {"given home", "tool", nullopt, "/srv/anna/project", "tool", terminal, dev},
        {"nothing known", "tool", nullopt, nullopt, "tool", gear, system}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto result = classify(c.name, c.args, c.cwd, testHome);
        EXPECT_EQ(result.kind.name, c.kind);
        EXPECT_TRUE(c.symbol.empty() || (result.kind == ServerKind{c.name, c.symbol, TintToken::slate}));
        EXPECT_EQ(result.category, c.category);
    }
}

TEST(ServerClassifierTest, ProtectsOnlyOperatingSystemDaemons) {
    const std::pair<const char*, bool> cases[] = {
        {"ControlCenter", true}, {"systemd-resolved", true}, {"postgres", false}, {"sshd-wrapper", false}};
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(ServerClassifier::isProtectedSystemProcess(name), expected) << name;
}

}  // namespace
}  // namespace tarvik
