#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <cstring>
#include <memory>

#include "support/TrayDisplay.hpp"

// The shell's tests run on a display of their own: an Xvfb server with a tray host, both started
// here and ended when the tests end. Without Xvfb they run offscreen and the tray tests skip.
int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i) listing |= std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    std::unique_ptr<tarvik::test::TrayDisplay> display;
    if (!listing) display = tarvik::test::TrayDisplay::start();
    if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tarvik::test::TrayDisplay::current = display.get();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
