#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/support/Spawn.hpp"
#include "support/TempDir.hpp"
#include "support/TempHome.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

// The first control character of `text` that a terminal would act on: C0 but the line break, DEL,
// and C1 in its UTF-8 form or as a raw byte. Empty when there is none.
std::string firstControl(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                  static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1 || (byte >= 0x80 && byte < 0xA0 && i == 0))
            return text.substr(i > 20 ? i - 20 : 0, 40);
    }
    return {};
}

// What anyone can start or drop on a shared machine: a listener whose name, folder and arguments
// carry escapes, a line break, a C1 control and bytes that are not UTF-8, and a large file named alike.
TEST(HostileText, JsonStaysValidAndNoControlCharacterReachesTheTerminal) {
    test::TempHome home;
    std::string movie = home / "movie\x1b]0;owned\x07\n\xff.mkv";
    int fd = open(movie.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fallocate(fd, 0, 0, 520LL << 20), 0) << "the file system cannot allocate blocks";
    close(fd);
    test::TempDir folder(std::filesystem::temp_directory_path(), std::string("tarvik-\n\xfe-\x1b[2J-"));
    std::string program = folder / (std::string("srv\x1b]0;owned\x07\xff\xc2\x9b") + "2J");
    std::filesystem::copy_file("/usr/bin/perl", program);
    test::TestProcess hostile({program, "-MIO::Socket::INET", "-e",
                               "my $s = IO::Socket::INET->new(LocalAddr => '127.0.0.1', LocalPort => 0, "
                               "Listen => 1) or die; $| = 1; print $s->sockport, qq(\\n); sleep 60",
                               "--", "--title=\x1b[2J\x1b]0;t\x07", "\xff\xfe"},
                              folder.path().string());
    auto port = hostile.numbers();
    ASSERT_FALSE(port.empty());
    const std::vector<std::vector<std::string>> commands = {{"list", "--all", "--interval", "0"},
                                                            {"vitals", "--interval", "0.2"},
                                                            {"doctor", "--samples", "2", "--interval", "0.2"},
                                                            {"net"},
                                                            {"storage"}};
    for (auto arguments : commands) {
        SCOPED_TRACE(arguments.front());
        auto plain = Spawn::run(TARVIK_BINARY, arguments);
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(firstControl(plain.output), "");
        arguments.push_back("--json");
        auto json = Spawn::run(TARVIK_BINARY, arguments);
        EXPECT_EQ(json.status, 0);
        EXPECT_FALSE(nlohmann::json::parse(json.output, nullptr, false).is_discarded()) << json.output;
        if (arguments.front() == "list") {
            EXPECT_NE(json.output.find("\"port\": " + std::to_string(port[0])), std::string::npos)
                << "the hostile listener is listed";
        } else if (arguments.front() == "storage") {
            EXPECT_NE(plain.output.find("movie\\e]0;owned\\x07\\n\xef\xbf\xbd.mkv"), std::string::npos)
                << plain.output;
        }
    }
}

}  // namespace
}  // namespace tarvik
