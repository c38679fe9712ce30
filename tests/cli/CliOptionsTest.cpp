#include <gtest/gtest.h>

#include "core/Version.hpp"
#include "support/RunCli.hpp"

namespace tarvik {
namespace {

TEST(CliHelp, TheVersionIsTheProjects) {
    auto said = test::runCli({"--version"});
    EXPECT_EQ(said.status, 0);
    EXPECT_EQ(said.out, "tarvik " TARVIK_VERSION "\n");
}

// The manual page is written from this text, so every command's options must be in it.
TEST(CliHelp, HelpAllShowsEveryCommandsOptions) {
    auto said = test::runCli({"--help-all"});
    ASSERT_EQ(said.status, 0) << said.err;
    for (const char* expected : {"list", "--probe", "--groups", "stop", "--force", "--pid", "vitals",
                                 "doctor", "--samples", "storage", "clear", "--yes", "trash", "net"}) {
        EXPECT_NE(said.out.find(expected), std::string::npos) << expected;
    }
}

}  // namespace
}  // namespace tarvik
